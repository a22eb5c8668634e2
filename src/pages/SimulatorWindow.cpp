#include "pages/SimulatorWindow.h"

const char* ControlName(Control control) {
    switch (control) {
    case Control::BTN_Course:
        return "BTN_Course";
    case Control::GroupXTE:
        return "GroupXTE";
    case Control::EB_Value:
        return "EB_Value";
    case Control::UpDown1:
        return "UpDown1";
    case Control::BTN_Heading:
        return "BTN_Heading";
    case Control::EB_Track:
        return "EB_Track";
    case Control::UpDown2:
        return "UpDown2";
    case Control::EB_Speed:
        return "EB_Speed";
    case Control::UpDown3:
        return "UpDown3";
    case Control::GroupFormat:
        return "GroupFormat";
    case Control::BTN_FlowEna:
        return "BTN_FlowEna";
    case Control::EB_Flow:
        return "EB_Flow";
    case Control::UpDown4:
        return "UpDown4";
    case Control::UpDown_lps:
        return "UpDown_lps";
    case Control::EDIT_chunks:
        return "EDIT_chunks";
    case Control::UpDown_sec:
        return "UpDown_sec";
    case Control::EDIT_SecPause:
        return "EDIT_SecPause";
    }
    return "";
}
