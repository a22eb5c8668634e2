#include <gtest/gtest.h>

#include "core/Fakes.h"
#include "emulator/OutputTick.h"
#include "emulator/PageControls.h"
#include "serial/TransmitLine.h"

namespace {

using namespace std::chrono_literals;
using TimePoint = DeadlineSchedule::TimePoint;

class FakeTickWindow : public PageControls {
public:
    int currentPage() const override { return page; }
    int pauseSecondsPosition() const override { return seconds; }
    int recordsPerTickPosition() const override { return 25; }
    void setPauseChecked(bool) override {}
    int seconds = 1;
    int page = 0;
};

class CountingPlayback : public PlaybackTicker {
public:
    void PlaybackTick() override { ++ticks; }
    int ticks = 0;
};

struct Rig {
    EmulatorState state;
    FakeSink sink;
    FakeTerminal term;
    TerminalLog log{&term};
    Transmitter tx{state, sink, log};
    FakeTickWindow window;
    CountingPlayback playback;
    OutputTick tick{state, window, tx};
    Rig() {
        state.headingOn = true;
        state.portHandle = 1;
        tick.setPlayback(&playback);
    }
};

TEST(OutputTick, WhatOneTickDoes) {
    struct Row {
        const char* name;
        bool paused;
        int page;
        bool fileOpen;
        OutputFormat format;
        bool course, heading;
        std::size_t lines;
        int playbackTicks;
    };
    const Row rows[] = {
        {"simulator nmea", false, 0, false, OutputFormat::NmeaV3, true, true, 2, 0},
        {"paused", true, 0, false, OutputFormat::NmeaV3, true, true, 0, 0},
        {"simulator ignores open file", false, 0, true, OutputFormat::NmeaV3, true, true, 2, 0},
        {"file page no file", false, 1, false, OutputFormat::NmeaV3, true, true, 0, 0},
        {"file page with file", false, 1, true, OutputFormat::NmeaV3, true, true, 0, 1},
        {"file page paused", true, 1, true, OutputFormat::NmeaV3, true, true, 0, 0},
        {"nmea both flags clear", false, 0, false, OutputFormat::NmeaV2, false, false, 0, 0},
        {"aviation both flags clear", false, 0, false, OutputFormat::Aviation, false, false, 1, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Rig rig;
        rig.state.paused = r.paused;
        rig.window.page = r.page;
        rig.state.fileOpen = r.fileOpen;
        rig.state.format = r.format;
        rig.state.courseOn = r.course;
        rig.state.headingOn = r.heading;
        rig.tick.Timer1Timer();
        EXPECT_EQ(rig.term.lines.size(), r.lines);
        EXPECT_EQ(rig.playback.ticks, r.playbackTicks);
        EXPECT_EQ(rig.tick.periodMilliseconds(), 1000);
    }
}

// The new period counts from the deadline of the tick that applied it, paused or not.
TEST(OutputTick, PendingPeriodAppliedEvenWhilePaused) {
    for (bool paused : {false, true}) {
        Rig rig;
        const TimePoint start = DeadlineSchedule::Clock::now();
        rig.tick.start(start);
        rig.state.paused = paused;
        rig.state.intervalPending = true;
        rig.window.seconds = 30;
        rig.tick.Timer1Timer();
        EXPECT_EQ(rig.tick.periodMilliseconds(), 30000);
        EXPECT_EQ(rig.tick.next(), start + 31s);
        EXPECT_FALSE(rig.state.intervalPending);
        rig.tick.Timer1Timer();
        EXPECT_EQ(rig.tick.next(), start + 61s);
    }
}

// Deadlines stay on their grid however late each wake-up is; a wake-up later than a whole
// period skips the deadlines it missed instead of serving them in a burst.
TEST(DeadlineSchedule, LatenessDoesNotAddUp) {
    const TimePoint start{};
    struct Row {
        const char* name;
        std::chrono::milliseconds period, late;
        int skipped;
        std::chrono::milliseconds next; // after one advance, from start
    };
    const Row rows[] = {
        {"on time", 1000ms, 0ms, 0, 2000ms},
        {"late within the period", 1000ms, 999ms, 0, 2000ms},
        {"a whole period late", 1000ms, 1000ms, 0, 2000ms},
        {"two periods late", 1000ms, 2000ms, 1, 3000ms},
        {"several periods late", 2ms, 9ms, 3, 10ms},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        DeadlineSchedule s;
        s.restart(start, r.period);
        EXPECT_EQ(s.next(), start + r.period);
        EXPECT_EQ(s.advance(s.next() + r.late), r.skipped);
        EXPECT_EQ(s.next(), start + r.next);
    }
    // An hour of one-second ticks, each run up to 0.9 s late: the last is due on the second.
    DeadlineSchedule hour;
    hour.restart(start, 1s);
    for (int k = 1; k < 3600; ++k)
        hour.advance(hour.next() + std::chrono::milliseconds(k * 37 % 900));
    EXPECT_EQ(hour.next(), start + 3600s);
}

} // namespace
