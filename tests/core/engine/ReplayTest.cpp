// The replay on real files: the recorded files beside their checks, pacing, Aviation fields,
// files that are odd, and the read-outs.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "core/CheckFile.h"
#include "core/Fakes.h"
#include "core/TempDir.h"
#include "engine/Port.h"
#include "engine/Replay.h"
#include "engine/Simulator.h"
#include "engine/TransmitLine.h"
#include "line/LineWriter.h"
#include "settings/SettingsStore.h"

namespace {

using Events = std::vector<std::string>;

// A real replay and Transmitter; the rig is their line and their File page, and records every
// record handed to the line, read-out and caption in one ordered list.
struct ReplayRig : RecordSink, ReplayView {
    explicit ReplayRig(bool nmea = true, int budget = Replay::DefaultRecordsPerTick,
                       const std::string& trigger = "GPRMB", bool loop = false) {
        link.UsePort(3);
        replay.setView(this);
        replay.setFileType(nmea);
        replay.setRecordsPerTick(budget);
        replay.setTrigger(trigger);
        replay.setLoop(loop);
    }
    bool submit(PortHandle, std::string bytes) override {
        events.push_back("wire " + bytes);
        written += bytes;
        return true;
    }
    void wait10ms() override { ++waits; }
    void readoutShown(Readout which, const std::string& text) override {
        const char* names[] = {"", "waypoint ", "range ", "speed ", "calc "};
        events.push_back(names[static_cast<int>(which)] + text);
        shown.push_back(events.back());
    }
    void fileOpened(const std::string& name) override {
        events.insert(events.end(), {"caption Close file", "filename " + name});
    }
    void fileClosed() override { events.insert(events.end(), {"caption Open file", "filename "}); }
    // As the output tick does: the replay runs only while a file is open.
    void tick() {
        if (replay.isOpen())
            replay.PlaybackTick();
    }

