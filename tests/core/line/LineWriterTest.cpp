#include <gtest/gtest.h>

#include <thread>

#include "core/FakeDevice.h"
#include "line/LineWriter.h"
#include "line/SerialLink.h"

namespace {

using Calls = std::vector<std::string>;
using namespace std::chrono_literals;

// Time stands still until the writer sleeps; a stalled device spends its write deadline.
struct FakeClock : WriterClock {
    TimePoint now() override {
        std::lock_guard lock(mutex);
        return t;
    }
    void sleepUntil(TimePoint until) override {
        std::lock_guard lock(mutex);
        sleeps.push_back(
            std::chrono::duration_cast<std::chrono::milliseconds>(until - TimePoint{}));
        t = until;
    }
    void pass(std::chrono::milliseconds d) {
        std::lock_guard lock(mutex);
        t += d;
    }
    std::mutex mutex;
    TimePoint t = TimePoint{} + 100ms;
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
    EXPECT_EQ(writer.counters().recordsSent.load(), 3u);
    EXPECT_EQ(writer.counters().bytesSent.load(), 10u + 4u + 4u);
}

// A line slower than what is handed to it holds the records back; none is dropped, and the
// writer says when the last one has left.
TEST(LineWriter, SlowLineKeepsEveryRecordAndSaysWhenDrained) {
    GatedDevice device;
    LineWriter writer(device);
    int drained = 0;
    writer.onDrained([&drained] { ++drained; });
    Calls handed;
    for (int i = 0; i < 1000; ++i) {
        handed.push_back("r" + std::to_string(i));
        ASSERT_TRUE(writer.submit(1, handed.back()));
    }
    device.waitForWriter();
    EXPECT_TRUE(writer.recordsWaiting());
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
    writer.submit(1, "a");
    writer.submit(1, "b");
    writer.submit(1, "c");
    writer.post([&device] { device.close(1); });
    device.waitForWriter();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(writer.finish(100ms), 3u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(device.calls, (Calls{"write a", "close 1"}));
    EXPECT_EQ(writer.counters().recordsDropped.load(), 3u);
    EXPECT_FALSE(writer.submit(1, "after"));
}

} // namespace
