#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "core/PlaybackFakes.h"
#include "playback/AviationFieldTable.h"
#include "playback/FieldNumber.h"
#include "playback/NmeaReadout.h"
#include "playback/Readouts.h"

namespace {

using Events = std::vector<std::string>;

TEST(FieldNumber, ReadsTheLeadingNumber) {
    struct Row {
        const char* text;
        double value;
    };
    const Row rows[] = {
        {"1.3", 1.3},    {"  -12.5x", -12.5}, {"+.5", 0.5},    {"5.", 5.0},   {"00123", 123},
        {"2E-1", 0.2},   {"3e2,", 300},       {"1e", 1.0},     {"1e+", 1.0},  {"7e-x", 7.0},
        {"\t\r\n 4", 4}, {"1,5", 1.0},        {"1.2.3", 1.2},  {"", 0.0},     {".", 0.0},
        {"-", 0.0},      {"abc", 0.0},        {"--1", 0.0},    {"0x10", 0.0}, {"inf", 0.0},
        {"nan", 0.0},    {"12\r\nX", 12},     {"1e-999", 0.0}, {"- 1", 0.0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_DOUBLE_EQ(FieldNumber(r.text), r.value);
    }
    EXPECT_TRUE(std::isinf(FieldNumber("1e999")));
}

TEST(Readouts, FormatsWithAPointUnderAnyLocale) {
    struct Row {
        double value;
        const char* range;
        const char* speed;
    };
    const Row rows[] = {
        {1.2, "  1.20nm", "   1.2kt"},      {12.3, " 12.30nm", "  12.3kt"},
        {0.0, "  0.00nm", "   0.0kt"},      {150, "150.00nm", " 150.0kt"},
        {-4680, "-4680.00nm", "-4680.0kt"}, {0.05, "  0.05nm", "   0.1kt"},
    };
    const char* set = std::setlocale(LC_ALL, "de_DE.UTF-8");
    for (const auto& r : rows) {
        SCOPED_TRACE(r.value);
        EXPECT_EQ(RangeText(r.value), r.range);
        EXPECT_EQ(SpeedText(r.value), r.speed);
    }
    std::setlocale(LC_ALL, "C");
    if (set == nullptr)
        GTEST_SKIP() << "de_DE.UTF-8 locale not installed; checked in the C locale only";
}

TEST(Readouts, HandlersCopyCutAndScale) {
    struct Row {
        const char* name;
        ReadoutHandler handler;
        std::string text;
        float scale;
        const char* event;
    };
    const Row rows[] = {
        {"E00123", ShowRange, "00123", 0.1f, "range \" 12.30nm\""},
        {"D150", ShowSpeed, "150", 1.0f, "speed \" 150.0kt\""},
        {"KABCDE", ShowWaypointId, "ABCDE", 1.0f, "waypoint \"ABCDE\""},
        {"no number", ShowRange, "ab", 1.0f, "range \"  0.00nm\""},
        {"zero ends text", ShowWaypointId, std::string("AB\0CD", 5), 1.0f, "waypoint \"AB\""},
        {"waypoint cut to 11", ShowWaypointId, "ABCDEFGHIJKLMNOP", 1.0f,
         "waypoint \"ABCDEFGHIJK\""},
        // 19 characters are read: the ".5" after them is not part of the number.
        {"number cut to 19", ShowRange, "0000000000000000001.5", 1.0f, "range \"  1.00nm\""},
        {"empty", ShowSpeed, "", 1.0f, "speed \"   0.0kt\""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Events events;
        FakePlaybackWindow window(events);
        r.handler(window, r.text.data(), static_cast<int>(r.text.size()), r.scale);
        EXPECT_EQ(events, Events{r.event});
    }
}

TEST(AviationFieldTable, FirstExactLetterWins) {
    struct Row {
        unsigned char letter;
        int width;
        ReadoutHandler handler;
    };
    const Row found[] = {
        {'z', 5, nullptr},   {'A', 7, nullptr},        {'D', 3, ShowSpeed},
        {'E', 5, ShowRange}, {'K', 5, ShowWaypointId}, {'L', 4, nullptr},
        {'l', 6, nullptr},   {'w', 17, nullptr},       {'T', 9, nullptr},
    };
    for (const auto& r : found) {
        SCOPED_TRACE(r.letter);
        const AviationField* f = FindAviationField(r.letter);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->width, r.width);
        EXPECT_EQ(f->handler, r.handler);
    }
    EXPECT_FLOAT_EQ(FindAviationField('E')->scale, 0.1f);
    for (const unsigned char letter : {'d', 'e', 'k', 'Z', 'N', 'a', '\0', '\xff', '\x02'})
        EXPECT_EQ(FindAviationField(letter), nullptr) << int(letter);
}

struct ReadoutRig {
    Events events;
    FakePlaybackWindow window{events};
    NmeaReadout readout{window};
};

TEST(NmeaReadout, GprmbFields) {
    struct Row {
        const char* line;
        Events events;
    };
    const Row rows[] = {
        {"$GPRMB,A,0.66,L,WPT1,DST,4917.24,N,12309.57,W,1.3,052.5,150.0,V*07",
         {"waypoint \"DST\"", "range \"  1.30nm\""}},
        {"$GPRMB,A,0.66,L,WPT1,,4917.24,N,12309.57,W,1.3,052.5,150.0,V*07", {"range \"  1.30nm\""}},
        {"$GPRMB,A,0.66,L,WPT1,DST,4917.24,N,12309.57,W,,052.5", {"waypoint \"DST\""}},
        {"$GPRMB,A,0.66,L,WPT1,DST,4917.24,N,12309.57,W,1.3", {"waypoint \"DST\""}},
        {"$GPRMB,A,0.66,L,WPT1,DST", {}},
        {"$GPRMB,A,0.66,L,WPT1,DST,", {"waypoint \"DST\""}},
        {"$GPRMB,A,0.66,L,WPT1,DST,1,2,3,4,X,", {"waypoint \"DST\"", "range \"  0.00nm\""}},
        {"$GPRMB,A,0.66", {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.line);
        ReadoutRig rig;
        rig.readout.GprmbReadout(r.line);
        EXPECT_EQ(rig.events, r.events);
        EXPECT_EQ(rig.readout.SpeedTimeFactor, 3600);
    }
}

std::string Rmb(const char* range) {
    return std::string("$GPRMB,A,0.66,L,WPT1,,4917.24,N,12309.57,W,") + range + ",052.5,150.0,V";
}

TEST(NmeaReadout, CalculatedSpeedSequence) {
    struct Row {
        const char* name;
        int seconds;
        std::vector<std::string> lines;
        Events calcs;
    };
    const Row rows[] = {
        {"1.4 1.3 1.2",
         1,
         {Rmb("1.4"), Rmb("1.3"), Rmb("1.2")},
         {"calc \"-4680.0kt\"", "calc \" 360.0kt\""}},
        // The sentence without a range adds its factor to the next computation.
        {"three fields between",
         1,
         {Rmb("2.0"), Rmb("1.9"), "$GPRMB,A,1", Rmb("1.8")},
         {"calc \"-6840.0kt\"", "calc \" 720.0kt\""}},
        {"7 s tick",
         7,
         {Rmb("1.4"), Rmb("1.3"), Rmb("1.2")},
         {"calc \"-668.2kt\"", "calc \"  51.4kt\""}},
        {"100 s tick",
         100,
         {Rmb("5"), Rmb("5"), Rmb("4")},
         {"calc \"-180.0kt\"", "calc \"  36.0kt\""}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ReadoutRig rig;
        rig.window.seconds = r.seconds;
        for (const auto& line : r.lines)
            rig.readout.GprmbReadout(line);
        Events calcs;
        for (const auto& e : rig.events) {
            if (e.rfind("calc ", 0) == 0)
                calcs.push_back(e);
        }
        EXPECT_EQ(calcs, r.calcs);
        EXPECT_EQ(rig.readout.SpeedTimeFactor, 3600 / r.seconds);
    }
}

TEST(NmeaReadout, GprmcSpeedField) {
    struct Row {
        const char* line;
        Events events;
    };
    const Row rows[] = {
        {"$GPRMC,123519,A,4807.038,N,01131.000,E,0.5,084.4,230394,003.1,W*6A",
         {"speed \"   0.5kt\""}},
        {"$GPRMC,123519,A,4807.038,N,01131.000,E,,084.4,230394", {}},
        {"$GPRMC,123519,A,4807.038,N,01131.000,E,", {"speed \"   0.0kt\""}},
        {"$GPRMC,123519,A,4807.038,N,01131.000,E,12.5*3A", {"speed \"  12.5kt\""}},
        {"$GPRMC,123519,A,4807.038,N,01131.000,E", {}},
        {"$GPRMC,123519,A,4807.038,N,01131.000,E,fast,", {"speed \"   0.0kt\""}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.line);
        ReadoutRig rig;
        rig.readout.GprmcReadout(r.line);
        EXPECT_EQ(rig.events, r.events);
        EXPECT_EQ(rig.readout.SpeedTimeFactor, 0);
    }
}

} // namespace
