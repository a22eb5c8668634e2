#include <gtest/gtest.h>

#include <chrono>

#include "core/engine/EngineRig.h"
#include "engine/FaultFilter.h"
#include "formats/Echo.h"
#include "formats/RecordFaults.h"

namespace {

using namespace std::chrono_literals;

const std::string Rmb = "$GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*40";
const std::string Rmc = "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*2F";
const std::string Avi = "\x02"
                        "AN 99 3456\rBW 444 4322\rC000\rD150\rE00003\rGL0125\rI3333\r\x03";

// What leaves the filter: "|" between records, "~" for a 10 ms gap, "#" before a counted one.
struct Recorder : FaultOutput {
    std::string seen;
    void pass(std::string_view bytes, bool counted) override {
        seen += std::string(seen.empty() ? "" : "|") + (counted ? "#" : "") + std::string(bytes);
    }
    void passWait() override { seen += seen.empty() ? "~" : "|~"; }
};

struct Piece {
    std::string bytes;
    bool counted = false;
    bool wait = false;
};
using Tick = std::vector<Piece>;

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
        for (const Piece& p : ticks[i]) {
            if (p.wait)
                filter.engaged() ? filter.wait(out) : out.passWait();
            else if (filter.engaged())
                filter.record(p.bytes, p.counted, out);
            else
                out.pass(p.bytes, p.counted);
        }
        filter.endTick(out);
    }
    return out.seen;
}

TEST(FaultFilter, NmeaRecordsOneRowPerFault) {
    struct Row {
        std::vector<const char*> words;
        bool liveTime;
        int ticks;
        std::string expected;
    };
    const std::string rmbBad = Rmb.substr(0, Rmb.size() - 2) + "BF";
    const std::string rmcBad = Rmc.substr(0, Rmc.size() - 2) + "D0";
    const std::string rmbV = "$GPRMB,V,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*57";
    const std::string rmcV = "$GPRMC,115622.34,V,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*38";
    const std::string rmcNow = "$GPRMC,093005.07,A,37.45,N,122.67,W,150.0,000.0,070126,7.0,E,A*2B";
    const std::string rmcLater =
        "$GPRMC,093006.07,A,37.45,N,122.67,W,150.0,000.0,070126,7.0,E,A*28";
    const std::string two = Rmb + "|" + Rmc;
    const Row rows[] = {
        {{}, false, 2, two + "|" + two},
        {{"checksum:3"}, false, 2, Rmb + "|" + Rmc + "|" + rmbBad + "|" + Rmc},
        {{"checksum:1"}, false, 1, rmbBad + "|" + rmcBad},
        {{"drop:2"}, false, 2, Rmb + "|" + Rmb},
        {{"invalid"}, false, 1, rmbV + "|" + rmcV},
        {{"repeat:3"}, false, 1, Rmb + "|" + Rmb + "|" + Rmb + "|" + Rmc + "|" + Rmc + "|" + Rmc},
        {{"cut:10"}, false, 1, "$GPRMB,A,1|$GPRMC,115"},
        // Seconds 0 and 2 of each 2 s period send; second 1 and 3 are silent.
        {{"silence:1/2"}, false, 4, two + "|" + two},
        {{}, true, 2, Rmb + "|" + rmcNow + "|" + Rmb + "|" + rmcLater},
        {{"invalid", "checksum:2"},
         true,
         1,
         rmbV + "|" + rmcNow.substr(0, 17) + "V" + rmcNow.substr(18, rmcNow.size() - 20) + "C3"},
    };
    const Tick tick{{Rmb}, {Rmc}};
    for (const Row& r : rows) {
        FaultSettings s = faults(r.words);
        s.liveTime = r.liveTime;
        SCOPED_TRACE(testing::PrintToString(r.words));
        EXPECT_EQ(run(s, OutputFormat::NmeaV3, std::vector<Tick>(r.ticks, tick)), r.expected);
    }
}

TEST(FaultFilter, RecordsWithoutChecksumOrOfOtherTypes) {
    const Tick tick{{"$GNRMC,1,A,x"}, {"$GPGGA,1,2*00"}, {"hello"}};
    EXPECT_EQ(run(faults({"invalid", "checksum:1"}), OutputFormat::NmeaV2, {tick}),
              "$GNRMC,1,V,x|$GPGGA,1,2*AA|hello");
}

// Garbage leaves before the first record of every Nth tick, as a counted record.
TEST(FaultFilter, GarbageComesBeforeTheFirstRecordOfEveryNthTick) {
    EXPECT_EQ(run(faults({"garbage:2"}), OutputFormat::NmeaV3,
                  {{{Rmb}, {Rmc}}, {{Rmb}, {Rmc}}, {}, {{Rmb}}}),
              Rmb + "|" + Rmc + "|#" + GarbageLine(2) + "|" + Rmb + "|" + Rmc + "|#" +
                  GarbageLine(4) + "|" + Rmb);
}