    Events events, shown; // shown: the read-outs alone
    std::string written;
    int waits = 0;
    TempDir dir;
    FileSettingsStore settings{""};
    FakeMessageBox box;
    FakeSerialDevice device;
    LineWriter writer{device};
    SerialLink link{device, writer};
    Port port{link, settings, box};
    Simulator simulator{port};
    TerminalLog log;
    Transmitter tx{simulator.values(), link, *this, log};
    Replay replay{simulator, tx};
};

const std::filesystem::path DataDir = std::filesystem::path(TARROW_TEST_DATA_DIR) / "playback";

// groups_crlf and groups_lf expect the same events: line ends do not change the bytes sent.
TEST(Replay, RecordedFilesGiveTheirChecks) {
    for (const char* name : {"groups_crlf.chk", "groups_lf.chk", "overlong.chk", "two_records.chk",
                             "one_record_loop.chk"}) {
        SCOPED_TRACE(name);
        const CheckFile chk = ReadCheckFile(DataDir / name);
        ASSERT_FALSE(chk.events.empty());
        auto run = chk.settings;
        ReplayRig rig(run["type"] == "nmea", std::stoi(run["budget"]), run["trigger"],
                      run["loop"] == "1");
        rig.replay.setPauseSeconds(std::stoi(run["seconds"]));
        rig.events.push_back("open");
        ASSERT_TRUE(rig.replay.open((DataDir / run["file"]).string()).ok);
        for (int i = 1; i <= std::stoi(run["ticks"]); ++i) {
            rig.events.push_back("tick " + std::to_string(i));
            const int before = rig.waits;
            rig.tick();
            rig.events.push_back("waits " + std::to_string(rig.waits - before));
        }
        EXPECT_EQ(rig.events, chk.events);
    }
}

std::string Lines(std::initializer_list<std::string> lines, const char* end = "\n") {
    std::string s;
    for (const auto& l : lines)
        s += l + end;
    return s;
}

const std::string Rmb1 = "$GPRMB,A,1", Rmb2 = "$GPRMB,A,2", Rmc1 = "$GPRMC,A,1";

TEST(Replay, PacingAndEnds) {
    // file, NMEA or Aviation, records per tick, trigger, Loop, bytes on the wire per tick
    // clang-format off
    const std::tuple<std::string, bool, int, const char*, bool, Events> rows[] = {
        {Lines({Rmb1, Rmc1, Rmb2}), true, 2, "", false,
         {Lines({Rmb1, Rmc1}, "\r\n"), Lines({Rmb2}, "\r\n"), ""}},
        {Lines({Rmb1, Rmc1}), true, 0, "", true, {Lines({Rmb1, Rmc1, Rmb1, Rmc1}, "\r\n")}},
        // With Loop a budget longer than the file wraps as often as it takes.
        {Lines({Rmb1, Rmc1}), true, 5, "", true, {Lines({Rmb1, Rmc1, Rmb1, Rmc1, Rmb1}, "\r\n")}},
        {"XY\x02N1\r", false, 25, "", false, {"\x02N1\r"}}, // STX drops gathered bytes
        {"\x02Z1\x03\r", false, 25, "", false, {"\x02\x03Z1\r"}}, // ETX keeps the line
        // A piece that leaves because the buffer is full uses a record: the tick stays bounded.
        {std::string(300, 'x'), false, 2, "", false, {std::string(262, 'x'), ""}},
    };
    // clang-format on
    for (const auto& [content, nmea, budget, trigger, loop, perTick] : rows) {
        SCOPED_TRACE(content);
        ReplayRig rig(nmea, budget, trigger, loop);
        ASSERT_TRUE(rig.replay.open(rig.dir.file("pacing.txt", content)).ok);
        for (const auto& bytes : perTick) {
            const std::size_t before = rig.written.size();
            rig.tick();
            EXPECT_EQ(rig.written.substr(before), bytes);
        }
        EXPECT_EQ(rig.replay.isOpen(), loop);
    }
}

// Paced replays: by the file's RMC, GGA and ZDA time stamps, or as fast as the line takes
// them, at most MaxPacedRecords a call; with all sentences every "$" or "!" line leaves as it
// stands, checksum and all. Neither waits 10 ms between lines.
TEST(Replay, PacedByTheFileOrAsFastAsTheLineTakes) {
    using namespace std::chrono_literals;
    using Time = std::chrono::steady_clock::time_point;
    const std::string gga0 = "$GPGGA,235959.00,1*7A", ais = "!AIVDM,1,1,,A,x*00",
                      rmc0 = "$GPRMC,235959.00,A", zda = "$GPZDA,000000.50,01", rmb = "$GPRMB,A,1",
                      gga2 = "$GPGGA,000001.00,2";
    const std::string file = Lines({gga0, ais, rmc0, "not a sentence", zda, rmb, gga2});
    const Time t0{1000s};
    // pace, all sentences, when called (from t0), what leaves, when it asks to be called again
    // (from t0; the file's end closes it and asks for at once)
    const std::tuple<
        ReplayPace, bool,
        std::vector<std::tuple<std::chrono::milliseconds, Events, std::chrono::milliseconds>>>
        rows[] = {
            {ReplayPace::File,
             true, // over midnight in the file
             {{0ms, {gga0, ais, rmc0}, 1500ms},
              {1499ms, {}, 1500ms},
              {1500ms, {zda, rmb}, 2000ms},
              {2001ms, {gga2}, 2001ms}}},
            {ReplayPace::File,
             false,
             {{0ms, {rmc0}, 1500ms}, {1600ms, {rmb}, 2000ms}, {2000ms, {}, 2000ms}}},
            {ReplayPace::None, true, {{0ms, {gga0, ais, rmc0, zda, rmb, gga2}, 0ms}}},
        };
    for (const auto& [pace, all, calls] : rows) {
        ReplayRig rig;
        rig.replay.setPace(pace);
        rig.replay.setAllSentences(all);
        ASSERT_TRUE(rig.replay.open(rig.dir.file("paced.nmea", file)).ok);
        for (const auto& [at, sent, again] : calls) {
            SCOPED_TRACE(at.count());
            const std::size_t before = rig.written.size();
            EXPECT_EQ(rig.replay.pacedTick(t0 + at), t0 + again);
            std::string expected;
            for (const auto& l : sent)
                expected += l + "\r\n";
            EXPECT_EQ(rig.written.substr(before), expected);
        }
        EXPECT_FALSE(rig.replay.isOpen());
        EXPECT_EQ(rig.waits, 0);
    }
    // A long file leaves in bounded calls, nothing lost.
    ReplayRig rig;
    rig.replay.setPace(ReplayPace::None);
    std::string many;
    for (int i = 0; i < Replay::MaxPacedRecords + 5; ++i)
        many += Rmb1 + "\n";
    ASSERT_TRUE(rig.replay.open(rig.dir.file("many.nmea", many)).ok);
    rig.replay.pacedTick(t0);
    EXPECT_TRUE(rig.replay.isOpen());
    rig.replay.pacedTick(t0);
    EXPECT_EQ(rig.written.size(), (Rmb1.size() + 2) * (Replay::MaxPacedRecords + 5));
    EXPECT_FALSE(rig.replay.isOpen());
}

// A field letter counts only at the start of a line: after STX or a CR (the recorded files
// show those), never after ETX. A value cut short by the end of the file reads as 0xFF, and
// its line is not sent.
TEST(Replay, AviationFieldsAreReadOnlyAtALineStart) {
    // clang-format off
    const std::pair<std::string, Events> rows[] = {
        {"\x02\x03" "E00123\r", {}}, {"\x02N1E00123\r", {}},
        {"\x02KAB", {"waypoint AB\xff\xff\xff"}},
    };
    // clang-format on
    for (const auto& [content, readouts] : rows) {
        ReplayRig rig(false);
        ASSERT_TRUE(rig.replay.open(rig.dir.file("fields.avi", content)).ok);
        rig.tick();
        EXPECT_EQ(rig.shown, readouts);
    }
}

// Only a regular file opens, and a FIFO is refused at once instead of waiting for a writer.
// The file is read afresh each tick: emptied while open, it reads as ended.
TEST(Replay, OddFiles) {
    ReplayRig rig;
    const std::string fifo = (rig.dir.path / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero"), DataDir.string()})
        EXPECT_FALSE(rig.replay.open(path).ok) << path;
    EXPECT_FALSE(rig.replay.isOpen());

    rig.replay.setLoop(true);
    const std::string path = rig.dir.file("shrinks.nmea", Lines({Rmb1, Rmc1, Rmb2, Rmc1}));
    ASSERT_TRUE(rig.replay.open(path).ok);
    rig.tick();
    std::filesystem::resize_file(path, 0);
    rig.tick(); // with Loop the tick ends and the file stays open
    EXPECT_TRUE(rig.replay.isOpen());
    rig.replay.setLoop(false);
    rig.tick();
    EXPECT_FALSE(rig.replay.isOpen());
    EXPECT_EQ(rig.written, Lines({Rmb1, Rmc1}, "\r\n"));
}

// fuzz_readouts holds the sentences' read-outs to an oracle; this documents its oddest rule:
// an empty speed changes nothing, except as the last field of the line.
TEST(Readouts, EmptySpeedCountsOnlyAsTheLastField) {
    ReplayRig rig;
    rig.replay.readouts().GprmcReadout("$GPRMC,123519,A,4807.038,N,01131.000,E,,084.4,230394");
    EXPECT_TRUE(rig.events.empty());
    rig.replay.readouts().GprmcReadout("$GPRMC,123519,A,4807.038,N,01131.000,E,");
    EXPECT_EQ(rig.events, Events{"speed    0.0kt"});
}

} // namespace
