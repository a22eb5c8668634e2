#include "pages/SimulatorPage.h"

#include <cstdint>
#include <string>

#include "engine/Emulator.h"
#include "formats/NmeaSentences.h"
#include "pages/NumericEdit.h"

namespace {
constexpr char Enter = 13;
} // namespace

SimulatorPage::SimulatorPage(Emulator& e, SimulatorWindow& w)
    : emulator(e), window(w), messages(e.messages()) {}

bool SimulatorPage::ApplyXteValue(float step) {
    double number = 0.0;
    if (!ReadEditNumber(window, messages, Control::EB_Value, number))
        return false;
    emulator.simulator().setXteValue(number + static_cast<double>(step));
    WriteEditNumber(window, Control::EB_Value, emulator.simulator().values().xteValue, 2);
    return true;
}

bool SimulatorPage::ApplyTrack(int step) {
    double number = 0.0;
    if (!ReadEditNumber(window, messages, Control::EB_Track, number))
        return false;
    emulator.simulator().setTrack(number, step);
    WriteEditNumber(window, Control::EB_Track, TrackDegrees(emulator.simulator().values()), 1);
    return true;
}

bool SimulatorPage::ApplySpeed(float step) {
    double number = 0.0;
    if (!ReadEditNumber(window, messages, Control::EB_Speed, number))
        return false;
    emulator.simulator().setSpeed(number + static_cast<double>(step));
    WriteEditNumber(window, Control::EB_Speed, emulator.simulator().values().speed, 0);
    return true;
}

bool SimulatorPage::ApplyFuelFlow(float step) {
    double number = 0.0;
    if (!ReadEditNumber(window, messages, Control::EB_Flow, number))
        return false;
    emulator.fuelFlow().setFlow(number + static_cast<double>(step) * 0.1);
    WriteEditNumber(window, Control::EB_Flow, emulator.fuelFlow().fuelFlow(), 1);
    return true;
}

void SimulatorPage::EB_ValueExit() { ApplyXteValue(0.0f); }

void SimulatorPage::EB_ValueKeyPress(char key) {
    if (key == Enter && ApplyXteValue(0.0f))
        window.setFocus(Control::GroupXTE);
}

void SimulatorPage::UpDown1Click(UpDownButton button) {
    ApplyXteValue(button == UpDownButton::Up ? 0.1f : -0.1f);
}

void SimulatorPage::EB_TrackExit() { ApplyTrack(0); }

void SimulatorPage::EB_TrackKeyPress(char key) {
    if (key == Enter && ApplyTrack(0))
        window.setFocus(Control::BTN_Heading);
}

void SimulatorPage::UpDown2Click(UpDownButton button) {
    ApplyTrack(button == UpDownButton::Up ? 10 : -10);
}

void SimulatorPage::EB_SpeedExit() { ApplySpeed(0.0f); }

void SimulatorPage::EB_SpeedKeypress(char key) {
    if (key == Enter && ApplySpeed(0.0f))
        window.setFocus(Control::BTN_Heading);
}

void SimulatorPage::UpDown3Click(UpDownButton button) {
    ApplySpeed(button == UpDownButton::Up ? 1.0f : -1.0f);
}

void SimulatorPage::BTN_CourseClick() {
    const bool on = window.isChecked(Control::BTN_Course);
    emulator.simulator().setCourse(on);
    window.setEnabled(Control::GroupXTE, on);
    if (!on)
        window.setEnabled(Control::EB_Value, false);
    else if (emulator.simulator().values().xteMode == XteMode::Value)
        window.setEnabled(Control::EB_Value, true);
}

void SimulatorPage::BTN_HeadingClick() {
    const bool on = window.isChecked(Control::BTN_Heading);
    emulator.simulator().setHeading(on);
    window.setEnabled(Control::EB_Track, on);
    if (on) {
        window.setFocus(Control::EB_Track);
        window.selectAll(Control::EB_Track);
    }
    window.setEnabled(Control::EB_Speed, on);
}

void SimulatorPage::GroupXTEClick() {
    const int index = window.itemIndex(Control::GroupXTE);
    if (index < 0 || index > static_cast<int>(XteMode::Value))
        return; // no item chosen: a click always chooses one
    const auto mode = static_cast<XteMode>(index);
    emulator.simulator().setXteMode(mode);
    window.setEnabled(Control::EB_Value, mode == XteMode::Value);
    if (mode == XteMode::Value) {
        window.setFocus(Control::EB_Value);
        window.selectAll(Control::EB_Value);
    }
}

