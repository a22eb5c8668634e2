#include "engine/RunLoop.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

#include "engine/FaultFilter.h"
#include "engine/Replay.h"
#include "engine/Simulator.h"
#include "engine/TransmitLine.h"
#include "line/LineWriter.h"
#include "line/SerialLink.h"

RunLoop::RunLoop(Simulator& s, Replay& r, Transmitter& o, FaultFilter& f, LineWriter& w,
                 const SerialLink& l)
    : simulator(s), replay(r), output(o), faults(f), writer(w), link(l) {}

void RunLoop::start(TimePoint now) {
    Clock::duration period = schedule.interval();
    if (intervalPending) {
        period = pendingPeriod;
        intervalPending = false;
    }
    schedule.restart(now, period);
    running = true;
}

CommandResult RunLoop::setPeriod(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0.001 || seconds > 100.0)
        return CommandResult::Refused("The period must be 0.001 to 100 seconds");
    pendingPeriod =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    intervalPending = true;
    return {};
}

double RunLoop::periodSeconds() const {
    return std::chrono::duration<double>(schedule.interval()).count();
}

void RunLoop::onTick(TickHook b, TickHook a) {
    before = std::move(b);
    after = std::move(a);
}

RunLoop::TimePoint RunLoop::serve(TimePoint now) {
    if (!running || now < schedule.next())
        return schedule.next();
    // The records of the ticks before leave first; then this tick, at once.
    if (writer.recordsWaiting()) {
        held = true;
        return now + LineCheck;
    }
    const UtcTime utc = utcNow();
    std::optional<UtcTime> stamp;
    // A paced replay keeps its own time; live time still stamps its records.
    const bool pacedReplay = showing == Page::File && replay.isOpen() && replay.paced();
    if (faults.settings().liveTime && !pacedReplay) {
        TimePoint wait{};
        stamp = liveTick(now, utc, wait);
        if (!stamp)
            return wait;
        // Served a little before its second: the records wait on the writer's thread, and
        // leave as that second begins.
        if (*stamp > utc)
            writer.holdUntil(now + std::chrono::duration_cast<Clock::duration>(*stamp - utc));
    } else {
        onUtcGrid = false;
    }
    if (before)
        before(served);
    const std::uint64_t bytesBefore = output.bytesHandedOver();
    faults.beginTick(simulator.values().format, now, stamp.value_or(utc));
    simulator.setFixTime(stamp);
    Timer1Timer(now);
    if (std::exchange(held, false))
        schedule.skipPast(now);
    if (stamp)
        followUtcGrid(now, utc, *stamp);
    if (pacedDue) {
        // A paced replay's next tick is when its next record is due, not the period's grid.
        schedule.restart(*pacedDue - schedule.interval(), schedule.interval());
        pacedDue.reset();
    }
    output.endTick();
    const double bytes = static_cast<double>(output.bytesHandedOver() - bytesBefore);
    // Eight data bits, no parity and one stop bit: ten bits a byte.
    const double carried = static_cast<double>(link.baudRate()) / 10.0 * periodSeconds();
    load = carried > 0 ? static_cast<int>(std::lround(bytes * 100.0 / carried)) : -1;
    ++served;
    if (after)
        after(served);
    return schedule.next();
}

void RunLoop::Timer1Timer(TimePoint now) {
    if (intervalPending) {
        // The new period counts from this tick's own deadline, not from when it ran.
        schedule.restart(schedule.next(), pendingPeriod);
        intervalPending = false;
    } else {
        schedule.advance(now);
    }
    if (paused)
        return;
    if (showing == Page::Simulator) {
        simulator.sendRecords(output);
        simulator.advance(periodSeconds());
    } else if (replay.isOpen() && replay.paced()) {
        pacedDue = replay.pacedTick(now);
    } else if (replay.isOpen()) {
        replay.PlaybackTick();
    }
}

namespace {
using UtcTime = RunLoop::UtcTime;

// The last multiple of `period` since the epoch at or before `t`.
UtcTime gridFloor(UtcTime t, std::chrono::nanoseconds period) {
    const auto since = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch());
    auto rest = since % period;
    if (rest.count() < 0)
        rest += period;
    return t - std::chrono::duration_cast<UtcTime::duration>(rest);
}
} // namespace

std::optional<RunLoop::UtcTime> RunLoop::liveTick(TimePoint now, UtcTime utc, TimePoint& wait) {
    using std::chrono::nanoseconds;
    const auto period = std::chrono::duration_cast<nanoseconds>(gridPeriod());
    const nanoseconds lead = std::min<nanoseconds>(LiveLead, period / 4);
    if (!onUtcGrid) {
        // Live time just came on: the first tick waits for the next grid point.
        onUtcGrid = true;
        gridNext = gridFloor(utc, period) + period;
        wait = now + std::chrono::duration_cast<Clock::duration>(gridNext - utc - lead);
        schedule.restart(wait - gridPeriod(), gridPeriod());
        return std::nullopt;
    }
    const nanoseconds ahead = gridNext - utc; // how long before its grid point this is
    if (ahead > lead && ahead <= period) {
        // Woken sooner than planned, or the clock stepped back by less than a tick.
        wait = now + std::chrono::duration_cast<Clock::duration>(ahead - lead);
        return std::nullopt;
    }
    if (ahead > -period && ahead <= lead)
        return gridNext; // on time, or a little late
    // A clock step of more than a tick: the tick belongs to the grid point it is at (or just
    // before), so a step neither bursts nor waits.
    return gridFloor(utc + lead, period);
}

void RunLoop::followUtcGrid(TimePoint now, UtcTime utc, UtcTime stamp) {
    using std::chrono::nanoseconds;
    const auto period = std::chrono::duration_cast<nanoseconds>(schedule.interval());
    const nanoseconds lead = std::min<nanoseconds>(LiveLead, period / 4);
    gridNext = gridFloor(stamp, period) + period;
    const TimePoint deadline =
        now + std::chrono::duration_cast<Clock::duration>(gridNext - utc - lead);
    schedule.restart(deadline - schedule.interval(), schedule.interval());
}
