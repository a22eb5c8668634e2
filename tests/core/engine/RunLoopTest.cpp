// The run loop: what a tick sends, when it is served, and how a slow line stretches the ticks.
#include <gtest/gtest.h>

#include <fstream>

#include "core/engine/EngineRig.h"

namespace {

using namespace std::chrono_literals;
using TimePoint = DeadlineSchedule::TimePoint;

std::string writeFile(const TempDir& dir, const std::string& text) {
    const auto path = dir.path / "replay.nmea";
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

TEST(RunLoop, WhatOneTickSends) {
    using enum OutputFormat;
    struct Row {
        bool paused;
        Page page;
        bool fileOpen;
        OutputFormat format;
        bool course, heading;
        std::size_t records;
    };
    const Row rows[] = {
        {false, Page::Simulator, false, NmeaV3, true, true, 2},
        {true, Page::Simulator, false, NmeaV3, true, true, 0},
        {false, Page::Simulator, true, NmeaV3, true, false, 1}, // the page decides, not the file
        {false, Page::File, false, NmeaV3, true, true, 0},
        {false, Page::File, true, NmeaV3, true, true, 3},
        {true, Page::File, true, NmeaV3, true, true, 0},
        {false, Page::Simulator, false, NmeaV2, false, false, 0},
        {false, Page::Simulator, false, Aviation, false, false, 1}, // dashes, every tick
    };
    for (const Row& r : rows) {
        EngineRig rig;
        Emulator& e = rig.e;
        e.simulator().setFormat(r.format);
        e.simulator().setCourse(r.course);
        e.simulator().setHeading(r.heading);
        e.runLoop().setPaused(r.paused);
        e.runLoop().showPage(r.page);
        e.replay().setTrigger("");
        if (r.fileOpen) {
            ASSERT_TRUE(e.replay().open(writeFile(rig.dir, "$GPRMB,1\n$GPRMC,2\n$GPRMB,3\n")).ok);
        }
        e.runLoop().serve(e.runLoop().nextTick());
        EXPECT_EQ(rig.written().size(), r.records);
        EXPECT_EQ(rig.terminal.lines.size(), r.records);
    }
}

// A new period counts from the deadline of the tick that applied it, paused or not; the
// load figure counts in the period asked for, fractions included.
TEST(RunLoop, PeriodChangesAtTheNextTickOnItsGrid) {
    for (const bool paused : {false, true}) {
        EngineRig rig;
        rig.e.simulator().setHeading(true);
        RunLoop& loop = rig.e.runLoop();
        const TimePoint first = loop.nextTick();
        loop.setPaused(paused);
        EXPECT_FALSE(loop.setPeriod(0).ok);
        ASSERT_TRUE(loop.setPeriod(0.25).ok);
        EXPECT_EQ(loop.periodSeconds(), 1.0);
        loop.serve(first + 300ms); // served late: the grid does not move
        EXPECT_EQ(loop.periodSeconds(), 0.25);
        EXPECT_EQ(loop.nextTick(), first + 250ms);
        rig.e.writer().flush(); // the line has taken the records before
        loop.serve(loop.nextTick());
        EXPECT_EQ(loop.nextTick(), first + 500ms);
        // RMB and RMC, 134 bytes, against 4800 baud for a quarter second: 112 %.
        EXPECT_EQ(loop.loadPercent(), paused ? 0 : 112);
    }
}

// Deadlines stay on their grid however late each wake-up is; a wake-up later than a whole
// period skips the deadlines it missed instead of serving them in a burst.
TEST(DeadlineSchedule, LatenessDoesNotAddUp) {
    const TimePoint start{};
    struct Row {
        std::chrono::milliseconds period, late;
        int skipped;
        std::chrono::milliseconds next; // after one advance, from start
    };
    const Row rows[] = {
        {1000ms, 0ms, 0, 2000ms},    {1000ms, 999ms, 0, 2000ms}, {1000ms, 1000ms, 0, 2000ms},
        {1000ms, 2000ms, 1, 3000ms}, {2ms, 9ms, 3, 10ms},
    };
    for (const Row& r : rows) {
        DeadlineSchedule s;
        s.restart(start, r.period);
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

// A line slower than the ticks: a tick waits until the records before it have left, then goes
// at once; the next one keeps to the grid. Every record arrives, in the file's order.
TEST(RunLoop, SlowLineStretchesTheTicksAndDropsNothing) {
    EngineRigOn<GatedDevice> rig;
    Emulator& e = rig.e;
    std::string file;
    std::vector<std::string> lines;
    for (int i = 1; i <= 12; ++i) {
        lines.push_back("$GPRMB," + std::to_string(i) + "\r\n");
        file += lines.back().substr(0, lines.back().size() - 2) + "\n";
    }
    e.runLoop().showPage(Page::File);
    e.replay().setTrigger("");
    e.replay().setRecordsPerTick(5);
    ASSERT_TRUE(e.replay().open(writeFile(rig.dir, file)).ok);
    RunLoop& loop = e.runLoop();
    const TimePoint t1 = loop.nextTick();
    loop.serve(t1);
    EXPECT_EQ(loop.ticksServed(), 1u);
    EXPECT_EQ(loop.serve(t1 + 1s), t1 + 1s + RunLoop::LineCheck); // held for the line
    loop.serve(t1 + 3500ms);
    EXPECT_EQ(loop.ticksServed(), 1u);
    rig.device.allow(5);
    e.writer().flush();
    loop.serve(t1 + 3600ms);
    EXPECT_EQ(loop.ticksServed(), 2u);
    EXPECT_EQ(loop.nextTick(), t1 + 4s); // no burst of the ticks it waited through
    rig.device.release();
    e.writer().flush();
    loop.serve(t1 + 4s);
    EXPECT_EQ(rig.written(), lines);
    EXPECT_FALSE(e.replay().isOpen());
    EXPECT_EQ(e.writer().counters().recordsDropped.load(), 0u);
}

// An unplugged line is tried again from the run loop until it is back.
TEST(RunLoop, LostLineIsOpenedAgain) {
    struct Unplugged : FakeSerialDevice {
        bool lost(PortHandle) const override { return gone; }
        bool reopen(PortHandle) override { return !(gone = false); }
        std::atomic<bool> gone{false};
    };
    EngineRigOn<Unplugged> rig;
    rig.device.gone = true;
    EXPECT_TRUE(rig.e.lineLost());
    EXPECT_NE(StatusTexts(rig.e.lineStatus()).port.find(" lost"), std::string::npos);
    rig.e.serve(rig.e.runLoop().nextTick());
    rig.e.writer().flush();
    EXPECT_FALSE(rig.e.lineLost());
}

} // namespace
