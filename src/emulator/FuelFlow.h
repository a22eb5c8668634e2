#pragma once
#include "emulator/EmulatorState.h"
#include "emulator/SimulatorWindow.h"

class MessageBoxSeam;

// FlowTimer: the periodic timer whose every tick inverts RTS (SerialLink::ToggleRts).
class FlowTimer {
public:
    virtual ~FlowTimer() = default;
    virtual void setEnabled(bool enabled) = 0;
    virtual void setPeriod(int milliseconds) = 0;
};

// The fuel-flow output: a square wave on RTS, one edge per FlowTimer tick, whose period
// follows the flow value in EB_Flow.
class FuelFlow {
public:
    FuelFlow(EmulatorState& state, SimulatorWindow& window, MessageBoxSeam& messages,
             FlowTimer& timer);

    // Step in tenths: 0, +1 or -1. Stores and shows the clamped value and sets the timer
    // period from it. False when the edit's text was refused; nothing changes then.
    bool ApplyFuelFlow(float step);

    // 22 / flow milliseconds, truncated: one RTS edge per period.
    static int FlowPeriod(float fuelFlow);

    void EB_FlowExit();
    void EB_FlowKeyPress(char key);
    void UpDown4Click(UpDownButton button);
    void BTN_FlowEnaClick();

private:
    EmulatorState& state;
    SimulatorWindow& window;
    MessageBoxSeam& messages;
    FlowTimer& timer;
};
