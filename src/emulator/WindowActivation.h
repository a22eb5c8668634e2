#pragma once
#include "emulator/EmulatorState.h"
#include "emulator/SimulatorWindow.h"

// Activation of the main window: rewrites the Simulator page's selections, enabled states and
// value edits from the state, copies the two sentence check boxes into the state, and resets
// the File page's records-per-tick and pause-seconds controls.
void FormActivate(EmulatorState& state, SimulatorWindow& window);
