#pragma once
#include <array>
#include <optional>
#include <string>

#include "emulator/SimulatorWindow.h"
#include "playback/FilePage.h"

// The main window's controls as plain values, for the pages' logic without a display. It
// starts as the window's form does; programmatic changes raise no handler, as in the window,
// so the front end calls a handler where the user's click or typing would.
class HeadlessWindow : public SimulatorWindow, public FilePageWindow {
public:
    HeadlessWindow();

    // SimulatorWindow. Numbers are read and written with a point, whatever the locale.
    std::string text(Control edit) const override;
    void setText(Control edit, const std::string& text) override;
    void selectAll(Control) override {}
    bool toNumber(const std::string& text, double& number) const override;
    std::string decimalSeparator() const override { return "."; }
    void setEnabled(Control control, bool enabled) override;
    void setFocus(Control) override {}
    bool isChecked(Control checkBox) const override;
    int itemIndex(Control radioGroup) const override;
    void setItemIndex(Control radioGroup, int index) override;
    void setPosition(Control upDown, int position) override;

    // PageControls
    int currentPage() const override { return page; }
    int pauseSecondsPosition() const override { return position(Control::UpDown_sec); }
    int recordsPerTickPosition() const override { return position(Control::UpDown_lps); }
    void setPauseChecked(bool checked) override { pauseChecked = checked; }

    // ReadoutWindow
    void setRangeText(const std::string& t) override { range = t; }
    void setSpeedText(const std::string& t) override { speed = t; }
    void setCalculatedSpeedText(const std::string& t) override { calculatedSpeed = t; }
    void setWaypointIdText(const std::string& t) override { waypoint = t; }

    // PlaybackWindow
    std::string triggerText() const override { return trigger; }
    void setOpenFileCaption(const std::string& t) override { openFileCaption = t; }
    void setFileNameText(const std::string& t) override { fileName = t; }

    // FilePageWindow
    int fileTypeItem() const override { return fileType; }
    void selectFileTypeItem(int item) override { fileType = item; }
    void selectFormatItem(int item) override { setItemIndex(Control::GroupFormat, item); }
    bool loopChecked() const override { return loop; }
    void setLoopChecked(bool checked) override { loop = checked; }
    void setRecordsPerTickPosition(int p) override { setPosition(Control::UpDown_lps, p); }
    std::string chunksText() const override { return text(Control::EDIT_chunks); }
    void setChunksText(const std::string& t) override { setText(Control::EDIT_chunks, t); }
    void setPauseSecondsPosition(int p) override { setPosition(Control::UpDown_sec, p); }
    std::string secPauseText() const override { return text(Control::EDIT_SecPause); }
    void setSecPauseText(const std::string& t) override { setText(Control::EDIT_SecPause, t); }
    // The file the user would choose in the dialog; nothing: the dialog is cancelled.
    std::optional<std::string> runOpenDialog(const std::string&, int) override { return openPath; }

    // What the user does, for the front end.
    void setChecked(Control checkBox, bool checked);
    void showPage(int index) { page = index; }
    void typeTrigger(const std::string& t) { trigger = t; }
    void chooseFile(std::optional<std::string> path) { openPath = std::move(path); }

    int position(Control upDown) const;
    bool enabled(Control control) const;
    bool paused() const { return pauseChecked; }

    std::string range, speed, calculatedSpeed, waypoint;
    std::string openFileCaption = "Open file";
    std::string fileName;

private:
    static std::size_t at(Control c) { return static_cast<std::size_t>(c); }

    std::array<std::string, ControlCount> texts{};
    std::array<bool, ControlCount> enables{};
    std::array<bool, ControlCount> checks{};
    std::array<int, ControlCount> positions{};
    int page = 0;
    int fileType = 0;
    bool loop = false;
    bool pauseChecked = false;
    std::string trigger = "GPRMB";
    std::optional<std::string> openPath;
};