void SimulatorPage::GroupFormatClick() {
    const int index = window.itemIndex(Control::GroupFormat);
    emulator.simulator().setFormat(index == 0   ? OutputFormat::NmeaV2
                                   : index == 1 ? OutputFormat::NmeaV3
                                                : OutputFormat::Aviation);
}

void SimulatorPage::EB_FlowExit() { ApplyFuelFlow(0.0f); }

void SimulatorPage::EB_FlowKeyPress(char key) {
    if (key == Enter)
        ApplyFuelFlow(0.0f);
}

void SimulatorPage::UpDown4Click(UpDownButton button) {
    ApplyFuelFlow(button == UpDownButton::Up ? 1.0f : -1.0f);
}

void SimulatorPage::BTN_FlowEnaClick() {
    if (window.isChecked(Control::BTN_FlowEna)) {
        window.setEnabled(Control::EB_Flow, true);
        emulator.fuelFlow().setEnabled(true);
        window.setEnabled(Control::UpDown4, true);
        window.setFocus(Control::EB_Flow);
        ApplyFuelFlow(0.0f);
    } else {
        emulator.fuelFlow().setEnabled(false);
        window.setEnabled(Control::EB_Flow, false);
        window.setEnabled(Control::UpDown4, false);
    }
}

void SimulatorPage::ShowValues() {
    const SimulatorValues& v = emulator.simulator().values();
    window.setItemIndex(Control::GroupFormat, static_cast<int>(v.format));
    window.setItemIndex(Control::GroupXTE, static_cast<int>(v.xteMode));
    window.setEnabled(Control::GroupXTE, v.courseOn);
    window.setEnabled(Control::EB_Value, v.courseOn && v.xteMode == XteMode::Value);
    WriteEditNumber(window, Control::EB_Value, v.xteValue, 2);
    WriteEditNumber(window, Control::EB_Track, TrackDegrees(v), 1);
    WriteEditNumber(window, Control::EB_Speed, v.speed, 0);
    window.setEnabled(Control::EB_Track, v.headingOn);
    window.setEnabled(Control::EB_Speed, v.headingOn);
    WriteEditNumber(window, Control::EB_Flow, emulator.fuelFlow().fuelFlow(), 1);
    window.setEnabled(Control::EB_Flow, emulator.fuelFlow().enabled());
    window.setEnabled(Control::UpDown4, emulator.fuelFlow().enabled());
}

void SimulatorPage::FormActivate() {
    const SimulatorValues& values = emulator.simulator().values();
    window.setItemIndex(Control::GroupFormat, static_cast<int>(values.format));
    window.setItemIndex(Control::GroupXTE, static_cast<int>(values.xteMode));
    window.setEnabled(Control::EB_Value, values.xteMode == XteMode::Value);
    // One decimal here, two when the edit itself writes: 1.25 shows as 1.3 until read back.
    WriteEditNumber(window, Control::EB_Value, values.xteValue, 1);
    WriteEditNumber(window, Control::EB_Track, TrackDegrees(values), 1);
    WriteEditNumber(window, Control::EB_Flow, emulator.fuelFlow().fuelFlow(), 1);
    window.setEnabled(Control::EB_Flow, window.isChecked(Control::BTN_FlowEna));
    const bool heading = window.isChecked(Control::BTN_Heading);
    window.setEnabled(Control::EB_Speed, heading);
    window.setEnabled(Control::EB_Track, heading);
    emulator.simulator().setCourse(window.isChecked(Control::BTN_Course));
    emulator.simulator().setHeading(heading);
    constexpr int records = Replay::DefaultRecordsPerTick;
    window.setPosition(Control::UpDown_lps, static_cast<std::int16_t>(records));
    window.setText(Control::EDIT_chunks, std::to_string(records));
    emulator.replay().setRecordsPerTick(records);
    window.setPosition(Control::UpDown_sec, 1);
    window.setText(Control::EDIT_SecPause, "1");
    emulator.replay().setPauseSeconds(1.0);
}
