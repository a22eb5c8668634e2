#include "line/PulseTimer.h"

#include <algorithm>

namespace {
class SteadyPulseClock : public PulseClock {
public:
    DeadlineSchedule::TimePoint now() override { return DeadlineSchedule::Clock::now(); }
    // steady_clock waits are pthread_cond_clockwait on CLOCK_MONOTONIC: an absolute deadline,
    // woken early only by a change of the settings.
    void waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                   DeadlineSchedule::TimePoint deadline) override {
        changed.wait_until(lock, deadline);
    }
};

SteadyPulseClock steadyClock;
} // namespace

PulseTimer::PulseTimer(std::function<void()> e, PulseClock* c)
    : edge(std::move(e)), clock(c ? *c : steadyClock), thread([this] { run(); }) {}

PulseTimer::~PulseTimer() {
    {
        std::lock_guard lock(control.mutex);
        control.stopping = true;
    }
    control.changed.notify_all();
    thread.join();
}

void PulseTimer::setEnabled(bool enabled) {
    {
        std::lock_guard lock(control.mutex);
        if (control.enabled == enabled)
            return;
        control.enabled = enabled;
        ++control.generation;
    }
    control.changed.notify_all();
}

void PulseTimer::setPeriod(int milliseconds) {
    const std::chrono::milliseconds period(std::max(milliseconds, 1));
    {
        std::lock_guard lock(control.mutex);
        if (control.period == period)
            return;
        control.period = period;
        ++control.generation;
    }
    control.changed.notify_all();
}

bool PulseTimer::enabled() const {
    std::lock_guard lock(control.mutex);
    return control.enabled;
}

int PulseTimer::period() const {
    std::lock_guard lock(control.mutex);
    return static_cast<int>(control.period.count());
}

void PulseTimer::run() {
    DeadlineSchedule schedule;
    std::uint64_t seen = 0;
    std::unique_lock lock(control.mutex);
    while (!control.stopping) {
        if (!control.enabled) {
            control.changed.wait(lock);
            continue;
        }
        if (seen != control.generation) {
            seen = control.generation;
            schedule.restart(clock.now(), control.period);
        }
        clock.waitUntil(lock, control.changed, schedule.next());
        if (control.stopping || !control.enabled || seen != control.generation)
            continue;
        const auto now = clock.now();
        if (now < schedule.next())
            continue; // woken early
        // Under the lock, so that once setEnabled(false) returns no edge can follow.
        edge();
        schedule.advance(now);
    }
}
