#pragma once
#include <string>

#include "emulator/PageControls.h"

// What the route read-outs need of the File page: the four read-out edits and the
// "Pause Seconds" up-down, whose position is the tick interval in seconds.
class ReadoutWindow : public PageControls {
public:
    virtual void setRangeText(const std::string& text) = 0;           // EDIT_range
    virtual void setSpeedText(const std::string& text) = 0;           // EDIT_speed
    virtual void setCalculatedSpeedText(const std::string& text) = 0; // EDIT_calc_spd
    virtual void setWaypointIdText(const std::string& text) = 0;      // EDIT_WaypointID
};

// Everything the playback engine needs of the main window.
class PlaybackWindow : public ReadoutWindow {
public:
    virtual std::string triggerText() const = 0;                  // EDIT_trigger
    virtual void setOpenFileCaption(const std::string& text) = 0; // BTN_OpenFile
    virtual void setFileNameText(const std::string& text) = 0;    // FileName
};
