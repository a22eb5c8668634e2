#include <clocale>
#include <gtest/gtest.h>

#include "core/Fakes.h"
#include "emulator/NmeaSentences.h"
#include "serial/NmeaChecksum.h"
#include "serial/TransmitLine.h"

namespace {

struct SentenceRow {
    const char* name;
    OutputFormat format;
    XteMode mode;
    float xteValue;
    float trackTenths;
    float speed;
    const char* rmb;
    const char* rmc;
};

const SentenceRow Rows[] = {
    {"startup v3", OutputFormat::NmeaV3, XteMode::Left, 0.0f, 0.0f, 150.0f,
     "$GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*40",
     "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*2F"},
    {"startup v2", OutputFormat::NmeaV2, XteMode::Left, 0.0f, 0.0f, 150.0f,
     "$GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*2D",
     "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E*42"},
    {"centre v2", OutputFormat::NmeaV2, XteMode::Centre, 0.0f, 0.0f, 150.0f,
     "$GPRMB,A,0.000,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*35", nullptr},
    {"value 2.5 v3", OutputFormat::NmeaV3, XteMode::Value, 2.5f, 0.0f, 150.0f,
     "$GPRMB,A,2.500,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*5F", nullptr},
    {"value -0.5 v3", OutputFormat::NmeaV3, XteMode::Value, -0.5f, 0.0f, 150.0f,
     "$GPRMB,A,0.500,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*43", nullptr},
    {"speed 500 track 90", OutputFormat::NmeaV3, XteMode::Left, 0.0f, 900.0f, 500.0f, nullptr,
     "$GPRMC,115622.34,A,37.45,N,122.67,W,500.0,090.0,061195,7.0,E,A*27"},
    {"speed 5 track 359.9", OutputFormat::NmeaV2, XteMode::Left, 0.0f, 3599.0f, 5.0f, nullptr,
     "$GPRMC,115622.34,A,37.45,N,122.67,W,  5.0,359.9,061195,7.0,E*45"},
    {"value 0 steers L", OutputFormat::NmeaV2, XteMode::Value, 0.0f, 0.0f, 150.0f,
     "$GPRMB,A,0.000,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*35", nullptr},
    {"value 9.99", OutputFormat::NmeaV2, XteMode::Value, 9.99f, 0.0f, 150.0f,
     "$GPRMB,A,9.990,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*3C", nullptr},
    {"value -9.99", OutputFormat::NmeaV2, XteMode::Value, -9.99f, 0.0f, 150.0f,
     "$GPRMB,A,9.990,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*22", nullptr},
    {"right", OutputFormat::NmeaV2, XteMode::Right, 0.0f, 0.0f, 150.0f,
     "$GPRMB,A,1.250,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*33", nullptr},
};

EmulatorState stateFor(const SentenceRow& row) {
    EmulatorState s;
    s.format = row.format;
    s.xteMode = row.mode;
    s.xteValue = row.xteValue;
    s.trackTenths = row.trackTenths;
    s.speed = row.speed;
    return s;
}

TEST(NmeaSentences, TableOfSentences) {
    for (const auto& row : Rows) {
        SCOPED_TRACE(row.name);
        const EmulatorState s = stateFor(row);
        if (row.rmb) {
            EXPECT_EQ(BuildRmbSentence(s), row.rmb);
        }
        if (row.rmc) {
            EXPECT_EQ(BuildRmcSentence(s), row.rmc);
        }
    }
}

TEST(NmeaSentences, PointUnderCommaLocale) {
    const char* set = std::setlocale(LC_ALL, "de_DE.UTF-8");
    if (!set)
        GTEST_SKIP() << "de_DE.UTF-8 locale not installed";
    EmulatorState s;
    s.xteMode = XteMode::Value;
    s.xteValue = 2.5f;
    EXPECT_EQ(BuildRmbSentence(s),
              "$GPRMB,A,2.500,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*5F");
    EXPECT_EQ(BuildRmcSentence(s),
              "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*2F");
    std::setlocale(LC_ALL, "C");
}

TEST(NmeaSentences, TrackDegreesOutsideInvariant) {
    EmulatorState s;
    s.trackTenths = 3601.0f;
    EXPECT_EQ(TrackDegrees(s), 360.0);
    s.trackTenths = -5.0f;
    EXPECT_EQ(TrackDegrees(s), 0.0);
    s.trackTenths = 3600.0f;
    EXPECT_EQ(TrackDegrees(s), 360.0);
}

TEST(NmeaSentences, ChecksumInPlace) {
    char buf[32] = "$PZGAN,3";
    AppendChecksum(buf, buf + 8);
    EXPECT_STREQ(buf, "$PZGAN,3*5D");
    char empty[8] = "$";
    AppendChecksum(empty, empty + 1);
    EXPECT_STREQ(empty, "$*00");
}

TEST(NmeaSentences, FlagsChooseSentencesAndCrLfFollowsEach) {
    struct Row {
        bool course, heading;
        std::vector<std::string> lines;
    };
    const Row rows[] = {
        {true, true,
         {"$GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*40",
          "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*2F"}},
        {false, true, {"$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*2F"}},
        {true, false, {"$GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*40"}},
        {false, false, {}},
    };
    for (const auto& row : rows) {
        EmulatorState s;
        s.courseOn = row.course;
        s.headingOn = row.heading;
        s.portHandle = 3;
        FakeSink sink;
        FakeTerminal term;
        TerminalLog log{&term};
        Transmitter tx(s, sink, log);
        SendNmeaSentences(s, tx);
        EXPECT_EQ(term.lines, row.lines);
        std::vector<std::string> wire;
        for (const auto& l : row.lines)
            wire.push_back(l + "\r\n");
        EXPECT_EQ(sink.records, wire);
    }
}

} // namespace
