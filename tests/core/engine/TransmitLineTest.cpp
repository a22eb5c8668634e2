#include <gtest/gtest.h>

#include "core/Fakes.h"
#include "serial/TransmitLine.h"

namespace {

struct Rig {
    EmulatorState state;
    FakeSink sink;
    FakeTerminal term;
    TerminalLog log{&term, 12, 38};
    Transmitter tx{state, sink, log};
    Rig() { state.portHandle = 4; }
};

// Each record leaves as one write with its line end; the terminal gets the echo.
TEST(TransmitLine, WritesEchoesAndEndsLines) {
    struct Row {
        const char* name;
        OutputFormat format;
        std::string record;
        int count;
        std::vector<std::string> records;
        std::string echo;
    };
    const Row rows[] = {
        {"text v3", OutputFormat::NmeaV3, "$GPRMC,X*00", 0, {"$GPRMC,X*00\r\n"}, "$GPRMC,X*00"},
        {"empty text", OutputFormat::NmeaV2, "", 0, {"\r\n"}, ""},
        {"empty text aviation", OutputFormat::Aviation, "", 0, {}, ""},
        {"counted AB CR", OutputFormat::Aviation, "AB\r", 3, {"AB\r"}, "AB"},
        {"STX nmea", OutputFormat::NmeaV3, "\x02", 1, {"\x02\r\n"}, "\\x02"},
        {"ETX aviation", OutputFormat::Aviation, "\x03", 1, {"\x03"}, "\\x03"},
        {"LF not echoed", OutputFormat::Aviation, "a\nb", 3, {"a\nb"}, "ab"},
        {"zero byte",
         OutputFormat::Aviation,
         std::string("\0", 1),
         1,
         {std::string("\0", 1)},
         "\\x00"},
        {"edges",
         OutputFormat::Aviation,
         " ~\x7f\x80\xff\xb0",
         6,
         {" ~\x7f\x80\xff\xb0"},
         " ~\\x7f\\x80\\xff\\xb0"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Rig rig;
        rig.state.format = r.format;
        rig.tx.TransmitLine(r.record.data(), r.count);
        EXPECT_EQ(rig.sink.records, r.records);
        ASSERT_EQ(rig.term.lines.size(), 1u);
        EXPECT_EQ(rig.term.lines[0], r.echo);
    }
}

TEST(TransmitLine, TrimsBeforeAppending) {
    struct Row {
        int present, visible, after;
    };
    const Row rows[] = {{38, 38, 38}, {37, 38, 38}, {42, 10, 10}, {5, 0, 1}, {0, 0, 1}};
    for (const auto& r : rows) {
        Rig rig;
        rig.log.VisibleLines = static_cast<std::uint16_t>(r.visible);
        for (int i = 0; i < r.present; ++i)
            rig.term.lines.push_back("old" + std::to_string(i));
        rig.tx.TransmitLine("new", 0);
        ASSERT_EQ(static_cast<int>(rig.term.lines.size()), r.after);
        EXPECT_EQ(rig.term.lines.back(), "new");
        if (r.after > 1) {
            EXPECT_EQ(rig.term.lines.front(), "old" + std::to_string(r.present - r.after + 1));
        }
    }
}

TEST(TransmitLine, LongCountedEchoIsKeptWholeAndEveryByteSent) {
    Rig rig;
    rig.state.format = OutputFormat::Aviation;
    std::string record(300, 'x');
    record += std::string(100, '\x01');
    rig.tx.TransmitLine(record.data(), static_cast<int>(record.size()));
    EXPECT_EQ(rig.sink.records, std::vector<std::string>{record});
    ASSERT_EQ(rig.term.lines.size(), 1u);
    EXPECT_EQ(rig.term.lines[0].size(), 300u + 400u);
}

TEST(TransmitLine, NoPortStillEchoes) {
    Rig rig;
    rig.state.portHandle = InvalidPort;
    rig.tx.TransmitLine("$GPRMB", 0);
    EXPECT_TRUE(rig.sink.records.empty());
    EXPECT_EQ(rig.term.lines, std::vector<std::string>{"$GPRMB"});
}

} // namespace
