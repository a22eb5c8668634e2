#include <gtest/gtest.h>

#include <condition_variable>
#include <thread>

#include "core/Fakes.h"
#include "serial/LineWriter.h"
#include "serial/SerialLink.h"

namespace {

using Calls = std::vector<std::string>;
using namespace std::chrono_literals;

// A device whose writes wait at a gate until the test opens it.
struct GatedDevice : FakeSerialDevice {
    bool write(PortHandle h, const std::uint8_t* data, std::size_t count) override {
        {
            std::unique_lock lock(gate);
            ++waiting;
            changed.notify_all();
            changed.wait(lock, [this] { return open; });
        }
        return FakeSerialDevice::write(h, data, count);
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
    bool open = false;
    int waiting = 0;
};

// Time stands still until the writer asks to sleep; each sleep is recorded with its thread.
struct FakeClock : WriterClock {
    TimePoint now() override {
        std::lock_guard lock(mutex);
        return t;
    }
    void sleepUntil(TimePoint until) override {
        std::lock_guard lock(mutex);
        sleeps.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(until - TimePoint{}));
        sleepers.push_back(std::this_thread::get_id());
        t = until;
    }
    void set(std::chrono::milliseconds at) {
        std::lock_guard lock(mutex);
        t = TimePoint{} + at;
    }
    std::mutex mutex;
    TimePoint t = TimePoint{} + 100ms;
    std::vector<std::chrono::milliseconds> sleeps;
    std::vector<std::thread::id> sleepers;
};

// Records and port commands reach the device in the order they were handed over, each record
// in one write.
TEST(LineWriter, RecordsAndCommandsKeepTheirOrder) {
    EmulatorState state;
    FakeSerialDevice device;
    FakeMessageBox box;
    LineWriter writer(device);
    SerialLink link(state, device, writer, box);
    link.UsePort(link.OpenPort("COM1:"));
    device.calls.clear();
    writer.submit(7, "$GPRMB,1\r\n");
    link.SetBaud(3);
    writer.submit(7, "\x02" "A1\r");
    link.ClosePort(7);
    writer.submit(7, "late");
    writer.flush();
    EXPECT_EQ(device.calls, (Calls{"write $GPRMB,1\r\n", "getLineState 7", "setLineState 7",
                                   "write \x02" "A1\r", "close 7", "write late"}));
    EXPECT_EQ(writer.counters().recordsSent.load(), 3u);
    EXPECT_EQ(writer.counters().bytesSent.load(), 10u + 4u + 4u);
}

TEST(LineWriter, FullQueueAndFailedWritesAreDroppedAndCounted) {
    GatedDevice device;
    LineWriter writer(device);
    ASSERT_TRUE(writer.submit(1, "first"));
    device.waitForWriter(); // the writer holds "first"; the queue is empty
    for (std::size_t i = 0; i < LineWriter::Capacity; ++i)
        ASSERT_TRUE(writer.submit(1, "r"));
    EXPECT_FALSE(writer.submit(1, "over"));
    EXPECT_FALSE(writer.submit(1, "over"));
    EXPECT_EQ(writer.counters().recordsDropped.load(), 2u);
    device.release();
    writer.flush();
    EXPECT_EQ(device.writes.size(), 1 + LineWriter::Capacity);
    EXPECT_EQ(writer.counters().recordsSent.load(), 1 + LineWriter::Capacity);

    device.failWrite = true; // a deadline missed or a line gone
    writer.submit(1, "lost");
    writer.flush();
    EXPECT_EQ(writer.counters().recordsDropped.load(), 3u);
    EXPECT_EQ(writer.counters().bytesSent.load(), 5u + LineWriter::Capacity);
}

// On the way out the writer finishes the write it is in, drops what waits, and still closes.
TEST(LineWriter, StopDropsWaitingRecordsButRunsCommands) {
    GatedDevice device;
    LineWriter writer(device);
    writer.submit(1, "a");
    device.waitForWriter();
    writer.submit(1, "b");
    writer.submit(1, "c");
    writer.post([&device] { device.close(1); });
    writer.requestStop();
    device.release();
    writer.flush();
    EXPECT_EQ(device.calls, (Calls{"write a", "close 1"}));
    EXPECT_EQ(writer.counters().recordsDropped.load(), 2u);
    EXPECT_FALSE(writer.submit(1, "after"));
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
    writer.wait10ms(); // a line that was not sent still spaces
    writer.submit(1, "B"); // no sooner than 120 ms
    writer.wait10ms();
    writer.submit(1, "C"); // no sooner than 130 ms
    writer.flush();
    clock.set(500ms);
    writer.wait10ms();
    writer.submit(1, "D"); // its gap has long passed: no sleep
    writer.flush();
    EXPECT_EQ(device.writes, (Calls{"A", "B", "C", "D"}));
    EXPECT_EQ(clock.sleeps, (std::vector<std::chrono::milliseconds>{120ms, 130ms}));
    for (const auto& id : clock.sleepers)
        EXPECT_NE(id, std::this_thread::get_id());
}

} // namespace
