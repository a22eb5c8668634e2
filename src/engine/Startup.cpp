#include "engine/Startup.h"

#include "engine/MessageBoxSeam.h"
#include "settings/SettingsStore.h"

StartupSettings ReadStartupSettings(SettingsStore& settings, MessageBoxSeam& messages) {
    StartupSettings read;
    if (settings.open(true) == SettingsStore::OpenResult::NoSoftware) {
        messages.show("Registry error!", "error", MsgIcon::Error);
        return read;
    }
    // A value that is missing, unreadable or out of range counts as missing: the default is
    // written back, so the file is repaired and the program opens COM1.
    const auto port = settings.readInt("Port");
    if (port && *port >= 1 && *port <= 4)
        read.portIndex = static_cast<std::uint8_t>(*port - 1);
    else
        settings.writeInt("Port", 1);
    if (const auto compat = settings.readInt("Compatibility"))
        read.compatibility = *compat != 0;
    else
        settings.writeInt("Compatibility", 1);
    return read;
}
