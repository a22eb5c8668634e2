#pragma once
#include <optional>
#include <string>

#include "engine/Readouts.h"
#include "pages/PauseCommand.h"

class Emulator;
class SimulatorPage;

// What the File page's handlers need of the main window.
class FilePageWindow : public PauseMarks {
public:
    virtual int currentPage() const = 0;  // TAB_main: 0 Simulator, 1 File
    virtual void selectPage(int page) = 0; // as a click on the tab, so TAB_mainChange runs
    virtual int fileTypeItem() const = 0; // RadioGroupFileType: 0 NMEA, 1 Aviation
    virtual void selectFileTypeItem(int item) = 0;
    virtual void selectFormatItem(int item) = 0; // GroupFormat
    virtual bool loopChecked() const = 0;        // CheckBoxLoop
    virtual void setLoopChecked(bool checked) = 0;
    virtual int recordsPerTickPosition() const = 0; // UpDown_lps
    virtual void setRecordsPerTickPosition(int position) = 0;
    virtual std::string chunksText() const = 0; // EDIT_chunks
    virtual void setChunksText(const std::string& text) = 0;
    virtual int pauseSecondsPosition() const = 0; // UpDown_sec
    virtual void setPauseSecondsPosition(int position) = 0;
    virtual std::string secPauseText() const = 0; // EDIT_SecPause
    virtual void setSecPauseText(const std::string& text) = 0;
    virtual std::string triggerText() const = 0;                  // EDIT_trigger
    virtual void setTriggerText(const std::string& text) = 0;
    virtual void setOpenFileCaption(const std::string& text) = 0; // BTN_OpenFile
    virtual void setFileNameText(const std::string& text) = 0;    // FileName
    // EDIT_range, EDIT_speed, EDIT_calc_spd, EDIT_WaypointID
    virtual void setReadoutText(Readout which, const std::string& text) = 0;
    // The open-file dialog for an existing file, with a filter in "name|pattern|..." form and
    // a 1-based filter index. The chosen path, or nothing when cancelled.
    virtual std::optional<std::string> runOpenDialog(const std::string& filter,
                                                     int filterIndex) = 0;
};

// The File page's handlers, the Pause command, and what the page shows of the replay.
class FilePage : public ReplayView {
public:
    static constexpr const char* OpenDialogFilter =
        "Text files (*.txt)|*.txt|All files (*.*)|*.*|"
        "NMEA logs (*.nmea *.nmc *.log *.txt)|*.nmea;*.nmc;*.log;*.txt|"
        "Aviation records (*.avi)|*.avi";

    FilePage(Emulator& emulator, FilePageWindow& window, SimulatorPage& simulator);
    ~FilePage() override;
    FilePage(const FilePage&) = delete;
    FilePage& operator=(const FilePage&) = delete;

    void BTN_OpenFileClick();
    void TAB_mainChange();
    void RadioGroupFileTypeClick();
    void CheckBoxLoopClick();
    void UpDown_lpsClick();
    void EDIT_chunksChange();
    void UpDown_secClick();
    void EDIT_SecPauseChange();
    void EDIT_triggerChange();
    void MNU_PauseClick() { pause.MNU_PauseClick(); }
    // A replay started or ended by a command, not a click: the page and its controls follow
    // the engine as if the user had set them.
    void ShowReplay();

    // ReplayView
    void readoutShown(Readout which, const std::string& text) override;
    void fileOpened(const std::string& name) override;
    void fileClosed() override;

    // The Simulator page's paused state while the File page is shown.
    bool SavedPause = false;

private:
    void setRecordsPerTick(int position);
    void setPauseSeconds(int position);

    Emulator& emulator;
    FilePageWindow& window;
    SimulatorPage& simulator;
    PauseCommand pause;
};
