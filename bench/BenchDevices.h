#pragma once
// Serial devices and message boxes for the measuring programs: nothing reaches hardware.
#include <chrono>
#include <vector>

#include "app/MessageBoxSeam.h"
#include "serial/SerialDevice.h"

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
