#pragma once
#include <string>

// The controls the Simulator page logic and the main window's activation touch, named as in
// the window's design. The Qt layer maps each to the widget of the same object name.
enum class Control : int {
    BTN_Course,
    GroupXTE,
    EB_Value,
    UpDown1,
    BTN_Heading,
    EB_Track,
    UpDown2,
    EB_Speed,
    UpDown3,
    GroupFormat,
    BTN_FlowEna,
    EB_Flow,
    UpDown4,
    UpDown_lps,
    EDIT_chunks,
    UpDown_sec,
    EDIT_SecPause,
};
inline constexpr int ControlCount = static_cast<int>(Control::EDIT_SecPause) + 1;

// The object name of a control ("EB_Value").
const char* ControlName(Control control);

// Which arrow of an up-down button was clicked.
enum class UpDownButton { Up, Down };

// What the Simulator page logic needs of the main window. Texts are UTF-8.
class SimulatorWindow {
public:
    virtual ~SimulatorWindow() = default;

    virtual std::string text(Control edit) const = 0;
    virtual void setText(Control edit, const std::string& text) = 0;
    virtual void selectAll(Control edit) = 0;

    // Number conversion in the user's locale: false when the text is not a number.
    virtual bool toNumber(const std::string& text, double& number) const = 0;
    // The user's decimal separator, written into edits in place of the point.
    virtual std::string decimalSeparator() const = 0;

    virtual void setEnabled(Control control, bool enabled) = 0;
    virtual void setFocus(Control control) = 0;
    virtual bool isChecked(Control checkBox) const = 0;
    virtual int itemIndex(Control radioGroup) const = 0;
    // Selects an item from code; must not raise the group's click handler.
    virtual void setItemIndex(Control radioGroup, int index) = 0;
    virtual void setPosition(Control upDown, int position) = 0;
};
