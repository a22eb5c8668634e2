// The run loop: what a tick sends, when it is served, and how a slow line stretches the ticks;
// the fault filter on the tick's records; what a record becomes on the line and in the terminal.
#include <gtest/gtest.h>

#include <cmath>

#include "core/engine/EngineRig.h"
#include "engine/FaultFilter.h"
#include "formats/Echo.h"
#include "formats/RecordFaults.h"

namespace {

using namespace std::chrono_literals;
using TimePoint = DeadlineSchedule::TimePoint;
using Writes = std::vector<std::string>;

TEST(RunLoop, WhatOneTickSends) {
    using enum OutputFormat;
    using enum Page;
    // paused, page, a file open, format, course, heading, records sent
    // clang-format off
    const std::tuple<bool, Page, bool, OutputFormat, bool, bool, std::size_t> rows[] = {
        {false, Simulator, false, NmeaV3, true, true, 2},
        {true, Simulator, false, NmeaV3, true, true, 0},
        {false, Simulator, true, NmeaV3, true, false, 1}, // the page decides, not the file
        {false, File, false, NmeaV3, true, true, 0}, {false, File, true, NmeaV3, true, true, 3},
        {false, Simulator, false, NmeaV2, false, false, 0},
        {false, Simulator, false, Aviation, false, false, 1}, // dashes, every tick
    };
    // clang-format on
    for (const auto& [paused, page, fileOpen, format, course, heading, records] : rows) {
        EngineRig rig;
        Emulator& e = rig.e;
        e.simulator().setFormat(format);
        e.simulator().setCourse(course);
        e.simulator().setHeading(heading);
        e.runLoop().setPaused(paused);
        e.runLoop().showPage(page);
        e.replay().setTrigger("");
        if (fileOpen) {
            const std::string file = rig.dir.file("replay.nmea", "$GPRMB,1\n$GPRMC,2\n$GPRMB,3\n");
            ASSERT_TRUE(e.replay().open(file).ok);
        }
        e.runLoop().serve(e.runLoop().nextTick());
        EXPECT_EQ(rig.written().size(), records);
        EXPECT_EQ(rig.terminal.lines.size(), records);
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
        EXPECT_FALSE(loop.setPeriod(0).ok || loop.setPeriod(NAN).ok || loop.setPeriod(INFINITY).ok);
        ASSERT_TRUE(loop.setPeriod(0.25).ok);
        EXPECT_EQ(loop.periodSeconds(), 1.0);
        loop.serve(first + 300ms); // served late: the grid does not move
        EXPECT_EQ(std::pair(loop.periodSeconds(), loop.nextTick()), std::pair(0.25, first + 250ms));
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
    using Ms = std::chrono::milliseconds;
    // period, lateness, deadlines skipped, the next deadline after one advance, from start
    // clang-format off
    const std::tuple<Ms, Ms, int, Ms> rows[] = {
        {1000ms, 999ms, 0, 2000ms}, {1000ms, 1000ms, 0, 2000ms}, {1000ms, 2000ms, 1, 3000ms},
        {2ms, 9ms, 3, 10ms}};
    // clang-format on
    for (const auto& [period, late, skipped, next] : rows) {
        DeadlineSchedule s;
        s.restart(start, period);
        EXPECT_EQ(s.advance(s.next() + late), skipped);
        EXPECT_EQ(s.next(), start + next);
    }
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
    ASSERT_TRUE(e.replay().open(rig.dir.file("replay.nmea", file)).ok);
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

// The added sentences follow $GPRMB and $GPRMC in their fixed order; a moving fix leaves from
// its start and moves on by speed times period each tick (0.1 NM a second east along the
// equator: 0.09993' of arc on the 6371008.8 m sphere).
TEST(RunLoop, AddedSentencesFollowAndTheFixMoves) {
    EngineRig rig;
    Simulator& sim = rig.e.simulator();
    sim.setHeading(true);
    EXPECT_FALSE(sim.setSentences(SentenceSet(1u << SentenceCount)).ok);
    ASSERT_TRUE(sim.setSentences(SentenceBit(Sentence::BOD) | SentenceBit(Sentence::GLL)).ok);
    for (const auto& [lat, lon] : {std::pair(91.0, 0.0), {0.0, -180.5}, {NAN, 0.0}})
        EXPECT_FALSE(sim.setPosition(lat, lon).ok) << lat << ',' << lon;
    EXPECT_FALSE(sim.values().positionSet);
    ASSERT_TRUE(sim.setPosition(0, 0).ok && sim.setTrack(90).ok && sim.setSpeed(360).ok);
    sim.setMoving(true);
    RunLoop& loop = rig.e.runLoop();
    const char* const east[] = {"00000.0000,E", "00000.0999,E", "00000.1999,E"};
    for (const char* lon : east) {
        loop.serve(loop.nextTick());
        const Writes w = rig.written();
        ASSERT_EQ(w.size(), 4u);
        EXPECT_TRUE(w[0].starts_with("$GPRMB,") && w[1].starts_with("$GPRMC,") &&
                    w[2].starts_with("$GPGLL,") && w[3].starts_with("$GPBOD,"));
        EXPECT_EQ(w[2].substr(0, 31), std::string("$GPGLL,0000.0000,N,") + lon) << lon;
    }
}

// With live time the ticks fall on whole UTC seconds (or multiples of the period) and carry
// them; each is served LiveLead early and its records held until the second; a clock step of
// more than a tick puts the next tick on the new grid at once.
TEST(RunLoop, LiveTimeKeepsToTheUtcSecond) {
    EngineRig rig;
    rig.e.simulator().setCourse(false);
    rig.e.simulator().setHeading(true);
    FaultSettings live;
    live.liveTime = true;
    rig.e.setFaults(live);
    RunLoop& loop = rig.e.runLoop();
    // In the past, so that the writer's holds are over when the test reads the line.
    loop.start(RunLoop::Clock::now() - 20s);
    const TimePoint t0 = loop.nextTick();
    const RunLoop::UtcTime utc0{1767778205070ms}; // 2026-01-07 09:30:05.070 at t0
    std::chrono::nanoseconds step{};
    TimePoint now = t0;
    loop.setUtcClock([&] { return utc0 + (now - t0) + step; });
    static_assert(RunLoop::LiveLead == 5ms);
    using Ms = std::chrono::milliseconds;
    // when served (from t0), the clock's step from then on, the time field sent (none: no
    // tick), the next deadline (from t0)
    const std::tuple<Ms, Ms, const char*, Ms> rows[] = {
        {0ms, 0ms, nullptr, 925ms},             // live time just on: waits for the second
        {924ms, 0ms, nullptr, 925ms},           // woken early
        {926ms, 0ms, "093006.00", 1925ms},      // 4 ms before its second
        {1925ms, 5500ms, "093012.00", 2425ms},  // 5.5 s forward: no burst
        {2425ms, -4500ms, "093003.00", 3425ms}, // 10 s back, just before 3 s: no wait
        {3425ms, -4500ms, "093004.00", 4425ms},
    };
    for (const auto& [at, newStep, time, next] : rows) {
        now = t0 + at;
        step = newStep;
        loop.serve(now);
        const Writes w = rig.written();
        SCOPED_TRACE(at.count());
        if (time) {
            ASSERT_EQ(w.size(), 1u);
            EXPECT_EQ(w[0].substr(7, 9), time);
        } else {
            EXPECT_TRUE(w.empty());
        }
        EXPECT_EQ(loop.nextTick(), t0 + next);
    }
    // A quarter-second period: the ticks fall on quarters and say so.
    ASSERT_TRUE(loop.setPeriod(0.25).ok);
    for (const char* time : {"093005.00", "093005.25", "093005.50"}) {
        now = loop.nextTick();
        loop.serve(now);
        const Writes w = rig.written();
        ASSERT_EQ(w.size(), 1u);
        EXPECT_EQ(w[0].substr(7, 9), time);
    }
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

const std::string Rmb = "$GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*40";
const std::string Rmc = "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*2F";
const std::string Avi = "\x02"
                        "AN 99 3456\rBW 444 4322\rC000\rD150\rE00003\rGL0125\rI3333\r\x03";

// What leaves the filter: "|" between records, "~" for a 10 ms gap, "#" before a counted one.
// The pieces handed to it are written the same way.
struct Recorder : FaultOutput {
    std::string seen;
    void pass(std::string_view bytes, bool counted) override {
        seen += std::string(seen.empty() ? "" : "|") + (counted ? "#" : "") + std::string(bytes);
    }
    void passWait() override { seen += seen.empty() ? "~" : "|~"; }
};

using Tick = std::vector<std::string>;

FaultSettings faults(const std::vector<const char*>& words) {
    FaultSettings s;
    for (const char* w : words)
        EXPECT_EQ(AddFault(w, s), "") << w;
    return s;
}

// Runs ticks one second apart; the UTC clock reads 2026-01-07 09:30:05.07 at the first.
std::string run(const FaultSettings& settings, OutputFormat format,
                const std::vector<Tick>& ticks) {
    FaultFilter filter;
    filter.configure(settings);
    Recorder out;
    const FaultFilter::SteadyTime t0{};
    const FaultFilter::UtcTime utc0{1767778205070ms};
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        filter.beginTick(format, t0 + i * 1s, utc0 + i * 1s);
        for (const std::string& p : ticks[i]) {
            const bool counted = p.starts_with('#');
            if (p == "~")
                filter.engaged() ? filter.wait(out) : out.passWait();
            else if (filter.engaged())
                filter.record(p.substr(counted), counted, out);
            else
                out.pass(p.substr(counted), counted);
        }
        filter.endTick(out);
    }
    return out.seen;
}

// One row per fault; records without a checksum or of other types lose only what they have;
// garbage leaves before the first record of every Nth tick, as a counted record.
TEST(FaultFilter, NmeaRecordsOneRowPerFault) {
    const std::string rmbBad = Rmb.substr(0, Rmb.size() - 2) + "BF";
    const std::string rmbV = "$GPRMB,V,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*57";
    const std::string rmcV = "$GPRMC,115622.34,V,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*38";
    const std::string rmcNow = "$GPRMC,093005.07,A,37.45,N,122.67,W,150.0,000.0,070126,7.0,E,A*2B";
    const std::string rmcNowV = "$GPRMC,093005.07,V,37.45,N,122.67,W,150.0,000.0,070126,7.0,E,A*C3";
    const std::string rmcLater =
        "$GPRMC,093006.07,A,37.45,N,122.67,W,150.0,000.0,070126,7.0,E,A*28";
    const Tick t{Rmb, Rmc}, other{"$GNRMC,1,A,x", "$GPGGA,1,2*00", "hello"};
    const std::string two = Rmb + "|" + Rmc;
    // the words, live time, the ticks, what leaves
    // clang-format off
    const std::tuple<std::vector<const char*>, bool, std::vector<Tick>, std::string> rows[] = {
        {{"checksum:3"}, false, {t, t}, two + "|" + rmbBad + "|" + Rmc},
        {{"drop:2"}, false, {t, t}, Rmb + "|" + Rmb},
        {{"invalid"}, false, {t}, rmbV + "|" + rmcV},
        {{"repeat:3"}, false, {t}, Rmb + "|" + Rmb + "|" + Rmb + "|" + Rmc + "|" + Rmc + "|" + Rmc},
        {{"cut:10"}, false, {t}, "$GPRMB,A,1|$GPRMC,115"},
        // Seconds 0 and 2 of each 2 s period send; second 1 and 3 are silent.
        {{"silence:1/2"}, false, {t, t, t, t}, two + "|" + two},
        {{}, true, {t, t}, Rmb + "|" + rmcNow + "|" + Rmb + "|" + rmcLater},
        {{"invalid", "checksum:2"}, true, {t}, rmbV + "|" + rmcNowV},
        {{"invalid", "checksum:1"}, false, {other}, "$GNRMC,1,V,x|$GPGGA,1,2*AA|hello"},
        {{"garbage:2"}, false, {t, t, {}, Tick{Rmb}},
         two + "|#" + GarbageLine(2) + "|" + two + "|#" + GarbageLine(4) + "|" + Rmb},
    };
    // clang-format on
    for (const auto& [words, liveTime, ticks, expected] : rows) {
        FaultSettings s = faults(words);
        s.liveTime = liveTime;
        SCOPED_TRACE(testing::PrintToString(words));
        EXPECT_EQ(run(s, OutputFormat::NmeaV3, ticks), expected);
    }
}

TEST(FaultFilter, AviationRecordsWholeAndInPieces) {
    // A replayed record: STX, lines with their CR, gaps between lines, ETX, then a lone CR.
    const Tick pieces{"#\x02", "#AN 99\r", "~", "#GL0125\r", "#\x03", "#\r"};
    const Tick whole{Avi}, head(pieces.begin(), pieces.begin() + 2),
        tail(pieces.begin() + 2, pieces.end());
    // clang-format off
    const std::tuple<std::vector<const char*>, std::vector<Tick>, std::string> rows[] = {
        {{"no-etx"}, {whole}, Avi.substr(0, Avi.size() - 1)},
        {{"field:G"}, {whole}, Avi.substr(0, 41) + "G?????\rI3333\r\x03"},
        {{"cut:5"}, {whole}, "\x02" "AN 9"},
        {{"repeat:2"}, {whole}, Avi + "|" + Avi},
        {{"checksum:1", "invalid"}, {whole}, Avi},
        {{"no-etx", "field:A"}, {pieces}, "#\x02|#A????\r|~|#GL0125\r|#\r"},
        {{"cut:3"}, {pieces}, "#\x02|#AN|~|#\r"},
        {{"drop:2"}, {pieces, pieces}, "#\x02|#AN 99\r|~|#GL0125\r|#\x03|#\r|~|#\r"},
        // A held record leaves its copies at the ETX, its gaps once.
        {{"repeat:2"}, {pieces},
         "#\x02|#AN 99\r|~|#GL0125\r|#\x03|#\x02|#AN 99\r|#GL0125\r|#\x03|#\r"},
        // Split by the end of a tick: what was held leaves once, the rest streams.
        {{"repeat:2"}, {head, tail}, "#\x02|#AN 99\r|~|#GL0125\r|#\x03|#\r"},
    };
    // clang-format on
    for (const auto& [words, ticks, expected] : rows) {
        SCOPED_TRACE(testing::PrintToString(words));
        EXPECT_EQ(run(faults(words), OutputFormat::Aviation, ticks), expected);
    }
}

// Words the other rows do not use; fuzz_cli reads every set of words back.
TEST(FaultFilter, FaultWordsParseAndReadBack) {
    const std::pair<const char*, const char*> rows[] = {
        {"silence:2.5/10", ""},
        {"field:G", ""},
        {"checksum:0", "checksum needs a whole number of 1 or more, as in checksum:3"},
        {"repeat:1", "repeat needs a whole number of 2 or more, as in repeat:4"},
        {"drop:3x", "drop needs a whole number of 1 or more, as in drop:3"},
        {"invalid:2", "invalid takes no value"},
        {"silence:10/10", "silence needs S/M seconds with 0 < S < M <= 86400, as in silence:5/30"},
        {"field:g", "field needs one capital field letter, as in field:G"},
        {"noise", "unknown fault 'noise'; one of checksum:N, drop:N, invalid, garbage:N, "
                  "repeat:N, cut:K, silence:S/M, no-etx, field:L"},
    };
    for (const auto& [text, error] : rows) {
        FaultSettings s;
        EXPECT_EQ(AddFault(text, s), error) << text;
        EXPECT_EQ(s.anyFault(), !*error) << text;
        EXPECT_EQ(FaultWords(s),
                  *error ? std::vector<std::string>{} : std::vector<std::string>{text});
    }
}

// Through the tick: the terminal shows what the line got, and the coupler's sentences, before
// a tick or after it, are left alone.
TEST(FaultFilter, OnlyTheTicksRecordsAndTheEchoShowsThem) {
    EngineRig rig;
    rig.e.setFaults(faults({"cut:6", "garbage:1", "checksum:1"}));
    rig.e.simulator().setSentences(SentenceBit(Sentence::GGA));
    rig.e.coupler().sendCourseGain(3);
    rig.e.simulator().setFormat(OutputFormat::NmeaV2);
    rig.e.writer().flush(); // else the tick waits for the line
    rig.e.runLoop().serve(rig.e.runLoop().nextTick());
    rig.e.coupler().sendCourseGain(3);
    const std::vector<std::string> expected{"$PZGAN3,*5D\r\n", GarbageLine(1) + "\r\n",
                                            "$GPRMB\r\n", "$GPGGA\r\n", "$PZGAN3,*5D\r\n"};
    EXPECT_EQ(rig.written(), expected);
    EXPECT_EQ(rig.terminal.lines, (std::vector<std::string>{"$PZGAN3,*5D", EchoText(GarbageLine(1)),
                                                            "$GPRMB", "$GPGGA", "$PZGAN3,*5D"}));
}

// Each record leaves as one write with its line end, as the format has it at that moment; the
// terminal gets the echo.
TEST(TransmitLine, WritesEchoesAndEndsLines) {
    using enum OutputFormat;
    std::string ones;
    for (int i = 0; i < 30; ++i)
        ones += "\\x01";
    // format, record, count, what the line gets, the echo
    // clang-format off
    const std::tuple<OutputFormat, std::string, int, Writes, std::string> rows[] = {
        {NmeaV3, "$GPRMC,X*00", 0, {"$GPRMC,X*00\r\n"}, "$GPRMC,X*00"},
        {NmeaV2, "", 0, {"\r\n"}, ""},
        {Aviation, "", 0, {}, ""},
        {Aviation, "AB\r", 3, {"AB\r"}, "AB"},
        {Aviation, "a\nb", 3, {"a\nb"}, "ab"},
        {Aviation, std::string("\0", 1), 1, {std::string("\0", 1)}, "\\x00"},
        {Aviation, std::string(30, '\x01'), 30, {std::string(30, '\x01')}, ones},
    };
    // clang-format on
    for (const auto& [format, record, count, wire, echo] : rows) {
        EngineRig rig;
        rig.e.simulator().setFormat(format);
        rig.e.output().TransmitLine(record.data(), count);
        EXPECT_EQ(rig.written(), wire);
        EXPECT_EQ(rig.terminal.lines, std::vector<std::string>{echo});
    }
}

// The terminal keeps at most VisibleLines lines, the newest last; with no port the record is
// still echoed.
TEST(TransmitLine, TrimsBeforeAppendingAndEchoesWithoutAPort) {
    const std::tuple<int, int, int> rows[] = {
        {38, 38, 38}, {37, 38, 38}, {42, 10, 10}, {5, 0, 1}, {0, 0, 1}};
    for (const auto& [present, visible, after] : rows) {
        EngineRig rig;
        rig.e.terminal().VisibleLines = static_cast<std::uint16_t>(visible);
        for (int i = 0; i < present; ++i)
            rig.terminal.lines.push_back("old" + std::to_string(i));
        rig.e.link().UsePort(InvalidPort);
        rig.e.output().TransmitLine("new", 0);
        ASSERT_EQ(static_cast<int>(rig.terminal.lines.size()), after);
        EXPECT_EQ(rig.terminal.lines.back(), "new");
        if (after > 1) {
            EXPECT_EQ(rig.terminal.lines.front(), "old" + std::to_string(present - after + 1));
        }
        EXPECT_TRUE(rig.written().empty());
    }
}

} // namespace
