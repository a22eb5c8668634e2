#pragma once
// A serial device that records every call as a line of text, in order, and can be told to fail
// any of them. Calls come from the line writer's thread too: read the records after the
// writer's flush().
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "line/SerialDevice.h"

class FakeSerialDevice : public SerialDevice {
public:
    PortHandle open(const std::string& name) override {
        std::lock_guard lock(mutex);
        calls.push_back("open " + name);
        return failOpen ? InvalidPort : nextHandle++;
    }
    PortHandle openDevice(const std::string& name, const std::string& device) override {
        {
            std::lock_guard lock(mutex);
            calls.push_back("on " + device);
        }
        return open(name);
    }
    bool getLineState(PortHandle h, LineState& out) override {
        return call("getLineState", h, [&] { out = line; });
    }
    bool setLineState(PortHandle h, const LineState& s) override {
        return call(
            "setLineState", h, [&] { line = s; }, failSetLineState);
    }
    bool getTimeouts(PortHandle h, Timeouts& out) override {
        return call("getTimeouts", h, [&] { out = timeouts; });
    }
    bool setTimeouts(PortHandle h, const Timeouts& t) override {
        return call(
            "setTimeouts", h, [&] { timeouts = t; }, failSetTimeouts);
    }
    bool lineControl(PortHandle h, LineControl fn) override {
        const char* name = fn == LineControl::SetDtr   ? "SETDTR"
                           : fn == LineControl::SetRts ? "SETRTS"
                                                       : "CLRRTS";
        return call(name, h, [] {});
    }
    bool write(PortHandle h, const std::uint8_t* data, std::size_t count) override {
        std::lock_guard lock(mutex);
        const std::string bytes(reinterpret_cast<const char*>(data), count);
        calls.push_back("write " + bytes);
        writes.push_back(bytes);
        writeHandles.push_back(h);
        return !failWrite && !interrupted;
    }
    bool close(PortHandle h) override {
        return call("close", h, [] {});
    }
    void interrupt() override {
        std::lock_guard lock(mutex);
        interrupted = true;
    }

    std::mutex mutex;
    std::vector<std::string> calls;
    std::vector<std::string> writes; // one entry per write call
    std::vector<PortHandle> writeHandles;
    LineState line{9600};
    Timeouts timeouts{};
    PortHandle nextHandle = 7;
    bool failOpen = false;
    bool failSetLineState = false;
    bool failSetTimeouts = false;
    bool failWrite = false;
    bool interrupted = false;

private:
    template <class Effect>
    bool call(const char* name, PortHandle h, Effect effect, bool fail = false) {
        std::lock_guard lock(mutex);
        calls.push_back(std::string(name) + " " + std::to_string(h));
        if (fail)
            return false;
        effect();
        return true;
    }
};

// A line that takes nothing until the test opens its gate or lets some writes through, or
// until the program ends.
struct GatedDevice : FakeSerialDevice {
    bool write(PortHandle h, const std::uint8_t* data, std::size_t count) override {
        {
            std::unique_lock lock(gate);
            ++waiting;
            changed.notify_all();
            changed.wait(lock, [this] { return open || cut || allowed > 0; });
            if (!open && !cut)
                --allowed;
        }
        return FakeSerialDevice::write(h, data, count);
    }
    void allow(int count) {
        std::lock_guard lock(gate);
        allowed += count;
        changed.notify_all();
    }
    void interrupt() override {
        FakeSerialDevice::interrupt();
        {
            std::lock_guard lock(gate);
            cut = true;
        }
        changed.notify_all();
    }
    void waitForWriter() {
        std::unique_lock lock(gate);
        changed.wait(lock, [this] { return waiting > 0; });
    }
    void release() {
        std::lock_guard lock(gate);
        open = true;
        changed.notify_all();
    }
    std::mutex gate;
    std::condition_variable changed;
    bool open = false, cut = false;
    int waiting = 0;
    int allowed = 0;
};
