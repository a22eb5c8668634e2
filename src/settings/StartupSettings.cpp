#include "settings/StartupSettings.h"

#include "emulator/MessageBoxSeam.h"
#include "settings/SettingsStore.h"
#include "emulator/EmulatorState.h"

void ReadStartupSettings(EmulatorState& state, SettingsStore& settings, MessageBoxSeam& messages) {
    if (settings.open(true) == SettingsStore::OpenResult::NoSoftware) {
        messages.show("Registry error!", "error", MsgIcon::Error);
        state.portIndex = 0;
        return;
    }
    // A value that is missing, unreadable or out of range counts as missing: the default is
    // written back, so the file is repaired and the program opens COM1.
    const auto port = settings.readInt("Port");
    if (port && *port >= 1 && *port <= 4) {
        state.portIndex = static_cast<std::uint8_t>(*port - 1);
    } else {
        settings.writeInt("Port", 1);
        state.portIndex = 0;
    }
    if (const auto compat = settings.readInt("Compatibility")) {
        state.compatibility = *compat != 0;
    } else {
        settings.writeInt("Compatibility", 1);
        state.compatibility = true;
    }
}
