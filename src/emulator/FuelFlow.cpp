#include "emulator/FuelFlow.h"

#include "emulator/NumericEdit.h"

namespace {
constexpr char Enter = 13;
constexpr float MaxFlow = 10.0f;
constexpr float MinFlow = 0.1f; // just above 0.1, so a stored limit passes unchanged
} // namespace

FuelFlow::FuelFlow(EmulatorState& s, SimulatorWindow& w, MessageBoxSeam& m, FlowTimer& t)
    : state(s), window(w), messages(m), timer(t) {}

int FuelFlow::FlowPeriod(float fuelFlow) {
    // The float nearest 0.1 lies just above it, so 0.1 gives 219 ms, not 220.
    return static_cast<int>(22.0 / static_cast<double>(fuelFlow));
}

bool FuelFlow::ApplyFuelFlow(float step) {
    double number = 0.0;
    if (!ReadEditNumber(window, messages, Control::EB_Flow, number))
        return false;
    float value = ToFloat(number + static_cast<double>(step) * 0.1);
    if (value > MaxFlow)
        value = MaxFlow;
    else if (static_cast<double>(value) < 0.1)
        value = MinFlow;
    state.fuelFlow = value;
    WriteEditNumber(window, Control::EB_Flow, state.fuelFlow, 1);
    timer.setPeriod(FlowPeriod(state.fuelFlow));
    return true;
}

void FuelFlow::EB_FlowExit() { ApplyFuelFlow(0.0f); }

void FuelFlow::EB_FlowKeyPress(char key) {
    if (key == Enter)
        ApplyFuelFlow(0.0f);
}

void FuelFlow::UpDown4Click(UpDownButton button) {
    ApplyFuelFlow(button == UpDownButton::Up ? 1.0f : -1.0f);
}

void FuelFlow::BTN_FlowEnaClick() {
    if (window.isChecked(Control::BTN_FlowEna)) {
        window.setEnabled(Control::EB_Flow, true);
        timer.setEnabled(true);
        window.setEnabled(Control::UpDown4, true);
        window.setFocus(Control::EB_Flow);
        ApplyFuelFlow(0.0f);
    } else {
        timer.setEnabled(false);
        window.setEnabled(Control::EB_Flow, false);
        window.setEnabled(Control::UpDown4, false);
    }
}
