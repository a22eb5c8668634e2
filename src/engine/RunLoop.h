#pragma once
#include <cstdint>
#include <functional>
#include <optional>

#include "engine/CommandResult.h"
#include "line/DeadlineSchedule.h"

class FaultFilter;
class LineWriter;
class Replay;
class SerialLink;
class Simulator;
class Transmitter;

// Which page of the main window is showing: it decides what a tick sends.
enum class Page { Simulator = 0, File = 1 };

// Timer1 and the tick it serves. Deadlines sit on a fixed grid, so late service does not add
// up to drift. A tick is served only once the line has taken every record handed over before
// it: a line slower than the ticks stretches them, and nothing is dropped for it. A front end
// calls serve() at the time it returns, or sooner when the line writer says it has drained.
class RunLoop {
public:
    using Clock = DeadlineSchedule::Clock;
    using TimePoint = DeadlineSchedule::TimePoint;
    // The number of ticks served before this one (before), or with it (after).
    using TickHook = std::function<void(std::uint64_t)>;
    using UtcTime = std::chrono::system_clock::time_point;
    using UtcClock = std::function<UtcTime()>;
    // How soon to look again while the line is behind, should no drained call come.
    static constexpr std::chrono::milliseconds LineCheck{50};
    // With live time a tick is served this much before its grid point (at most a quarter of
    // the period), and its records are held back until the grid point.
    static constexpr std::chrono::milliseconds LiveLead{5};

    RunLoop(Simulator& simulator, Replay& replay, Transmitter& output, FaultFilter& faults,
            LineWriter& writer, const SerialLink& link);

    // The first tick comes one period after `now`, in the period asked for if one is pending.
    void start(TimePoint now);
    // Serves the tick when it is due and the line is free; returns when to call again.
    TimePoint serve(TimePoint now);
    // The tick itself: a pending period, then unless paused the Simulator page's records or,
    // on the File page with a file open, the next group of the replay.
    void Timer1Timer(TimePoint now = Clock::now());

    void setPaused(bool on) { paused = on; }
    bool isPaused() const { return paused; }
    void showPage(Page page) { showing = page; }
    Page page() const { return showing; }
    // Seconds from 0.001 to 100, fractions kept; it takes effect at the next tick and counts
    // from that tick's deadline.
    CommandResult setPeriod(double seconds);
    // The period in effect, in seconds.
    double periodSeconds() const;
    // The last tick's bytes against what the line's rate carries in a period; -1 before any.
    int loadPercent() const { return load; }
    std::uint64_t ticksServed() const { return served; }
    TimePoint nextTick() const { return schedule.next(); }
    bool started() const { return running; }
    // Hooks a front end runs around every tick (ramps, read-outs); either may be empty.
    void onTick(TickHook before, TickHook after);
    // The wall clock live time reads; tests put their own in.
    void setUtcClock(UtcClock clock) { utcNow = std::move(clock); }

private:
    Simulator& simulator;
    Replay& replay;
    Transmitter& output;
    FaultFilter& faults;
    LineWriter& writer;
    const SerialLink& link;
    DeadlineSchedule schedule;
    bool running = false;
    bool paused = false;
    Page showing = Page::Simulator;
    bool intervalPending = false;
    Clock::duration pendingPeriod{};
    bool held = false; // the due tick waits for the line
    int load = -1;
    std::uint64_t served = 0;
    TickHook before, after;
    UtcClock utcNow = [] { return std::chrono::system_clock::now(); };
    // With live time the ticks fall on whole multiples of the period in UTC.
    bool onUtcGrid = false;
    UtcTime gridNext{}; // the UTC instant the next tick belongs to
    std::optional<TimePoint> pacedDue;

    // The UTC instant the due tick belongs to, or nothing while it is not yet due there.
    std::optional<UtcTime> liveTick(TimePoint now, UtcTime utc, TimePoint& wait);
    Clock::duration gridPeriod() const {
        return intervalPending ? pendingPeriod : schedule.interval();
    }
    void followUtcGrid(TimePoint now, UtcTime utc, UtcTime stamp);
};
