#pragma once
// What the measuring programs share: devices that reach no hardware, and a percentile.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

#include "app/AppServices.h"
#include "app/MessageBoxSeam.h"
#include "app/SettingsStore.h"
#include "emulator/EmulatorState.h"
#include "serial/SerialDevice.h"
#include "serial/SerialLink.h"

class SinkDevice : public SerialDevice {
public:
    PortHandle open(const std::string&) override { return 3; }
    bool getLineState(PortHandle, LineState& out) override { return (out = line, true); }
    bool setLineState(PortHandle, const LineState& s) override { return (line = s, true); }
    bool getTimeouts(PortHandle, Timeouts&) override { return true; }
    bool setTimeouts(PortHandle, const Timeouts&) override { return true; }
    bool lineControl(PortHandle, LineControl fn) override {
        if (fn != LineControl::SetDtr)
            edges.push_back(std::chrono::steady_clock::now());
        return true;
    }
    bool write(PortHandle, const std::uint8_t*, std::size_t count) override {
        bytesWritten += count;
        return true;
    }
    bool close(PortHandle) override { return true; }

    LineState line{4800};
    std::vector<std::chrono::steady_clock::time_point> edges; // every RTS change
    std::size_t bytesWritten = 0;
};

class SilentBoxes : public MessageBoxSeam {
public:
    MsgResult show(const std::string&, const std::string&, MsgIcon, MsgButtons) override {
        return MsgResult::Ok;
    }
};

// Everything the real main window is built on, with settings in a directory of the caller's.
struct BenchServices {
    explicit BenchServices(const std::filesystem::path& configDir) : settings(configDir) {}
    EmulatorState state;
    SinkDevice device;
    SilentBoxes boxes;
    SerialLink link{state, device, boxes};
    FileSettingsStore settings;
    AppServices services{state, link, settings, boxes};
};

inline double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}
