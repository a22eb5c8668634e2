#pragma once
#include <optional>
#include <string>

#include "emulator/EmulatorState.h"
#include "playback/PlaybackWindow.h"

class PauseCommand;
class PlaybackEngine;
class SimulatorInputs;

// What the File page's handlers need of the main window, beyond what the replay needs.
class FilePageWindow : public PlaybackWindow {
public:
    virtual int fileTypeItem() const = 0; // RadioGroupFileType: 0 NMEA, 1 Aviation, -1 none
    virtual void selectFileTypeItem(int item) = 0;
    virtual void selectFormatItem(int item) = 0; // GroupFormat
    virtual bool loopChecked() const = 0;        // CheckBoxLoop
    virtual void setLoopChecked(bool checked) = 0;
    virtual void setRecordsPerTickPosition(int position) = 0;
    virtual std::string chunksText() const = 0; // EDIT_chunks
    virtual void setChunksText(const std::string& text) = 0;
    virtual void setPauseSecondsPosition(int position) = 0;
    virtual std::string secPauseText() const = 0; // EDIT_SecPause
    virtual void setSecPauseText(const std::string& text) = 0;
    // The open-file dialog for an existing file, with a filter in "name|pattern|..." form and
    // a 1-based filter index. The chosen path, or nothing when cancelled.
    virtual std::optional<std::string> runOpenDialog(const std::string& filter,
                                                     int filterIndex) = 0;
};

// The logic of the File page's handlers; the Qt handlers only forward to these.
class FilePage {
public:
    static constexpr const char* OpenDialogFilter =
        "Text files (*.txt)|*.txt|All files (*.*)|*.*|"
        "NMEA logs (*.nmea *.nmc *.log *.txt)|*.nmea;*.nmc;*.log;*.txt|"
        "Aviation records (*.avi)|*.avi";

    FilePage(EmulatorState& state, FilePageWindow& window, PlaybackEngine& engine,
             SimulatorInputs& simulator, PauseCommand& pause);

    void BTN_OpenFileClick();
    void TAB_mainChange();
    void RadioGroupFileTypeClick();
    void CheckBoxLoopClick();
    void UpDown_lpsClick();
    void EDIT_chunksChange();
    void UpDown_secClick();
    void EDIT_SecPauseChange();

    // The Simulator page's paused state while the File page is shown.
    bool SavedPause = false;

private:
    EmulatorState& state;
    FilePageWindow& window;
    PlaybackEngine& engine;
    SimulatorInputs& simulator;
    PauseCommand& pause;
};
