#pragma once
// What the measuring programs share: devices that record when things reached them, the
// emulator built as main() builds it, a reference clock thread, and a few statistics.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/Emulator.h"
#include "engine/MessageBoxSeam.h"
#include "line/SerialDevice.h"
#include "settings/SettingsStore.h"

using BenchClock = std::chrono::steady_clock; // CLOCK_MONOTONIC, as the emulator's deadlines
using Stamp = BenchClock::time_point;

// Time stamps appended from any thread. Room is made up front, so that recording from a
// timing thread does not allocate while it is being measured.
class StampLog {
public:
    explicit StampLog(std::size_t capacity = 1 << 16) { stamps.reserve(capacity); }
    void add(Stamp t) {
        std::lock_guard lock(mutex);
        stamps.push_back(t);
    }
    // Everything recorded since the last call.
    std::vector<Stamp> take() {
        std::vector<Stamp> fresh;
        fresh.reserve(stamps.capacity());
        std::lock_guard lock(mutex);
        fresh.swap(stamps);
        return fresh;
    }

private:
    std::mutex mutex;
    std::vector<Stamp> stamps;
};

// A device that reaches no hardware: every call succeeds at once. It records RTS edges and
// the start of every write; the three threads of the emulator call it concurrently.
class SinkDevice : public SerialDevice {
public:
    PortHandle open(const std::string&) override { return 3; }
    bool getLineState(PortHandle, LineState& out) override {
        std::lock_guard lock(mutex);
        out = line;
        return true;
    }
    bool setLineState(PortHandle, const LineState& s) override {
        std::lock_guard lock(mutex);
        line = s;
        return true;
    }
    bool getTimeouts(PortHandle, Timeouts&) override { return true; }
    bool setTimeouts(PortHandle, const Timeouts&) override { return true; }
    bool lineControl(PortHandle, LineControl fn) override {
        if (fn != LineControl::SetDtr)
            edges.add(BenchClock::now());
        return true;
    }
    bool write(PortHandle, const std::uint8_t*, std::size_t count) override {
        writes.add(BenchClock::now());
        bytesWritten.fetch_add(count);
        return true;
    }
    bool close(PortHandle) override { return true; }

    StampLog edges;  // every RTS change
    StampLog writes; // every record, as its write begins
    std::atomic<std::size_t> bytesWritten{0};

private:
    std::mutex mutex;
    LineState line{4800};
};

// Wraps a real device: forwards every call and stamps each RTS change once the device has
// made it, so the figures include what the device's own locking and ioctl cost.
class RtsRecordingDevice : public SerialDevice {
public:
    explicit RtsRecordingDevice(SerialDevice& wrapped, std::size_t capacity = 1 << 16)
        : edges(capacity), inner(wrapped) {}
    PortHandle open(const std::string& name) override { return inner.open(name); }
    bool getLineState(PortHandle h, LineState& out) override { return inner.getLineState(h, out); }
    bool setLineState(PortHandle h, const LineState& s) override {
        return inner.setLineState(h, s);
    }
    bool getTimeouts(PortHandle h, Timeouts& out) override { return inner.getTimeouts(h, out); }
    bool setTimeouts(PortHandle h, const Timeouts& t) override { return inner.setTimeouts(h, t); }
    bool lineControl(PortHandle h, LineControl fn) override {
        const bool ok = inner.lineControl(h, fn);
        if (fn != LineControl::SetDtr) {
            edges.add(BenchClock::now());
            if (!ok)
                refused.fetch_add(1);
        }
        return ok;
    }
    bool write(PortHandle h, const std::uint8_t* data, std::size_t count) override {
        return inner.write(h, data, count);
    }
    bool close(PortHandle h) override { return inner.close(h); }

    StampLog edges;
    std::atomic<std::uint64_t> refused{0}; // RTS changes the device reported as failed

private:
    SerialDevice& inner;
};

class SilentBoxes : public MessageBoxSeam {
public:
    MsgResult show(const std::string&, const std::string&, MsgIcon, MsgButtons) override {
        return MsgResult::Ok;
    }
};

// The emulator as main() builds it, with its settings in a directory of the caller's.
struct BenchEmulator {
    BenchEmulator(SerialDevice& device, const std::filesystem::path& configDir)
        : settings(configDir), emulator(device, settings, boxes) {}
    FileSettingsStore settings;
    SilentBoxes boxes;
    Emulator emulator;
};

// The reference: a thread that sleeps to absolute CLOCK_MONOTONIC deadlines one period apart
// and stamps each wake-up. Like the emulator's timers it keeps a fixed grid and skips
// deadlines missed by more than a period, so the two differ only in what runs around them.
class DeadlineThread {
public:
    DeadlineThread(std::chrono::nanoseconds every, Stamp first, std::size_t capacity = 1 << 16)
        : period(every), wakeups(capacity), thread([this, first] { run(first); }) {}
    ~DeadlineThread() {
        stopping.store(true);
        thread.join();
    }
    DeadlineThread(const DeadlineThread&) = delete;
    DeadlineThread& operator=(const DeadlineThread&) = delete;

    StampLog& log() { return wakeups; }

private:
    void run(Stamp next) {
        while (!stopping.load()) {
            const auto ns =
                std::chrono::duration_cast<std::chrono::nanoseconds>(next.time_since_epoch())
                    .count();
            timespec at{};
            at.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
            at.tv_nsec = static_cast<long>(ns % 1'000'000'000);
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) != 0) {
            }
            const Stamp now = BenchClock::now();
            wakeups.add(now);
            next += period;
            while (next + period <= now)
                next += period;
        }
    }

    std::chrono::nanoseconds period;
    StampLog wakeups;
    std::atomic<bool> stopping{false};
    std::thread thread;
};

inline double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return std::nan("");
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

inline double maximum(const std::vector<double>& v) {
    return v.empty() ? std::nan("") : *std::max_element(v.begin(), v.end());
}

inline double milliseconds(BenchClock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Consecutive differences, in milliseconds.
inline std::vector<double> intervalsMs(const std::vector<Stamp>& at) {
    std::vector<double> out;
    for (std::size_t i = 1; i < at.size(); ++i)
        out.push_back(milliseconds(at[i] - at[i - 1]));
    return out;
}
