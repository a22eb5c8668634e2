#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "line/PulseTimer.h"

namespace {

using namespace std::chrono_literals;
using TimePoint = DeadlineSchedule::TimePoint;

// Time jumps to each deadline the timer waits for, as many times as the test allows; then the
// timer waits for real until it is allowed more.
struct FakePulseClock : PulseClock {
    TimePoint now() override {
        std::lock_guard lock(mutex);
        return t;
    }
    void waitUntil(std::unique_lock<std::mutex>& timerLock, std::condition_variable& changed,
                   TimePoint deadline) override {
        {
            std::lock_guard lock(mutex);
            if (allowed > 0) {
                --allowed;
                t = deadline;
                return;
            }
        }
        changed.wait_for(timerLock, 1ms);
    }
    void allow(int waits) {
        std::lock_guard lock(mutex);
        allowed += waits;
    }
    void set(std::chrono::milliseconds at) {
        std::lock_guard lock(mutex);
        t = TimePoint{} + at;
    }
    std::mutex mutex;
    TimePoint t{};
    int allowed = 0;
};

struct Rig {
    FakePulseClock clock;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::chrono::milliseconds> edges;
    PulseTimer timer{[this] {
                         std::lock_guard lock(mutex);
                         edges.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(
                             clock.now() - TimePoint{}));
                         changed.notify_all();
                     },
                     &clock};

    std::vector<std::chrono::milliseconds> waitForEdges(std::size_t count) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, 10s, [&] { return edges.size() >= count; });
        return edges;
    }
};

using Ms = std::vector<std::chrono::milliseconds>;

// Edges one period apart on a grid from the moment the timer is enabled. Enabling it again,
// or giving it the period it has, keeps the grid; a new period starts a new one.
TEST(PulseTimer, EdgesOnTheGridOfTheirPeriod) {
    Rig rig;
    EXPECT_EQ(rig.timer.period(), 1000); // until a flow value is applied
    rig.timer.setPeriod(5);
    rig.clock.allow(3);
    rig.timer.setEnabled(true);
    EXPECT_EQ(rig.waitForEdges(3), (Ms{5ms, 10ms, 15ms}));

    rig.clock.set(17ms);
    rig.timer.setEnabled(true);
    rig.timer.setPeriod(5);
    rig.clock.allow(2);
    EXPECT_EQ(rig.waitForEdges(5), (Ms{5ms, 10ms, 15ms, 20ms, 25ms}));

    rig.timer.setPeriod(4);
    rig.clock.allow(1);
    EXPECT_EQ(rig.waitForEdges(6).back(), 29ms);
}

// Once setEnabled(false) returns no edge follows, on a thread of the timer's own.
TEST(PulseTimer, DisabledMeansNoMoreEdges) {
    std::mutex mutex;
    int edges = 0;
    std::thread::id edgeThread;
    PulseTimer timer([&] {
        std::lock_guard lock(mutex);
        ++edges;
        edgeThread = std::this_thread::get_id();
    });
    timer.setPeriod(1);
    timer.setEnabled(true);
    for (int i = 0; i < 1000; ++i) {
        std::this_thread::sleep_for(1ms);
        std::lock_guard lock(mutex);
        if (edges >= 3)
            break;
    }
    timer.setEnabled(false);
    std::unique_lock lock(mutex);
    const int stoppedAt = edges;
    EXPECT_GE(stoppedAt, 3);
    EXPECT_NE(edgeThread, std::this_thread::get_id());
    lock.unlock();
    std::this_thread::sleep_for(20ms);
    lock.lock();
    EXPECT_EQ(edges, stoppedAt);
}

} // namespace
