#pragma once
#include "emulator/EmulatorState.h"
#include "emulator/SimulatorWindow.h"

class MessageBoxSeam;
class SerialLink;

// The fuel-flow output: a square wave on RTS, one edge per FlowTimer tick, whose period
// follows the flow value in EB_Flow.
class FuelFlow {
public:
    FuelFlow(EmulatorState& state, SimulatorWindow& window, MessageBoxSeam& messages,
             SerialLink& link);

    // Step in tenths: 0, +1 or -1. Stores and shows the clamped value and sets the timer
    // period from it. False when the edit's text was refused; nothing changes then.
    bool ApplyFuelFlow(float step);

    // 22 / flow milliseconds, truncated: one RTS edge per period.
    static int FlowPeriod(float fuelFlow);

    void EB_FlowExit();
    void EB_FlowKeyPress(char key);
    void UpDown4Click(UpDownButton button);
    void BTN_FlowEnaClick();
    void FlowTimerTimer();

private:
    EmulatorState& state;
    SimulatorWindow& window;
    MessageBoxSeam& messages;
    SerialLink& link;
};
