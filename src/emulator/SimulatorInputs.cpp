#include "emulator/SimulatorInputs.h"

#include <cmath>

#include "emulator/NmeaSentences.h"
#include "emulator/NumericEdit.h"
#include "serial/SerialLink.h"

namespace {
constexpr char Enter = 13;
constexpr float XteLimit = 9.99f; // just inside 9.99, so a stored limit passes unchanged
constexpr double FullCircle = 3600.0;
constexpr float MaxSpeed = 500.0f;

// Whole tenths into [0, 3600). fmod is exact, so any finite value wraps without a loop.
double wrapTenths(double tenths) {
    double r = std::fmod(tenths, FullCircle);
    if (r < 0.0)
        r += FullCircle;
    return r + 0.0; // no negative zero: it would print as "-00.0" in $GPRMC
}
} // namespace

SimulatorInputs::SimulatorInputs(EmulatorState& s, SimulatorWindow& w, MessageBoxSeam& m,
                                 SerialLink& l)
    : state(s), window(w), messages(m), link(l) {}

bool SimulatorInputs::ApplyXteValue(float step) {
    double number = 0.0;
    if (!ReadEditNumber(window, messages, Control::EB_Value, number))
        return false;
    float value = ToFloat(number + static_cast<double>(step));
    if (!(static_cast<double>(value) > -9.99))
        value = -XteLimit;
    else if (static_cast<double>(value) >= 9.99)
        value = XteLimit;
    state.xteValue = value;
    WriteEditNumber(window, Control::EB_Value, state.xteValue, 2);
    return true;
}

bool SimulatorInputs::ApplyTrack(int step) {
    double number = 0.0;
    if (!ReadEditNumber(window, messages, Control::EB_Track, number))
        return false;
    double tenths = std::trunc(number * 10.0);
    if (!std::isfinite(tenths)) // number near the double limit: already a whole number
        tenths = std::fmod(number, 360.0) * 10.0;
    state.trackTenths = static_cast<float>(wrapTenths(wrapTenths(tenths) + step));
    WriteEditNumber(window, Control::EB_Track, TrackDegrees(state), 1);
    return true;
}

bool SimulatorInputs::ApplySpeed(float step) {
    double number = 0.0;
    if (!ReadEditNumber(window, messages, Control::EB_Speed, number))
        return false;
    float value = ToFloat(number + static_cast<double>(step));
    if (value > MaxSpeed)
        value = MaxSpeed;
    else if (!(value >= 0.0f))
        value = 0.0f;
    state.speed = value;
    WriteEditNumber(window, Control::EB_Speed, state.speed, 0);
    return true;
}

void SimulatorInputs::EB_ValueExit() { ApplyXteValue(0.0f); }

void SimulatorInputs::EB_ValueKeyPress(char key) {
    if (key == Enter && ApplyXteValue(0.0f))
        window.setFocus(Control::GroupXTE);
}

void SimulatorInputs::UpDown1Click(UpDownButton button) {
    ApplyXteValue(button == UpDownButton::Up ? 0.1f : -0.1f);
}

void SimulatorInputs::EB_TrackExit() { ApplyTrack(0); }

void SimulatorInputs::EB_TrackKeyPress(char key) {
    if (key == Enter && ApplyTrack(0))
        window.setFocus(Control::BTN_Heading);
}

void SimulatorInputs::UpDown2Click(UpDownButton button) {
    ApplyTrack(button == UpDownButton::Up ? 10 : -10);
}

void SimulatorInputs::EB_SpeedExit() { ApplySpeed(0.0f); }

void SimulatorInputs::EB_SpeedKeypress(char key) {
    if (key == Enter && ApplySpeed(0.0f))
        window.setFocus(Control::BTN_Heading);
}

void SimulatorInputs::UpDown3Click(UpDownButton button) {
    ApplySpeed(button == UpDownButton::Up ? 1.0f : -1.0f);
}

void SimulatorInputs::BTN_CourseClick() {
    state.courseOn = window.isChecked(Control::BTN_Course);
    if (state.courseOn) {
        window.setEnabled(Control::GroupXTE, true);
        if (state.xteMode == XteMode::Value)
            window.setEnabled(Control::EB_Value, true);
    } else {
        window.setEnabled(Control::GroupXTE, false);
        window.setEnabled(Control::EB_Value, false);
    }
}

void SimulatorInputs::BTN_HeadingClick() {
    if (window.isChecked(Control::BTN_Heading)) {
        state.headingOn = true;
        window.setEnabled(Control::EB_Track, true);
        window.setFocus(Control::EB_Track);
        window.selectAll(Control::EB_Track);
        window.setEnabled(Control::EB_Speed, true);
    } else {
        state.headingOn = false;
        window.setEnabled(Control::EB_Track, false);
        window.setEnabled(Control::EB_Speed, false);
    }
}

void SimulatorInputs::GroupXTEClick() {
    const int index = window.itemIndex(Control::GroupXTE);
    if (index < 0 || index > static_cast<int>(XteMode::Value))
        return; // no item chosen: a click always chooses one
    state.xteMode = static_cast<XteMode>(index);
    if (state.xteMode == XteMode::Value) {
        window.setEnabled(Control::EB_Value, true);
        window.setFocus(Control::EB_Value);
        window.selectAll(Control::EB_Value);
    } else {
        window.setEnabled(Control::EB_Value, false);
    }
}

void SimulatorInputs::GroupFormatClick() {
    const int index = window.itemIndex(Control::GroupFormat);
    const OutputFormat chosen = index == 0   ? OutputFormat::NmeaV2
                                : index == 1 ? OutputFormat::NmeaV3
                                             : OutputFormat::Aviation;
    if (chosen == state.format)
        return;
    state.format = chosen;
    if (state.baudChoice == 0)
        link.SetBaud(SerialLink::AutoBaudIndex(chosen));
}
