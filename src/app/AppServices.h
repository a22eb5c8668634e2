#pragma once

struct EmulatorState;
class SerialLink;
class SettingsStore;
class MessageBoxSeam;

// What the windows are built on. main() makes the real ones; tests may swap the message
// boxes for a recorder.
struct AppServices {
    EmulatorState& state;
    SerialLink& link;
    SettingsStore& settings;
    MessageBoxSeam& messages;
};
