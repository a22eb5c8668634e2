// The line's threads on fake devices and clocks: the line writer, the serial link's commands
// that run on it, and the fuel-flow pulse timer.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/FakeDevice.h"
#include "line/LineWriter.h"
#include "line/PulseTimer.h"
#include "line/SerialLink.h"

namespace {

using Calls = std::vector<std::string>;
using namespace std::chrono_literals;

// Time stands still until the writer sleeps; a stalled device spends its write deadline. The
// test reads `sleeps` only after a flush.
struct FakeClock : WriterClock {
    TimePoint now() override { return t; }
    void sleepUntil(TimePoint until) override {
        sleeps.push_back(
            std::chrono::duration_cast<std::chrono::milliseconds>(until - TimePoint{}));
        t = until;
    }
    void pass(std::chrono::milliseconds d) { t = t.load() + d; }
    std::atomic<TimePoint> t{TimePoint{} + 100ms};
    std::vector<std::chrono::milliseconds> sleeps;
};

struct StalledDevice : FakeSerialDevice {
    explicit StalledDevice(FakeClock& c) : clock(c) {}
    bool write(PortHandle h, const std::uint8_t* data, std::size_t count) override {
        FakeSerialDevice::write(h, data, count);
        clock.pass(std::chrono::milliseconds(1000 + 10 * count)); // the deadline, then failure
        return false;
    }
    FakeClock& clock;
};

// Records and port commands reach the device in the order they were handed over, each record
// in one write.
TEST(LineWriter, RecordsAndCommandsKeepTheirOrder) {
    FakeSerialDevice device;
    LineWriter writer(device);
    SerialLink link(device, writer);
    link.UsePort(link.OpenPort("COM1:", 4800));
    device.calls.clear();
    writer.submit(7, "$GPRMB,1\r\n");
    link.SetBaud(3);
    writer.submit(7, "\x02"
                     "A1\r");
    link.ClosePort(7);
    writer.submit(7, "late");
    writer.flush();
    EXPECT_EQ(device.calls, (Calls{"write $GPRMB,1\r\n", "getLineState 7", "setLineState 7",
                                   "write \x02"
                                   "A1\r",
                                   "close 7", "write late"}));
    EXPECT_EQ(std::tuple(writer.counters().recordsSent.load(), writer.counters().bytesSent.load()),
              std::tuple(3u, 10u + 4u + 4u));
}

// A line slower than what is handed to it holds the records back; none is dropped, and the
// writer says when the last one has left.
TEST(LineWriter, SlowLineKeepsEveryRecordAndSaysWhenDrained) {
    GatedDevice device;
    LineWriter writer(device);
    int drained = 0;
    writer.onDrained([&drained] { ++drained; });
    writer.submit(1, "r");
    device.waitForWriter(); // taken, not yet written: still waiting
    EXPECT_TRUE(writer.recordsWaiting());
    Calls handed{"r"};
    for (int i = 0; i < 1000; ++i) {
        handed.push_back("r" + std::to_string(i));
        ASSERT_TRUE(writer.submit(1, handed.back()));
    }
    EXPECT_EQ(drained, 0);
    device.release();
    writer.flush();
    EXPECT_FALSE(writer.recordsWaiting());
    EXPECT_EQ(device.writes, handed);
    EXPECT_EQ(writer.counters().recordsDropped.load(), 0u);
    EXPECT_EQ(drained, 1);
}

// A stalled line drops each record once, at its write deadline; the spacing a record asks for
// counts from the end of the one before, never from a record that was dropped earlier.
TEST(LineWriter, StalledLineDropsAtTheDeadlineWithoutCarryingSpacing) {
    FakeClock clock;
    StalledDevice device(clock);
    LineWriter writer(device, &clock);
    writer.submit(1, "A"); // fails at 100 + 1010 ms
    writer.wait10ms();
    writer.submit(1, "BB"); // no sooner than 1120 ms; fails at 1120 + 1020
    writer.submit(1, "C");  // at once after B
    writer.flush();
    EXPECT_EQ(device.writes, (Calls{"A", "BB", "C"}));
    EXPECT_EQ(clock.sleeps, (std::vector<std::chrono::milliseconds>{1120ms}));
    EXPECT_EQ(writer.counters().recordsDropped.load(), 3u);
    EXPECT_EQ(writer.counters().recordsSent.load(), 0u);
}

// The 10 ms waits become spacing on the writer's thread: the next record starts no sooner
// than the waits after the end of the previous write, and the caller never sleeps.
TEST(LineWriter, SpacingBetweenRecordsIsKeptOnTheWritersThread) {
    FakeSerialDevice device;
    FakeClock clock;
    LineWriter writer(device, &clock);
    writer.submit(1, "A"); // written at 100 ms
    writer.flush();
    writer.wait10ms();
    writer.wait10ms();     // a line that was not sent still spaces
    writer.submit(1, "B"); // no sooner than 120 ms
    writer.wait10ms();
    writer.submit(1, "C"); // no sooner than 130 ms
    writer.flush();
    clock.pass(370ms);
    writer.wait10ms();
    writer.submit(1, "D"); // its gap has long passed: no sleep
    writer.flush();
    EXPECT_EQ(device.writes, (Calls{"A", "B", "C", "D"}));
    EXPECT_EQ(clock.sleeps, (std::vector<std::chrono::milliseconds>{120ms, 130ms}));
}

// The end waits a bounded time for the line, then gives up the write under way and drops the
// rest, counted; the close still runs and nothing is taken afterwards.
TEST(LineWriter, FinishIsBoundedAndCountsWhatItDrops) {
    GatedDevice device;
    LineWriter writer(device);
    for (const char* record : {"a", "b", "c"})
        writer.submit(1, record);
    writer.post([&device] { device.close(1); });
    device.waitForWriter();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(writer.finish(100ms), 3u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(device.calls, (Calls{"write a", "close 1"}));
    EXPECT_EQ(writer.counters().recordsDropped.load(), 3u);
    EXPECT_FALSE(writer.submit(1, "after"));
}

struct LinkRig {
    FakeSerialDevice device;
    LineWriter writer{device};
    SerialLink link{device, writer};
};

TEST(SerialLink, OpenPortCallsInOrderAndFailures) {
    const Calls all{"open COM2:",    "getLineState 7", "setLineState 7", "getTimeouts 7",
                    "setTimeouts 7", "SETDTR 7",       "SETRTS 7"};
    // the call that fails (1 open, 2 setLineState, 3 setTimeouts), how many of `all` are made,
    // the handle, the failure told, RTS up
    // clang-format off
    const std::tuple<int, int, PortHandle, std::string, bool> rows[] = {
        {0, 7, 7, "", true}, {1, 1, InvalidPort, "", false},
        {2, 3, 7, "Unable to configure the serial port", false},
        {3, 5, 7, "Unable to set the time-out parameters", false},
    };
    // clang-format on
    for (const auto& [fail, made, result, failure, rts] : rows) {
        LinkRig rig;
        rig.device.failOpen = fail == 1;
        rig.device.failSetLineState = fail == 2;
        rig.device.failSetTimeouts = fail == 3;
        EXPECT_EQ(rig.link.OpenPort("COM2:", 4800), result);
        EXPECT_EQ(rig.device.calls, Calls(all.begin(), all.begin() + made));
        EXPECT_EQ(rig.link.configureFailure(), failure);
        EXPECT_EQ(rig.link.RtsRaised(), rts);
    }
    // A device that cannot name its speed gets the rate it is about to have, 8N1.
    LinkRig rig;
    rig.device.line = LineState{0, true, true, true, true, 7, Parity::Even, StopBits::Two};
    rig.link.OpenPort("COM1:", 9600);
    const LineState& l = rig.device.line;
    EXPECT_EQ(std::tuple(l.baudRate, l.byteSize, l.parity, l.ctsFlow || l.outX || l.inX),
              std::tuple(9600u, 8, Parity::None, false));
}

// A baud change runs on the writer's thread; a refusal found there is counted for the engine.
TEST(SerialLink, SetBaudKeepsOtherSettingsAndCountsLateFailures) {
    LinkRig rig;
    EXPECT_FALSE(rig.link.SetBaud(1)); // no port
    rig.link.UsePort(rig.link.OpenPort("COM1:", 4800));
    for (const auto& [idx, rate] : {std::pair(1, 4800u), {2, 9600u}, {3, 19200u}}) {
        EXPECT_TRUE(rig.link.SetBaud(static_cast<std::uint8_t>(idx)));
        rig.writer.flush();
        EXPECT_EQ(std::tuple(rig.device.line.baudRate, rig.device.line.byteSize),
                  std::tuple(rate, 8));
    }
    EXPECT_FALSE(rig.link.SetBaud(0));
    rig.device.failSetLineState = true;
    rig.link.SetBaud(1);
    rig.writer.flush();
    EXPECT_EQ(rig.link.takeLateFailures(), 1u);
    EXPECT_EQ(rig.link.takeLateFailures(), 0u); // each refusal is told once
    EXPECT_EQ(rig.device.line.baudRate, 19200u);
}

TEST(SerialLink, ToggleRtsAlternatesEvenWithoutPort) {
    LinkRig rig;
    rig.link.UsePort(rig.link.OpenPort("COM1:", 4800));
    rig.device.calls.clear();
    rig.link.ToggleRts();
    rig.link.ToggleRts();
    EXPECT_EQ(rig.device.calls, (Calls{"CLRRTS 7", "SETRTS 7"}));
    EXPECT_TRUE(rig.link.RtsRaised());
    rig.link.UsePort(InvalidPort);
    rig.link.ToggleRts();
    EXPECT_FALSE(rig.link.RtsRaised());
}

using TimePoint = DeadlineSchedule::TimePoint;
using Ms = std::vector<std::chrono::milliseconds>;

// Time jumps to each deadline the timer waits for, as often as the test allows; then the timer
// waits for real until allowed more. The edges are stamped with that time.
struct TimerRig : PulseClock {
    TimePoint now() override { return t; }
    void waitUntil(std::unique_lock<std::mutex>& held, std::condition_variable& changed,
                   TimePoint deadline) override {
        std::unique_lock lock(mutex);
        if (allowed > 0) {
            --allowed;
            t = deadline;
            return;
        }
        lock.unlock();
        changed.wait_for(held, 1ms);
    }
    Ms run(int waits, std::size_t edgeCount) {
        std::unique_lock lock(mutex);
        allowed += waits;
        edgesSeen.wait_for(lock, 10s, [&] { return edges.size() >= edgeCount; });
        return edges;
    }

    std::mutex mutex;
    std::condition_variable edgesSeen;
    std::atomic<TimePoint> t{};
    int allowed = 0;
    Ms edges;
    PulseTimer timer{[this] {
                         std::lock_guard lock(mutex);
                         edges.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(
                             t.load() - TimePoint{}));
                         edgesSeen.notify_all();
                     },
                     this};
};

// Edges one period apart on a grid from the moment the timer is enabled. Enabling it again,
// or giving it the period it has, keeps the grid; a new period starts a new one.
TEST(PulseTimer, EdgesOnTheGridOfTheirPeriod) {
    TimerRig rig;
    EXPECT_EQ(rig.timer.period(), 1000); // until a flow value is applied
    rig.timer.setPeriod(5);
    rig.timer.setEnabled(true);
    EXPECT_EQ(rig.run(3, 3), (Ms{5ms, 10ms, 15ms}));
    rig.t = rig.t.load() + 2ms;
    rig.timer.setEnabled(true);
    rig.timer.setPeriod(5);
    EXPECT_EQ(rig.run(2, 5), (Ms{5ms, 10ms, 15ms, 20ms, 25ms}));
    rig.timer.setPeriod(4);
    EXPECT_EQ(rig.run(1, 6).back(), 29ms);
}

// Once setEnabled(false) returns no edge follows, on a thread of the timer's own.
TEST(PulseTimer, DisabledMeansNoMoreEdges) {
    std::atomic<int> edges{0};
    std::atomic<bool> ownThread{true};
    const std::thread::id test = std::this_thread::get_id();
    PulseTimer timer([&] {
        ownThread = ownThread && std::this_thread::get_id() != test;
        ++edges;
    });
    timer.setPeriod(1);
    timer.setEnabled(true);
    for (int i = 0; i < 1000 && edges < 3; ++i)
        std::this_thread::sleep_for(1ms);
    timer.setEnabled(false);
    const int stoppedAt = edges;
    EXPECT_GE(stoppedAt, 3);
    EXPECT_TRUE(ownThread);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(edges, stoppedAt);
}

} // namespace
