#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "line/PulseTimer.h"

namespace {

using namespace std::chrono_literals;
using TimePoint = DeadlineSchedule::TimePoint;
using Ms = std::vector<std::chrono::milliseconds>;

// Time jumps to each deadline the timer waits for, as often as the test allows; then the timer
// waits for real until allowed more. The edges are stamped with that time.
struct Rig : PulseClock {
    TimePoint now() override {
        std::lock_guard lock(mutex);
        return t;
    }
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
    TimePoint t{};
    int allowed = 0;
    Ms edges;
    PulseTimer timer{[this] {
                         std::lock_guard lock(mutex);
                         edges.push_back(
                             std::chrono::duration_cast<std::chrono::milliseconds>(t - TimePoint{}));
                         edgesSeen.notify_all();
                     },
                     this};
};

// Edges one period apart on a grid from the moment the timer is enabled. Enabling it again,
// or giving it the period it has, keeps the grid; a new period starts a new one.
TEST(PulseTimer, EdgesOnTheGridOfTheirPeriod) {
    Rig rig;
    EXPECT_EQ(rig.timer.period(), 1000); // until a flow value is applied
    rig.timer.setPeriod(5);
    rig.timer.setEnabled(true);
    EXPECT_EQ(rig.run(3, 3), (Ms{5ms, 10ms, 15ms}));
    {
        std::lock_guard lock(rig.mutex);
        rig.t += 2ms;
    }
    rig.timer.setEnabled(true);
    rig.timer.setPeriod(5);
    EXPECT_EQ(rig.run(2, 5), (Ms{5ms, 10ms, 15ms, 20ms, 25ms}));
    rig.timer.setPeriod(4);
    EXPECT_EQ(rig.run(1, 6).back(), 29ms);
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
    for (int i = 0; i < 1000 && [&] {
             std::lock_guard lock(mutex);
             return edges < 3;
         }();
         ++i)
        std::this_thread::sleep_for(1ms);
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
