#include <gtest/gtest.h>

#include "core/engine/EngineRig.h"

namespace {

// Each record leaves as one write with its line end, as the format has it at that moment; the
// terminal gets the echo.
TEST(TransmitLine, WritesEchoesAndEndsLines) {
    using enum OutputFormat;
    // format, record, count, what the line gets, the echo
    const std::tuple<OutputFormat, std::string, int, std::vector<std::string>, std::string> rows[] =
        {
            {NmeaV3, "$GPRMC,X*00", 0, {"$GPRMC,X*00\r\n"}, "$GPRMC,X*00"},
            {NmeaV2, "", 0, {"\r\n"}, ""},
            {Aviation, "", 0, {}, ""},
            {Aviation, "AB\r", 3, {"AB\r"}, "AB"},
            {NmeaV3, "\x02", 1, {"\x02\r\n"}, "\\x02"},
            {Aviation, "a\nb", 3, {"a\nb"}, "ab"},
            {Aviation, std::string("\0", 1), 1, {std::string("\0", 1)}, "\\x00"},
            {Aviation,
             std::string(30, '\x01'),
             30,
             {std::string(30, '\x01')},
             [] {
                 std::string e;
                 for (int i = 0; i < 30; ++i)
                     e += "\\x01";
                 return e;
             }()},
        };
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
