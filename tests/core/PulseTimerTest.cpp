#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "emulator/PulseTimer.h"

namespace {

using namespace std::chrono_literals;

// The timer ticks on its own thread while enabled; once setEnabled(false) returns, no edge
// follows. Rates and spacing are the benchmark's business.
TEST(PulseTimer, EdgesRunWhileEnabledAndStopWhenDisabled) {
    std::mutex mutex;
    std::condition_variable changed;
    int edges = 0;
    std::thread::id edgeThread;
    PulseTimer timer([&] {
        std::lock_guard lock(mutex);
        ++edges;
        edgeThread = std::this_thread::get_id();
        changed.notify_all();
    });
    EXPECT_FALSE(timer.enabled());
    EXPECT_EQ(timer.period(), 1000); // until a flow value is applied
    timer.setPeriod(1);
    timer.setEnabled(true);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return edges >= 5; }));
        EXPECT_NE(edgeThread, std::this_thread::get_id());
    }
    timer.setEnabled(false);
    int stoppedAt = 0;
    {
        std::lock_guard lock(mutex);
        stoppedAt = edges;
    }
    std::this_thread::sleep_for(20ms);
    std::lock_guard lock(mutex);
    EXPECT_EQ(edges, stoppedAt);
}

} // namespace
