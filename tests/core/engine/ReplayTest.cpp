#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sys/stat.h>
#include <tuple>

#include "core/CheckFile.h"
#include "core/Fakes.h"
#include "core/TempDir.h"
#include "playback/AviationFieldTable.h"
#include "playback/FieldNumber.h"
#include "playback/NmeaReadout.h"
#include "playback/PlaybackEngine.h"
#include "playback/PlaybackWindow.h"
#include "playback/Readouts.h"
#include "serial/TransmitLine.h"

namespace {

using Events = std::vector<std::string>;

// A real engine and Transmitter; the rig is their window, line and terminal, and records every
// record handed to the line, read-out and caption in one ordered list.
struct PlaybackRig : PlaybackWindow, RecordSink, FakeTerminal {
    explicit PlaybackRig(bool nmea = true) {
        state.portHandle = 3;
        state.fileTypeNmea = nmea;
        state.format = nmea ? OutputFormat::NmeaV3 : OutputFormat::Aviation;
    }
    bool submit(PortHandle, std::string bytes) override {
        events.push_back("wire " + bytes);
        written += bytes;
        return true;
    }
    void wait10ms() override { ++waits; }
    void setRangeText(const std::string& t) override { events.push_back("range " + t); }
    void setSpeedText(const std::string& t) override { events.push_back("speed " + t); }
    void setCalculatedSpeedText(const std::string& t) override { events.push_back("calc " + t); }
    void setWaypointIdText(const std::string& t) override { events.push_back("waypoint " + t); }
    void setOpenFileCaption(const std::string& t) override { events.push_back("caption " + t); }
    void setFileNameText(const std::string& t) override { events.push_back("filename " + t); }
    int currentPage() const override { return 1; }
    int pauseSecondsPosition() const override { return seconds; }
    int recordsPerTickPosition() const override { return budget; }
    void setPauseChecked(bool) override {}
    std::string triggerText() const override { return trigger; }
    // As the output tick does: the replay runs only while a file is open.
    void tick() {
        if (state.fileOpen)
            engine.PlaybackTick();
    }

