#include <clocale>
#include <cmath>
#include <gtest/gtest.h>

#include "formats/AviationRecord.h"
#include "formats/Checksum.h"
#include "formats/CouplerSentences.h"
#include "formats/Echo.h"
#include "formats/FieldNumber.h"
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

// The other faults' bytes are the fault filter's rows.
TEST(RecordFaults, LiveTimeOnALeapDayAndGarbage) {
    const std::chrono::system_clock::time_point utc(std::chrono::milliseconds(1709251198250));
    EXPECT_EQ(WithLiveTime(Rmc, utc),
              "$GPRMC,235958.25,A,37.45,N,122.67,W,150.0,000.0,290224,7.0,E,A*29");
    EXPECT_EQ(WithLiveTime("$PZGAN,3*5D", utc), "$PZGAN,3*5D");
    const std::string garbage = GarbageLine(7);
    EXPECT_EQ(garbage, GarbageLine(7));
    EXPECT_EQ(garbage.find_first_of("$*\r\n\x02\x03"), std::string::npos);
}

} // namespace
