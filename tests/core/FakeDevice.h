#pragma once
// A serial device that records every call as a line of text, in order, and can be told to fail
// open, setLineState or setTimeouts. Calls come from the line writer's thread too: read the
// records after the writer's flush().
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "line/SerialDevice.h"

class FakeSerialDevice : public SerialDevice {
public:
    PortHandle open(const std::string& name) override {
        PortHandle h = InvalidPort;
        call("open " + name, failOpen, [&] { h = nextHandle++; });
        return h;
    }
    PortHandle openDevice(const std::string& name, const std::string& device) override {
        call("on " + device);
        return open(name);
    }
    bool getLineState(PortHandle h, LineState& out) override {
        return call(on("getLineState", h), false, [&] { out = line; });
    }
    bool setLineState(PortHandle h, const LineState& s) override {
        return call(on("setLineState", h), failSetLineState, [&] { line = s; });
    }
    bool getTimeouts(PortHandle h, Timeouts& out) override {
        return call(on("getTimeouts", h), false, [&] { out = timeouts; });
    }
    bool setTimeouts(PortHandle h, const Timeouts& t) override {
        return call(on("setTimeouts", h), failSetTimeouts, [&] { timeouts = t; });
    }
    bool lineControl(PortHandle h, LineControl fn) override {
        using enum LineControl;
        return call(on(fn == SetDtr ? "SETDTR" : fn == SetRts ? "SETRTS" : "CLRRTS", h));
    }
    bool write(PortHandle, const std::uint8_t* data, std::size_t count) override {
        const std::string bytes(reinterpret_cast<const char*>(data), count);
        return call("write " + bytes, false, [&] { writes.push_back(bytes); }) && !interrupted;
    }
    bool close(PortHandle h) override { return call(on("close", h)); }
    void interrupt() override { interrupted = true; }

    std::mutex mutex;
    std::vector<std::string> calls;
    std::vector<std::string> writes; // one entry per write call
    LineState line{9600};
    Timeouts timeouts{};
    bool failOpen = false, failSetLineState = false, failSetTimeouts = false;
    std::atomic<bool> interrupted{false};

private:
    static std::string on(const char* n, PortHandle h) { return n + (" " + std::to_string(h)); }
    bool call(const std::string& what, bool fail = false,
              const std::function<void()>& effect = {}) {
        std::lock_guard lock(mutex);
        calls.push_back(what);
        if (!fail && effect)
            effect();
        return !fail;
    }
    PortHandle nextHandle = 7;
};

// A line that takes nothing until the test lets some writes through or opens its gate, or
// until the program ends.
struct GatedDevice : FakeSerialDevice {
    bool write(PortHandle h, const std::uint8_t* data, std::size_t count) override {
        {
            std::unique_lock lock(gate);
            ++waiting;
            changed.notify_all();
            changed.wait(lock, [this] { return allowed > 0; });
            --allowed;
        }
        return FakeSerialDevice::write(h, data, count);
    }
    void allow(int count) {
        std::lock_guard lock(gate);
        allowed += count;
        changed.notify_all();
    }
    void release() { allow(1 << 20); }
    void interrupt() override {
        FakeSerialDevice::interrupt();
        release();
    }
    void waitForWriter() {
        std::unique_lock lock(gate);
        changed.wait(lock, [this] { return waiting > 0; });
    }
    std::mutex gate;
    std::condition_variable changed;
    int waiting = 0, allowed = 0;
};
