#pragma once

struct EmulatorState;
class SettingsStore;
class MessageBoxSeam;

// Reads "Port" and "Compatibility" into the state at start-up, writing defaults when missing.
void ReadStartupSettings(EmulatorState& state, SettingsStore& settings, MessageBoxSeam& messages);
