#include "emulator/PulseTimer.h"

#include <algorithm>

PulseTimer::PulseTimer(std::function<void()> e) : edge(std::move(e)), thread([this] { run(); }) {}

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
            return; // a running timer keeps its grid, as a started timer does
        control.enabled = enabled;
        ++control.generation;
    }
    control.changed.notify_all();
}

void PulseTimer::setPeriod(int milliseconds) {
    {
        std::lock_guard lock(control.mutex);
        control.period = std::chrono::milliseconds(std::max(milliseconds, 1));
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
            schedule.restart(DeadlineSchedule::Clock::now(), control.period);
        }
        // steady_clock waits are pthread_cond_clockwait on CLOCK_MONOTONIC: an absolute
        // deadline, woken early only by a change of the settings.
        control.changed.wait_until(lock, schedule.next());
        if (control.stopping || !control.enabled || seen != control.generation)
            continue;
        const auto now = DeadlineSchedule::Clock::now();
        if (now < schedule.next())
            continue; // woken early
        // Under the lock, so that once setEnabled(false) returns no edge can follow.
        edge();
        schedule.advance(now);
    }
}