    Events events;
    std::string written;
    int seconds = 1, budget = 25, waits = 0;
    std::string trigger = "GPRMB";
    EmulatorState state;
    TerminalLog log{this, 12, 38};
    Transmitter tx{state, *this, log};
    PlaybackEngine engine{state, *this, tx};
};

const std::filesystem::path DataDir = std::filesystem::path(TARROW_TEST_DATA_DIR) / "playback";

std::string WriteTempFile(const std::string& name, const std::string& bytes) {
    static const TempDir dir; // this test's own
    const auto path = dir.path / name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path.string();
}

// Runs the recorded file a .chk names with its settings and compares every event from its
// "open" line on.
void RunCheckFile(const std::string& chkName) {
    SCOPED_TRACE(chkName);
    const CheckFile chk = ReadCheckFile(DataDir / chkName);
    ASSERT_FALSE(chk.events.empty()) << "missing " << chkName;
    auto run = chk.settings;
    const Events& expected = chk.events;
    PlaybackRig rig(run["type"] == "nmea");
    rig.budget = std::stoi(run["budget"]);
    rig.trigger = run["trigger"];
    rig.seconds = std::stoi(run["seconds"]);
    rig.state.loop = run["loop"] == "1";
    rig.events.push_back("open");
    ASSERT_TRUE(rig.engine.open((DataDir / run["file"]).string()));
    for (int i = 1; i <= std::stoi(run["ticks"]); ++i) {
        rig.events.push_back("tick " + std::to_string(i));
        const int before = rig.waits;
        rig.tick();
        rig.events.push_back("waits " + std::to_string(rig.waits - before));
    }
    EXPECT_EQ(rig.events, expected);
}

// groups_crlf and groups_lf expect the same events: line ends do not change the bytes sent.
TEST(PlaybackEngine, RecordedFiles) {
    for (const char* chk : {"groups_crlf.chk", "groups_lf.chk", "overlong.chk", "two_records.chk",
                            "one_record_loop.chk"})
        RunCheckFile(chk);
}

std::string Lines(std::initializer_list<std::string> lines, const char* end = "\n") {
    std::string s;
    for (const auto& l : lines)
        s += l + end;
    return s;
}

const std::string Rmb1 = "$GPRMB,A,1", Rmb2 = "$GPRMB,A,2", Rmc1 = "$GPRMC,A,1";

TEST(PlaybackEngine, PacingAndEnds) {
    const std::string longLine = "\x02Z" + std::string(299, 'x') + "\r";
    // name, file, NMEA or Aviation, records per tick, trigger, Loop, bytes on the wire per tick
    // clang-format off
    const std::tuple<const char*, std::string, bool, int, const char*, bool, Events> rows[] = {
        {"records per tick without a trigger", Lines({Rmb1, Rmc1, Rmb2}), true, 2, "", false,
         {Lines({Rmb1, Rmc1}, "\r\n"), Lines({Rmb2}, "\r\n"), ""}},
        {"one group wraps to the next trigger", Lines({Rmb1, "$GPGGA", Rmc1}), true, 25, "GPRMB",
         true, {Lines({Rmb1, Rmc1}, "\r\n"), Lines({Rmb1, Rmc1}, "\r\n")}},
        {"nothing between two ends of file", "", true, 25, "GPRMB", true, {"", ""}},
        {"a whole pass without budget ends the tick", Lines({Rmb1, Rmc1}), true, 0, "", true,
         {Lines({Rmb1, Rmc1, Rmb1, Rmc1}, "\r\n")}},
        {"zero ends a line", std::string("$GPRMB\0,2\n", 10), true, 25, "", false, {"$GPRMB\r\n"}},
        {"STX drops gathered bytes", "XY\x02N1\r", false, 25, "", false, {"\x02N1\r"}},
        {"ETX keeps the line", "\x02Z1\x03\r", false, 25, "", false, {"\x02\x03Z1\r"}},
        {"line longer than the buffer", longLine, false, 25, "", false, {longLine}},
        {"lines not sent use the budget too", Lines({Rmb1, "$GPGGA", Rmc1}), true, 2, "", false,
         {Lines({Rmb1}, "\r\n"), Lines({Rmc1}, "\r\n")}},
        // A piece that leaves because the buffer is full uses a record: the tick stays bounded.
        {"no line ends at all", std::string(300, 'x'), false, 2, "", false,
         {std::string(262, 'x'), ""}},
    };
    // clang-format on
    for (const auto& [name, content, nmea, budget, trigger, loop, perTick] : rows) {
        SCOPED_TRACE(name);
        PlaybackRig rig(nmea);
        rig.budget = budget;
        rig.trigger = trigger;
        rig.state.loop = loop;
        ASSERT_TRUE(rig.engine.open(WriteTempFile("pacing.txt", content)));
        for (const auto& bytes : perTick) {
            const std::size_t before = rig.written.size();
            rig.tick();
            EXPECT_EQ(rig.written.substr(before), bytes);
        }
        EXPECT_EQ(rig.state.fileOpen, loop);
    }
}

// A field letter counts only at the start of a line: after STX or a CR, never after ETX.
TEST(PlaybackEngine, AviationFieldsAreReadOnlyAtALineStart) {
    const std::pair<std::string, Events> rows[] = {
        {"\x02"
         "E00123\r\x03",
         {"range  12.30nm"}},
        {"\x02N\rE00456\r\x03", {"range  45.60nm"}},
        {"\x02\x03"
         "E00123\r",
         {}},
        {"\x02N1E00123\r", {}},
    };
    for (const auto& [content, readouts] : rows) {
        SCOPED_TRACE(content);
        PlaybackRig rig(false);
        ASSERT_TRUE(rig.engine.open(WriteTempFile("fields.avi", content)));
        rig.tick();
        Events shown;
        for (const auto& e : rig.events)
            if (!e.starts_with("wire ") && !e.starts_with("caption ") &&
                !e.starts_with("filename "))
                shown.push_back(e);
        EXPECT_EQ(shown, readouts);
    }
}

// Only a regular file opens, and a FIFO is refused at once instead of waiting for a writer.
TEST(PlaybackEngine, OnlyRegularFilesOpen) {
    const std::string fifo = WriteTempFile("unused", "") + ".fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    PlaybackRig rig;
    for (const std::string& path : {fifo, std::string("/dev/zero"), DataDir.string()})
        EXPECT_FALSE(rig.engine.open(path)) << path;
    EXPECT_FALSE(rig.state.fileOpen);
    std::filesystem::remove(fifo);
}

// Arbitrary bytes in either mode (run under ASan too): every tick ends, without Loop the file
// closes, and Aviation replay never sends more bytes than the file holds.
TEST(PlaybackEngine, ArbitraryFilesEndEveryTick) {
    std::mt19937 random(20240611);
    // clang-format off
    const std::vector<std::string> pieces{"\x02", "\x03", "\r", "\n", "K", "E", "D", "w", "$GPRMB,",
        "$GPRMC,", ",", "1.5", std::string(1, '\0'), "\xff", "GPRMB", std::string(140, 'x')};
    // clang-format on
    for (int run = 0; run < 300; ++run) {
        SCOPED_TRACE(run);
        std::string content;
        for (auto count = random() % 40; count > 0; --count)
            content += pieces[random() % pieces.size()];
        PlaybackRig rig(random() % 2 == 0);
        rig.state.loop = random() % 2 == 0;
        rig.budget = static_cast<int>(random() % 5);
        rig.trigger = random() % 2 == 0 ? "GPRMB" : "";
        ASSERT_TRUE(rig.engine.open(WriteTempFile("arbitrary.bin", content)));
        // Without Loop each tick moves on through the file, so it must close in time.
        const std::size_t ticks = rig.state.loop ? 3 : content.size() + 2;
        for (std::size_t t = 0; t < ticks && rig.state.fileOpen; ++t)
            rig.tick();
        EXPECT_EQ(rig.state.fileOpen, rig.state.loop);
        EXPECT_TRUE(rig.state.loop || rig.state.fileTypeNmea ||
                    rig.written.size() <= content.size());
    }
}

// A value cut short by the end of the file reads as 0xFF; the unfinished line is not sent.
TEST(PlaybackEngine, EndOfFileInsideValue) {
    PlaybackRig rig(false);
    ASSERT_TRUE(rig.engine.open(WriteTempFile("value.avi", "\x02KAB")));
    rig.events.clear();
    rig.tick();
    EXPECT_EQ(rig.events,
              (Events{"wire \x02", "waypoint AB\xff\xff\xff", "caption Open file", "filename "}));
}

// The file is read afresh each tick: emptied while open, it reads as ended.
TEST(PlaybackEngine, FileTruncatedWhileOpenEndsCleanly) {
    PlaybackRig rig;
    rig.state.loop = true;
    const std::string path = WriteTempFile("shrinks.nmea", Lines({Rmb1, Rmc1, Rmb2, Rmc1}));
    ASSERT_TRUE(rig.engine.open(path));
    rig.tick();
    std::filesystem::resize_file(path, 0);
    rig.tick(); // with Loop the tick ends and the file stays open
    EXPECT_TRUE(rig.state.fileOpen);
    rig.state.loop = false;
    rig.tick();
    EXPECT_FALSE(rig.state.fileOpen);
    EXPECT_EQ(rig.written, Lines({Rmb1, Rmc1}, "\r\n"));
}

// Read and written with a point whatever the locale; hex, inf and nan are not numbers here.
TEST(Readouts, NumbersUseAPointUnderACommaLocale) {
    const char* set = std::setlocale(LC_ALL, "de_DE.UTF-8");
    const std::tuple<double, const char*, const char*> shown[] = {
        {150, "150.00nm", " 150.0kt"},
        {-4680, "-4680.00nm", "-4680.0kt"},
        {0.05, "  0.05nm", "   0.1kt"},
    };
    for (const auto& [value, range, speed] : shown) {
        EXPECT_EQ(RangeText(value), range);
        EXPECT_EQ(SpeedText(value), speed);
    }
    const std::pair<const char*, double> read[] = {
        {"  -12.5x", -12.5}, {"+.5", 0.5}, {"2E-1", 0.2}, {"7e-x", 7.0}, {"1,5", 1.0},
        {"1.2.3", 1.2},      {".", 0.0},   {"0x10", 0.0}, {"inf", 0.0},  {"1e-999", 0.0},
    };
    for (const auto& [text, value] : read)
        EXPECT_DOUBLE_EQ(FieldNumber(text), value) << text;
    EXPECT_TRUE(std::isinf(FieldNumber("1e999")));
    std::setlocale(LC_ALL, "C");
    if (set == nullptr)
        GTEST_SKIP() << "de_DE.UTF-8 locale not installed; checked in the C locale only";
}

// Fields longer than the read-outs' buffers are cut, not copied whole.
TEST(Readouts, TextsLongerThanTheBuffers) {
    const std::tuple<ReadoutHandler, std::string, const char*> rows[] = {
        {ShowWaypointId, "ABCDEFGHIJKLMNOP", "waypoint ABCDEFGHIJK"},
        {ShowWaypointId, std::string("AB\0CD", 5), "waypoint AB"},
        // 19 characters are read: the ".5" after them is not part of the number.
        {ShowRange, "0000000000000000001.5", "range   1.00nm"},
    };
    for (const auto& [handler, text, event] : rows) {
        PlaybackRig rig;
        handler(rig, text.data(), static_cast<int>(text.size()), 1.0f);
        EXPECT_EQ(rig.events, Events{event});
    }
}

// A field counts only when the comma after it is there; an empty one changes nothing, except
// the speed as the last field of the line.
TEST(NmeaReadout, SentenceFields) {
    const std::pair<const char*, Events> rows[] = {
        {"$GPRMB,A,0.66,L,WPT1,DST,4917.24,N,12309.57,W,,052.5", {"waypoint DST"}},
        {"$GPRMB,A,0.66,L,WPT1,DST,4917.24,N,12309.57,W,1.3", {"waypoint DST"}},
        {"$GPRMB,A,0.66,L,WPT1,DST", {}},
        {"$GPRMC,123519,A,4807.038,N,01131.000,E,,084.4,230394", {}},
        {"$GPRMC,123519,A,4807.038,N,01131.000,E,", {"speed    0.0kt"}},
        {"$GPRMC,123519,A,4807.038,N,01131.000,E,12.5*3A", {"speed   12.5kt"}},
        {"$GPRMC,123519,A,4807.038,N,01131.000,E", {}},
    };
    for (const auto& [line, expected] : rows) {
        PlaybackRig rig;
        if (std::string_view(line).starts_with("$GPRMB"))
            rig.engine.readout().GprmbReadout(line);
        else
            rig.engine.readout().GprmcReadout(line);
        EXPECT_EQ(rig.events, expected) << line;
    }
}

std::string Rmb(const char* range) {
    return std::string("$GPRMB,A,0.66,L,WPT1,,4917.24,N,12309.57,W,") + range + ",052.5,150.0,V";
}

// Ticks per hour (whole) times the fall of the range since the last computation; a sentence
// without a range adds its tick to the next one.
TEST(NmeaReadout, CalculatedSpeedSequence) {
    const std::tuple<int, std::vector<std::string>, Events> rows[] = {
        {1, {Rmb("1.4"), Rmb("1.3"), Rmb("1.2")}, {"calc -4680.0kt", "calc  360.0kt"}},
        {1, {Rmb("2.0"), Rmb("1.9"), "$GPRMB", Rmb("1.8")}, {"calc -6840.0kt", "calc  720.0kt"}},
        {7, {Rmb("1.4"), Rmb("1.3"), Rmb("1.2")}, {"calc -668.2kt", "calc   51.4kt"}},
    };
    for (const auto& [seconds, lines, calcs] : rows) {
        PlaybackRig rig;
        rig.seconds = seconds;
        for (const auto& line : lines)
            rig.engine.readout().GprmbReadout(line);
        std::erase_if(rig.events, [](const std::string& e) { return !e.starts_with("calc "); });
        EXPECT_EQ(rig.events, calcs);
    }
}

} // namespace
