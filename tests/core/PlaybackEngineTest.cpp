#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "core/PlaybackFakes.h"

namespace {

const std::filesystem::path DataDir = std::filesystem::path(TARROW_TEST_DATA_DIR) / "playback";

std::string Unquote(const std::string& q) {
    std::string out;
    for (std::size_t i = 1; i + 1 < q.size(); ++i) {
        if (q[i] != '\\') {
            out += q[i];
            continue;
        }
        const char e = q[++i];
        if (e == 'r')
            out += '\r';
        else if (e == 'n')
            out += '\n';
        else if (e == 'x') {
            out += static_cast<char>(std::stoi(q.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else
            out += e;
    }
    return out;
}

// Runs the recorded file a .chk names with its settings and compares every event.
void RunCheckFile(const std::string& chkName) {
    SCOPED_TRACE(chkName);
    std::ifstream in(DataDir / chkName);
    ASSERT_TRUE(in) << "missing " << chkName;
    PlaybackRig rig;
    std::string file;
    int ticks = 0;
    std::vector<std::string> expected;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::string key, rest;
        words >> key;
        std::getline(words >> std::ws, rest);
        if (key == "file")
            file = rest;
        else if (key == "type")
            rig.setType(rest == "nmea");
        else if (key == "budget")
            rig.window.budget = std::stoi(rest);
        else if (key == "trigger")
            rig.window.trigger = Unquote(rest);
        else if (key == "loop")
            rig.state.loop = rest == "1";
        else if (key == "seconds")
            rig.window.seconds = std::stoi(rest);
        else if (key == "ticks")
            ticks = std::stoi(rest);
        else
            expected.push_back(line);
    }
    rig.events.push_back("open");
    ASSERT_TRUE(rig.engine.open((DataDir / file).string()));
    for (int i = 1; i <= ticks; ++i) {
        rig.events.push_back("tick " + std::to_string(i));
        rig.device.newRecord = true;
        const int before = rig.sleeper.waits;
        rig.tick();
        rig.events.push_back("waits " + std::to_string(rig.sleeper.waits - before));
    }
    EXPECT_EQ(rig.events, expected);
}

// groups_crlf and groups_lf expect the same events: line ends do not change the bytes sent.
TEST(PlaybackEngine, RecordedFiles) {
    for (const char* chk : {"groups_crlf.chk", "groups_lf.chk", "overlong.chk", "two_records.chk",
                            "one_record_loop.chk"})
        RunCheckFile(chk);
}

const std::string Rmb1 = "$GPRMB,A,,,,,,,,,1.0,*00";
const std::string Rmb2 = "$GPRMB,A,,,,,,,,,2.0,*00";
const std::string Rmc1 = "$GPRMC,,,,,,,1.0,*00";
const std::string Rmc2 = "$GPRMC,,,,,,,2.0,*00";

std::string Lines(std::initializer_list<std::string> lines) {
    std::string s;
    for (const auto& l : lines)
        s += l + "\n";
    return s;
}

std::string Sent(std::initializer_list<std::string> lines) {
    std::string s;
    for (const auto& l : lines)
        s += l + "\r\n";
    return s;
}

TEST(PlaybackEngine, PacingAndEnds) {
    const std::string longLine = "Z" + std::string(199, 'x') + "\r";
    struct Row {
        const char* name;
        std::string content;
        bool nmea;
        int budget;
        std::string trigger;
        bool loop;
        std::vector<std::string> perTick; // bytes on the wire, tick by tick
        int waits;
        bool openAfter;
    };
    // clang-format off
    const Row rows[] = {
        {"empty trigger counts lines", Lines({Rmb1, Rmc1, Rmb2}), true, 2, "", false,
         {Sent({Rmb1, Rmc1}), Sent({Rmb2}), ""}, 3, false},
        {"trigger in every line", Lines({Rmb1, Rmc1, Rmb2}), true, 25, "$GP", false,
         {Sent({Rmb1}), Sent({Rmc1}), Sent({Rmb2}), ""}, 3, false},
        {"budget smaller than group", Lines({Rmb1, Rmc1, Rmc2, Rmb2, Rmc2}), true, 2, "GPRMB",
         false, {Sent({Rmb1, Rmc1}), Sent({Rmc2, Rmb2}), Sent({Rmc2}), ""}, 5, false},
        {"one group loops", Lines({Rmb1, "$GPGGA", Rmc1}), true, 25, "GPRMB", true,
         {Sent({Rmb1, Rmc1}), Sent({Rmb1, Rmc1}), Sent({Rmb1, Rmc1})}, 9, true},
        {"small file wraps within a tick", Lines({Rmb1, Rmc1}), true, 5, "", true,
         {Sent({Rmb1, Rmc1, Rmb1, Rmc1, Rmb1}), Sent({Rmc1, Rmb1, Rmc1, Rmb1, Rmc1})}, 10,
         true},
        {"nmea empty file with loop", "", true, 25, "GPRMB", true, {"", "", ""}, 0, true},
        {"no limit and no trigger stops after a whole pass", Lines({Rmb1, Rmc1}), true, 0, "",
         true, {Sent({Rmb1, Rmc1, Rmb1, Rmc1}), Sent({Rmb1, Rmc1, Rmb1, Rmc1})}, 8, true},
        {"embedded zero ends the line", std::string("$GPRMB,1\0,2\n", 12), true, 25, "", false,
         {"$GPRMB,1\r\n"}, 1, false},
        {"aviation empty file with loop", "", false, 25, "", true, {"", ""}, 0, true},
        {"aviation without CR or STX with loop", "$GPRMB,A\n$GPRMC,B\n", false, 25, "", true,
         {"", ""}, 0, true},
        {"ETX only with loop", "\x03", false, 25, "", true, {"\x03\x03"}, 0, true},
        {"aviation EOF inside a value", "\x02KAB", false, 25, "", false, {"\x02", ""}, 0, false},
        {"aviation EOF inside a value with loop", "\x02KAB", false, 25, "", true,
         {"\x02", "\x02"}, 0, true},
        {"STX drops gathered bytes", "XY\x02N1\r", false, 25, "", false, {"\x02N1\r"}, 0,
         false},
        {"ETX does not restart the line", "\x02Z1\x03\r", false, 25, "", false,
         {"\x02\x03Z1\r"}, 0, false},
        {"unfinished line dropped at end", "\x02Z1\r\nZ2", false, 25, "", false, {"\x02Z1\r"},
         0, false},
        {"line longer than the buffer", "\x02" + longLine, false, 25, "", false,
         {"\x02" + longLine}, 0, false},
    };
    // clang-format on
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        PlaybackRig rig;
        rig.setType(r.nmea);
        rig.window.budget = r.budget;
        rig.window.trigger = r.trigger;
        rig.state.loop = r.loop;
        ASSERT_TRUE(rig.engine.open(WriteTempFile("pacing.txt", r.content)));
        for (std::size_t t = 0; t < r.perTick.size(); ++t) {
            SCOPED_TRACE(t + 1);
            const std::size_t before = rig.device.written.size();
            rig.tick();
            EXPECT_EQ(rig.device.written.substr(before), r.perTick[t]);
        }
        EXPECT_EQ(rig.sleeper.waits, r.waits);
        EXPECT_EQ(rig.state.fileOpen, r.openAfter);
    }
}

// Arbitrary bytes in either mode: every tick ends, without Loop the file always closes, and
// Aviation replay never sends more bytes than the file holds.
TEST(PlaybackEngine, ArbitraryFilesEndEveryTick) {
    std::mt19937 random(20240611);
    const std::vector<std::string> pieces{"\x02", "\x03", "\r", "\n", "K", "E", "D", "w",
                                          "$GPRMB,", "$GPRMC,", ",", "1.5", std::string(1, '\0'),
                                          "\xff", "GPRMB", std::string(140, 'x')};
    for (int run = 0; run < 300; ++run) {
        SCOPED_TRACE(run);
        std::string content;
        const auto count = random() % 40;
        for (unsigned i = 0; i < count; ++i)
            content += pieces[random() % pieces.size()];
        PlaybackRig rig;
        rig.setType(random() % 2 == 0);
        rig.state.loop = random() % 2 == 0;
        rig.window.budget = static_cast<int>(random() % 5);
        rig.window.trigger = random() % 2 == 0 ? "GPRMB" : "";
        ASSERT_TRUE(rig.engine.open(WriteTempFile("arbitrary.bin", content)));
        // Without Loop each tick moves on through the file, so it must close in time.
        const std::size_t ticks = rig.state.loop ? 3 : content.size() + 2;
        for (std::size_t t = 0; t < ticks && rig.state.fileOpen; ++t)
            rig.tick();
        EXPECT_EQ(rig.state.fileOpen, rig.state.loop);
        if (!rig.state.loop && !rig.state.fileTypeNmea) {
            EXPECT_LE(rig.device.written.size(), content.size());
        }
    }
}

TEST(PlaybackEngine, LongAviationLineLeavesInPiecesThatFitTheBuffer) {
    PlaybackRig rig;
    rig.setType(false);
    const std::string line = "Z" + std::string(299, 'x') + "\r";
    ASSERT_TRUE(rig.engine.open(WriteTempFile("long.avi", line)));
    rig.tick();
    EXPECT_EQ(rig.device.written, line);
    // 300 bytes before the CR: two full pieces of 131, then 38 and the CR.
    const std::vector<std::size_t> sizes{131, 131, 38};
    ASSERT_EQ(rig.term.lines.size(), sizes.size());
    for (std::size_t i = 0; i < sizes.size(); ++i)
        EXPECT_EQ(rig.term.lines[i].size(), sizes[i]);
}

TEST(PlaybackEngine, EndOfFileInsideValueReadsAsFF) {
    PlaybackRig rig;
    rig.setType(false);
    ASSERT_TRUE(rig.engine.open(WriteTempFile("value.avi", "\x02KAB")));
    rig.events.clear();
    rig.tick();
    const std::vector<std::string> expected{"wire \"\\x02\"", "waypoint \"AB\\xff\\xff\\xff\"",
                                            "caption \"Open file\"", "filename \"\""};
    EXPECT_EQ(rig.events, expected);
}

TEST(PlaybackEngine, FileTruncatedWhileOpenEndsCleanly) {
    for (const bool loop : {false, true}) {
        SCOPED_TRACE(loop);
        PlaybackRig rig;
        rig.state.loop = loop;
        const std::string path = WriteTempFile("shrinks.nmea", Lines({Rmb1, Rmc1, Rmb2, Rmc2}));
        ASSERT_TRUE(rig.engine.open(path));
        rig.tick();
        EXPECT_EQ(rig.device.written, Sent({Rmb1, Rmc1}));
        std::filesystem::resize_file(path, 0);
        rig.events.clear();
        rig.tick();
        rig.tick();
        EXPECT_EQ(rig.device.written, Sent({Rmb1, Rmc1}));
        EXPECT_EQ(rig.state.fileOpen, loop);
        const std::vector<std::string> closed{"caption \"Open file\"", "filename \"\""};
        EXPECT_EQ(rig.events, loop ? std::vector<std::string>{} : closed);
    }
}

TEST(PlaybackEngine, OpenAndClose) {
    PlaybackRig rig;
    EXPECT_FALSE(rig.engine.open((DataDir / "no-such-file.nmea").string()));
    EXPECT_FALSE(rig.engine.open(DataDir.string())); // a directory
    EXPECT_TRUE(rig.events.empty());
    EXPECT_FALSE(rig.state.fileOpen);

    ASSERT_TRUE(rig.engine.open((DataDir / "groups_crlf.nmea").string()));
    EXPECT_TRUE(rig.state.fileOpen);
    rig.engine.close();
    EXPECT_FALSE(rig.state.fileOpen);
    EXPECT_FALSE(rig.engine.isOpen());
    const std::vector<std::string> expected{"caption \"Close file\"",
                                            "filename \"groups_crlf.nmea\"",
                                            "caption \"Open file\"", "filename \"\""};
    EXPECT_EQ(rig.events, expected);
}

} // namespace
