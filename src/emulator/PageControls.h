#pragma once

// The main window's controls that more than one part of the emulator reads: the page showing,
// the File page's two up-downs, and the Pause check marks.
class PageControls {
public:
    virtual ~PageControls() = default;
    virtual int currentPage() const = 0;            // TAB_main: 0 Simulator, 1 File
    virtual int pauseSecondsPosition() const = 0;   // UpDown_sec
    virtual int recordsPerTickPosition() const = 0; // UpDown_lps
    // Checks or unchecks both MNU_Pause and BTN_Pause.
    virtual void setPauseChecked(bool checked) = 0;
};
