#pragma once
// A whole engine on a fake device, with the settings file in a temporary directory; COM1 opens
// as handle 7 at start-up.
#include <string>
#include <vector>

#include "core/Fakes.h"
#include "core/TempDir.h"
#include "engine/Emulator.h"
#include "settings/SettingsStore.h"

template <class Device> struct EngineRigOn {
    TempDir dir;
    FileSettingsStore settings{dir.path};
    Device device;
    FakeMessageBox box;
    FakeTerminal terminal;
    Emulator e{device, settings, box};

    EngineRigOn() {
        e.terminal().view = &terminal;
        e.start();
        written();
        std::lock_guard lock(device.mutex);
        device.calls.clear();
    }
    // What reached the device so far, one entry per write; forgotten once read.
    std::vector<std::string> written() {
        e.writer().flush();
        std::lock_guard lock(device.mutex);
        return std::exchange(device.writes, {});
    }
    std::uint32_t baud() {
        e.writer().flush();
        std::lock_guard lock(device.mutex);
        return device.line.baudRate;
    }
    std::string settingsFile() const {
        std::string text;
        ReadSettingsFile(settings.filePath(), text);
        return text;
    }
};
using EngineRig = EngineRigOn<FakeSerialDevice>;
