#include <clocale>
#include <cmath>
#include <gtest/gtest.h>

#include "formats/AviationRecord.h"
#include "formats/Checksum.h"
#include "formats/CouplerSentences.h"
#include "formats/Echo.h"
#include "formats/FieldNumber.h"
#include "formats/FixSentences.h"
#include "formats/NmeaSentences.h"
#include "formats/NumberText.h"
#include "formats/RecordFaults.h"

namespace {

const std::string Rmc = "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*2F";

SimulatorValues valuesOf(OutputFormat format, XteMode mode, float xte, float tenths, float speed) {
    return {
        .format = format, .xteValue = xte, .trackTenths = tenths, .speed = speed, .xteMode = mode};
}

// The rows give the fields that change and the checksum; v3 adds the mode indicator "A".
TEST(NmeaSentences, OneSentenceEachRow) {
    using enum OutputFormat;
    using enum XteMode;
    // clang-format off
    const std::tuple<OutputFormat, XteMode, float, const char*, const char*> rmb[] = {
        {NmeaV3, Left, 0, "1.250,R", "40"}, {NmeaV2, Left, 0, "1.250,R", "2D"},
        {NmeaV2, Centre, 0, "0.000,L", "35"}, {NmeaV2, Right, 0, "1.250,L", "33"},
        {NmeaV3, Value, 2.5f, "2.500,L", "5F"}, {NmeaV2, Value, 0, "0.000,L", "35"},
        {NmeaV2, Value, -9.99f, "9.990,R", "22"},
    };
    const std::tuple<OutputFormat, float, float, const char*, const char*> rmc[] = {
        {NmeaV3, 0, 150, "150.0,000.0", "2F"}, {NmeaV2, 0, 150, "150.0,000.0", "42"},
        {NmeaV3, 900, 500, "500.0,090.0", "27"}, {NmeaV2, 3599, 5, "  5.0,359.9", "45"},
    };
    // clang-format on
    for (const auto& [format, mode, xte, fields, sum] : rmb)
        EXPECT_EQ(BuildRmbSentence(valuesOf(format, mode, xte, 0, 150)),
                  std::string("$GPRMB,A,") + fields +
                      ",AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A" +
                      (format == NmeaV3 ? ",A*" : "*") + sum);
    for (const auto& [format, tenths, speed, fields, sum] : rmc)
        EXPECT_EQ(BuildRmcSentence(valuesOf(format, Left, 0, tenths, speed)),
                  std::string("$GPRMC,115622.34,A,37.45,N,122.67,W,") + fields + ",061195,7.0,E" +
                      (format == NmeaV3 ? ",A*" : "*") + sum);
    // Outside the stored range the track is held at its ends.
    EXPECT_EQ(TrackDegrees(valuesOf(NmeaV3, Left, 0, 3601, 0)), 360.0);
    EXPECT_EQ(TrackDegrees(valuesOf(NmeaV3, Left, 0, -5, 0)), 0.0);
}

// Records use a point whatever the locale the window runs under (fuzz_numbers runs the number
// texts under a comma locale).
TEST(NmeaSentences, PointUnderACommaLocale) {
    const SimulatorValues v = valuesOf(OutputFormat::NmeaV3, XteMode::Value, 2.5f, 0, 150);
    const std::string inC = BuildRmbSentence(v);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "de_DE.UTF-8 locale not installed";
    EXPECT_EQ(BuildRmbSentence(v), inC);
    std::setlocale(LC_ALL, "C");
}

TEST(AviationRecord, FieldsFromValues) {
    using M = XteMode;
    struct Row {
        bool course, heading;
        M mode;
        float xte, tenths, speed;
        const char *c, *d, *g;
    };
    // clang-format off
    const Row rows[] = {
        {true, true, M::Left, 0, 0, 150, "000", "150", "L0125"},
        {true, true, M::Centre, 0, 0, 150, "000", "150", "R0000"},
        {true, true, M::Value, -9.99f, 0, 150, "000", "150", "L0998"},
        {true, true, M::Value, 0.70f, 0, 150, "000", "150", "R0069"}, // 0.69999999 as a float
        {true, true, M::Value, 0.75f, 0, 150, "000", "150", "R0075"},
        {true, true, M::Left, 0, 5, 5.5f, "000", "005", "L0125"},
        {true, true, M::Left, 0, 3599, 500, "359", "500", "L0125"},
        {true, false, M::Left, 0, 900, 150, "---", "---", "L0125"},
        {false, true, M::Left, 0, 900, 150, "090", "150", "-----"},
    };
    // clang-format on
    for (const Row& r : rows) {
        const SimulatorValues v{r.course, r.heading, OutputFormat::Aviation, r.xte, r.tenths,
                                r.speed,  r.mode};
        EXPECT_EQ(BuildAviationRecord(v), std::string("\x02") + "AN 99 3456\rBW 444 4322\rC" + r.c +
                                              "\rD" + r.d + "\rE00003\rG" + r.g + "\rI3333\r\x03");
    }
}

// The commands' own tests send the rest; these are the encodings they do not reach.
TEST(CouplerSentences, BothLayouts) {
    using C = CouplerCommand;
    // command, value, standard layout, compatible layout (nullptr: the standard one all the same)
    const std::tuple<C, std::int32_t, const char*, const char*> rows[] = {
        {C::Cal, -25, "$PZCAL,25,N*0D", "$PZCAL25,N*21"},
        {C::Cal, 0, "$PZCAL,0,P*24", "$PZCAL0,P*08"},
        {C::Cal, INT32_MIN, "$PZCAL,2147483648,N*0F", "$PZCAL2147483648,N*23"},
        {C::Dim, 10, "$PZDIM,10*67", "$PZDIM10,*67"},
        {C::Tst, 1, "$PZTST,1*44", "$PZTST1,*44"},
        {C::Eqp, 0, "$PZEQP,0*52", nullptr},
        {C::Mxd, 20, "$PZMXD,20*75", nullptr},
    };
    for (const auto& [command, value, standard, compat] : rows) {
        EXPECT_EQ(BuildCouplerSentence(command, value, false), standard);
        EXPECT_EQ(BuildCouplerSentence(command, value, true), compat ? compat : standard);
    }
}

// A few of the rule's cases: fuzz_numbers holds it to an oracle.
TEST(NumberText, PicturesRoundHalfAwayFromZeroOnTheShortestText) {
    const std::tuple<double, bool, int, const char*> rows[] = {
        {1.25, true, 1, "1.3"},   {0.125, true, 2, "0.13"}, {2.5, false, 0, "3"},
        {-1.25, true, 1, "-1.3"}, {9.95, true, 1, "10.0"},  {0.7, true, 2, "0.70"},
        {-0.04, true, 1, "0.0"},
    };
    for (const auto& [value, asFloat, decimals, text] : rows)
        EXPECT_EQ(asFloat ? FormatPicture(static_cast<float>(value), decimals)
                          : FormatPicture(value, decimals),
                  text)
            << value;
}

// A record field's number: hex, inf and nan are not numbers here; reading stops where the
// number does.
TEST(FieldNumber, ReadsWhatANumberStartsWith) {
    const std::pair<const char*, double> rows[] = {
        {"  -12.5x", -12.5}, {"7e-x", 7.0}, {"1,5", 1.0}, {"0x10", 0.0}, {"inf", 0.0}};
    for (const auto& [text, value] : rows)
        EXPECT_DOUBLE_EQ(FieldNumber(text), value) << text;
    // Beyond a double: its size, not the sign of the exponent, decides between 0 and infinity.
    const std::string zeros(400, '0');
    for (const std::string& huge : {std::string("1e999"), "1" + zeros + "e-5", "-1" + zeros})
        EXPECT_TRUE(std::isinf(FieldNumber(huge))) << huge.size();
    for (const std::string& tiny :
         {std::string("1e-999"), "0." + zeros + "1", "0." + zeros + "1e5"})
        EXPECT_EQ(FieldNumber(tiny), 0.0) << tiny.size();
}

TEST(Checksum, AppendedAndRewritten) {
    char buf[32] = "$PZGAN,3";
    EXPECT_STREQ(AppendChecksum(buf, buf + 8), "$PZGAN,3*5D");
    std::string s = "$GPRMB,X*00";
    RewriteChecksum(s, *ChecksumPosition(s));
    EXPECT_EQ(s, "$GPRMB,X*3E");
    EXPECT_FALSE(ChecksumPosition("$GPRMB,X*0"));
    EXPECT_EQ(EchoText(" ~\x7f\x80\xff\x02"), " ~\\x7f\\x80\\xff\\x02");
}

// Every added sentence in the tick's order, in both versions: v3 adds the mode indicator to
// GLL, VTG, APB, XTE and BWC only. The second row sets a position and time of its own, so
// the sky, the date and the hemispheres move with them.
TEST(FixSentences, AllOfThemInBothVersions) {
    using namespace std::chrono;
    SimulatorValues startUp = valuesOf(OutputFormat::NmeaV3, XteMode::Left, 0, 0, 150);
    startUp.sentences = AllSentences;
    SimulatorValues south = valuesOf(OutputFormat::NmeaV2, XteMode::Value, -2.5f, 50, 5.5f);
    south.sentences = AllSentences;
    south.positionSet = true;
    south.position = {-33.8568, 151.2153};
    const std::tuple<SimulatorValues, system_clock::time_point, std::vector<std::string>> rows[] = {
        {startUp,
         FixedFixTime(),
         {"$GPGGA,115622.34,37.45,N,122.67,W,1,08,0.9,15.0,M,-32.0,M,,*66",
          "$GPGLL,37.45,N,122.67,W,115622.34,A,A*7A", "$GPVTG,0.0,T,353.0,M,150.0,N,277.8,K,A*28",
          "$GPZDA,115622.34,06,11,1995,00,00*60",
          "$GPGSA,A,3,02,05,07,10,13,18,24,29,,,,,1.6,0.9,1.3*39",
          "$GPGSV,2,1,08,02,16,272,33,05,20,317,34,07,42,002,38,10,69,047,43*77",
          "$GPGSV,2,2,08,13,84,092,46,18,79,137,45,24,56,182,41,29,29,227,35*7F",
          "$GPAPB,A,A,1.250,R,N,A,V,8.8,T,BBBB,8.8,T,8.8,T,A*70", "$GPXTE,A,A,1.250,R,N,A*2B",
          "$GPBWC,115622.34,37.567,N,122.23,W,8.8,T,1.8,M,9.9,N,BBBB,A*6F",
          "$GPBOD,8.8,T,1.8,M,BBBB,AAAA*4E"}},
        {south,
         system_clock::time_point(milliseconds(1709251198250)),
         {"$GPGGA,235958.25,3351.4080,S,15112.9180,E,1,08,0.9,15.0,M,-32.0,M,,*61",
          "$GPGLL,3351.4080,S,15112.9180,E,235958.25,A*10", "$GPVTG,5.0,T,358.0,M,5.5,N,10.2,K*76",
          "$GPZDA,235958.25,29,02,2024,00,00*6C",
          "$GPGSA,A,3,02,05,07,10,13,18,24,29,,,,,1.6,0.9,1.3*39",
          "$GPGSV,2,1,08,02,76,150,45,05,51,195,40,07,25,240,35,10,15,285,33*76",
          "$GPGSV,2,2,08,13,26,330,35,18,51,015,40,24,76,060,45,29,85,105,47*7D",
          "$GPAPB,A,A,2.500,R,N,A,V,8.8,T,BBBB,8.8,T,8.8,T*1C", "$GPXTE,A,A,2.500,R,N*47",
          "$GPBWC,235958.25,37.567,N,122.23,W,8.8,T,1.8,M,9.9,N,BBBB*01",
          "$GPBOD,8.8,T,1.8,M,BBBB,AAAA*4E"}},
    };
    for (const auto& [values, time, expected] : rows)
        EXPECT_EQ(BuildFixSentences(values, time), expected);
    // $GPRMC carries a set position the same way.
    EXPECT_EQ(BuildRmcSentence(south),
              "$GPRMC,115622.34,A,3351.4080,S,15112.9180,E,  5.5,005.0,061195,7.0,E*47");
    SimulatorValues some = startUp;
    some.sentences = SentenceBit(Sentence::XTE) | SentenceBit(Sentence::GGA);
    EXPECT_EQ(BuildFixSentences(some, FixedFixTime()),
              (std::vector<std::string>{std::get<2>(rows[0])[0], std::get<2>(rows[0])[8]}));
}

TEST(FixSentences, NamesReadAsASet) {
    std::string error;
    EXPECT_EQ(ParseSentenceNames("vtg,GGA,gga", error),
              SentenceBit(Sentence::GGA) | SentenceBit(Sentence::VTG));
    EXPECT_EQ(ParseSentenceNames("", error), SentenceSet{0});
    EXPECT_EQ(SentenceNames(AllSentences), "GGA,GLL,VTG,ZDA,GSA,GSV,APB,XTE,BWC,BOD");
    for (const char* bad : {"RMC", "GGA,", "GGA,,VTG", "GG"}) {
        error.clear();
        EXPECT_FALSE(ParseSentenceNames(bad, error)) << bad;
        EXPECT_NE(error.find("unknown sentence"), std::string::npos) << bad;
    }
}

// Hand-computed on a sphere of 6371008.8 m: one nautical mile is 0.99932' of arc.
TEST(FixSentences, GreatCircleMovesAndDegreeMinuteFields) {
    const std::tuple<FixPosition, double, double, const char*> rows[] = {
        {{0, 0}, 90, 1852, "0000.0000,N,00000.9993,E"},
        {{37.45, -122.67}, 0, 111120, "3826.9595,N,12240.2000,W"},
        {{-45, 0}, 180, 1852, "4500.9993,S,00000.0000,E"},
        {{10, 179.999}, 90, 1000, "1000.0000,N,17959.5121,W"}, // over the date line
    };
    for (const auto& [from, track, metres, fields] : rows) {
        const FixPosition to = MoveAlongGreatCircle(from, track, metres);
        EXPECT_EQ(LatitudeFields(to.latitude) + ',' + LongitudeFields(to.longitude), fields);
    }
    EXPECT_EQ(LatitudeFields(59.999999999), "6000.0000,N"); // minutes carry into degrees
    EXPECT_EQ(LatitudeFields(-1e-10), "0000.0000,N");       // no south of nothing
}

// Each added sentence with a validity field says invalid its own way; the others pass as
// they are.
TEST(RecordFaults, InvalidFlagsTheAddedSentences) {
    SimulatorValues v = valuesOf(OutputFormat::NmeaV3, XteMode::Left, 0, 0, 150);
    v.sentences = AllSentences;
    const std::vector<std::string> sent = BuildFixSentences(v, FixedFixTime());
    std::vector<std::string> expected = sent;
    expected[0] = "$GPGGA,115622.34,37.45,N,122.67,W,0,08,0.9,15.0,M,-32.0,M,,*67";
    expected[1] = "$GPGLL,37.45,N,122.67,W,115622.34,V,A*6D";
    expected[4] = "$GPGSA,A,1,02,05,07,10,13,18,24,29,,,,,1.6,0.9,1.3*3B";
    expected[7] = "$GPAPB,V,A,1.250,R,N,A,V,8.8,T,BBBB,8.8,T,8.8,T,A*67";
    expected[8] = "$GPXTE,V,A,1.250,R,N,A*3C";
    for (std::size_t i = 0; i < sent.size(); ++i)
        EXPECT_EQ(WithStatusInvalid(sent[i]), expected[i]);
}

// The other faults' bytes are the fault filter's rows.
TEST(RecordFaults, LiveTimeOnALeapDayAndGarbage) {
    const std::chrono::system_clock::time_point utc(std::chrono::milliseconds(1709251198250));
    EXPECT_EQ(WithLiveTime(Rmc, utc),
              "$GPRMC,235958.25,A,37.45,N,122.67,W,150.0,000.0,290224,7.0,E,A*29");
    EXPECT_EQ(WithLiveTime("$PZGAN,3*5D", utc), "$PZGAN,3*5D");
    EXPECT_EQ(GarbageLine(7).find_first_of("$*\r\n\x02\x03"), std::string::npos);
}

} // namespace
