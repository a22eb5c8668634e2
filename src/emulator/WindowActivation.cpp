#include "emulator/WindowActivation.h"

#include <cstdint>
#include <string>

#include "emulator/NmeaSentences.h"
#include "emulator/NumericEdit.h"

void FormActivate(EmulatorState& state, SimulatorWindow& window) {
    window.setItemIndex(Control::GroupFormat, static_cast<int>(state.format));
    window.setItemIndex(Control::GroupXTE, static_cast<int>(state.xteMode));
    window.setEnabled(Control::EB_Value, state.xteMode == XteMode::Value);
    // One decimal here, two when the edit itself writes: 1.25 shows as 1.3 until read back.
    WriteEditNumber(window, Control::EB_Value, state.xteValue, 1);
    WriteEditNumber(window, Control::EB_Track, TrackDegrees(state), 1);
    WriteEditNumber(window, Control::EB_Flow, state.fuelFlow, 1);
    window.setEnabled(Control::EB_Flow, window.isChecked(Control::BTN_FlowEna));
    const bool heading = window.isChecked(Control::BTN_Heading);
    window.setEnabled(Control::EB_Speed, heading);
    window.setEnabled(Control::EB_Track, heading);
    state.courseOn = window.isChecked(Control::BTN_Course);
    state.headingOn = window.isChecked(Control::BTN_Heading);
    window.setPosition(Control::UpDown_lps, static_cast<std::int16_t>(state.recordsPerTick));
    window.setText(Control::EDIT_chunks, std::to_string(state.recordsPerTick));
    window.setPosition(Control::UpDown_sec, 1);
    window.setText(Control::EDIT_SecPause, "1");
}
