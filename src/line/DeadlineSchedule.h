#pragma once
#include <chrono>

// Deadlines on a fixed grid, start + k * period, on the monotonic clock. A late wake-up does
// not move the grid, so lateness never adds up; a deadline a whole period or more behind is
// skipped rather than served in a burst.
class DeadlineSchedule {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;
    using Duration = Clock::duration;

    // A new grid: the first deadline is one period after `from`.
    void restart(TimePoint from, Duration newPeriod) {
        period = newPeriod;
        deadline = from + newPeriod;
    }
    TimePoint next() const { return deadline; }
    Duration interval() const { return period; }
    // The deadline next() was served at `now`: moves on to the following one, skipping those
    // a whole period or more behind `now`. Returns how many were skipped.
    int advance(TimePoint now) {
        deadline += period;
        int skipped = 0;
        while (period.count() > 0 && deadline + period <= now) {
            deadline += period;
            ++skipped;
        }
        return skipped;
    }

    // The first deadline after `now` becomes the next: a tick that had to wait is not followed
    // by the ones it waited through.
    void skipPast(TimePoint now) {
        while (period.count() > 0 && deadline <= now)
            deadline += period;
    }

private:
    Duration period{std::chrono::seconds(1)};
    TimePoint deadline{};
};