TEST(FaultFilter, AviationRecordsWholeAndInPieces) {
    // A replayed record: STX, lines with their CR, gaps between lines, ETX, then a lone CR.
    const Tick pieces{{"\x02", true},     {"AN 99\r", true}, {"", false, true},
                      {"GL0125\r", true}, {"\x03", true},    {"\r", true}};
    struct Row {
        std::vector<const char*> words;
        std::vector<Tick> ticks;
        std::string expected;
    };
    const Row rows[] = {
        {{"no-etx"}, {{{Avi}}}, Avi.substr(0, Avi.size() - 1)},
        {{"field:G"}, {{{Avi}}}, Avi.substr(0, 41) + "G?????\rI3333\r\x03"},
        {{"cut:5"},
         {{{Avi}}},
         "\x02"
         "AN 9"},
        {{"drop:1"}, {{{Avi}}}, ""},
        {{"repeat:2"}, {{{Avi}}}, Avi + "|" + Avi},
        {{"checksum:1", "invalid"}, {{{Avi}}}, Avi},
        {{"no-etx", "field:A"}, {pieces}, "#\x02|#A????\r|~|#GL0125\r|#\r"},
        {{"cut:3"}, {pieces}, "#\x02|#AN|~|#\r"},
        {{"drop:2"}, {pieces, pieces}, "#\x02|#AN 99\r|~|#GL0125\r|#\x03|#\r|~|#\r"},
        // A held record leaves its copies at the ETX, its gaps once.
        {{"repeat:2"},
         {pieces},
         "#\x02|#AN 99\r|~|#GL0125\r|#\x03|#\x02|#AN 99\r|#GL0125\r|#\x03|#\r"},
        // Split by the end of a tick: what was held leaves once, the rest streams.
        {{"repeat:2"},
         {Tick(pieces.begin(), pieces.begin() + 2), Tick(pieces.begin() + 2, pieces.end())},
         "#\x02|#AN 99\r|~|#GL0125\r|#\x03|#\r"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(r.words));
        EXPECT_EQ(run(faults(r.words), OutputFormat::Aviation, r.ticks), r.expected);
    }
}

TEST(FaultFilter, FaultWordsParseAndReadBack) {
    struct Row {
        const char* text;
        const char* error; // nullptr: accepted
    };
    const Row rows[] = {
        {"checksum:1", nullptr},
        {"repeat:2", nullptr},
        {"silence:2.5/10", nullptr},
        {"no-etx", nullptr},
        {"field:G", nullptr},
        {"checksum:0", "checksum needs a whole number of 1 or more, as in checksum:3"},
        {"repeat:1", "repeat needs a whole number of 2 or more, as in repeat:4"},
        {"drop:3x", "drop needs a whole number of 1 or more, as in drop:3"},
        {"invalid:2", "invalid takes no value"},
        {"silence:10/10", "silence needs S/M seconds with 0 < S < M <= 86400, as in silence:5/30"},
        {"field:g", "field needs one capital field letter, as in field:G"},
        {"noise", "unknown fault 'noise'; one of checksum:N, drop:N, invalid, garbage:N, "
                  "repeat:N, cut:K, silence:S/M, no-etx, field:L"},
    };
    FaultSettings all;
    for (const Row& r : rows) {
        FaultSettings s;
        const std::string error = AddFault(r.text, s);
        EXPECT_EQ(error, r.error ? r.error : "") << r.text;
        EXPECT_EQ(s.anyFault(), r.error == nullptr) << r.text;
        if (!r.error) {
            EXPECT_EQ(FaultWords(s), std::vector<std::string>{r.text});
            AddFault(r.text, all);
        }
    }
    // Every word given back reads as the same settings.
    FaultSettings again;
    for (const std::string& w : FaultWords(all))
        EXPECT_EQ(AddFault(w, again), "");
    EXPECT_EQ(again, all);
}

// Through the tick: the terminal shows what the line got, and the coupler's sentences, before
// a tick or after it, are left alone.
TEST(FaultFilter, OnlyTheTicksRecordsAndTheEchoShowsThem) {
    EngineRig rig;
    rig.e.setFaults(faults({"cut:6", "garbage:1", "checksum:1"}));
    rig.e.coupler().sendCourseGain(3);
    rig.e.simulator().setFormat(OutputFormat::NmeaV2);
    rig.e.writer().flush(); // else the tick waits for the line
    rig.e.runLoop().serve(rig.e.runLoop().nextTick());
    rig.e.coupler().sendCourseGain(3);
    const std::vector<std::string> expected{"$PZGAN3,*5D\r\n", GarbageLine(1) + "\r\n",
                                            "$GPRMB\r\n", "$PZGAN3,*5D\r\n"};
    EXPECT_EQ(rig.written(), expected);
    EXPECT_EQ(rig.terminal.lines, (std::vector<std::string>{"$PZGAN3,*5D", EchoText(GarbageLine(1)),
                                                            "$GPRMB", "$PZGAN3,*5D"}));
}

} // namespace
