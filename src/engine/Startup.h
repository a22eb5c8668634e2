#pragma once
#include <cstdint>

class SettingsStore;
class MessageBoxSeam;

// The two persisted values as start-up reads them.
struct StartupSettings {
    std::uint8_t portIndex = 0;
    bool compatibility = true;
};

// Reads "Port" and "Compatibility" at start-up, writing defaults when missing.
StartupSettings ReadStartupSettings(SettingsStore& settings, MessageBoxSeam& messages);
