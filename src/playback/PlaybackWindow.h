#pragma once
#include <string>

// What the route read-outs need of the File page: the four read-out edits and the
// "Pause Seconds" up-down, whose position is the tick interval in seconds.
class ReadoutWindow {
public:
    virtual ~ReadoutWindow() = default;
    virtual void setRangeText(const std::string& text) = 0;           // EDIT_range
    virtual void setSpeedText(const std::string& text) = 0;           // EDIT_speed
    virtual void setCalculatedSpeedText(const std::string& text) = 0; // EDIT_calc_spd
    virtual void setWaypointIdText(const std::string& text) = 0;      // EDIT_WaypointID
    virtual int pauseSecondsPosition() const = 0;                     // UpDown_sec
};

// Everything the playback engine needs of the main window.
class PlaybackWindow : public ReadoutWindow {
public:
    virtual int recordsPerTickPosition() const = 0;               // UpDown_lps
    virtual std::string triggerText() const = 0;                  // EDIT_trigger
    virtual void setOpenFileCaption(const std::string& text) = 0; // BTN_OpenFile
    virtual void setFileNameText(const std::string& text) = 0;    // FileName
};
