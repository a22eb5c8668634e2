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

SimulatorValues valuesOf(OutputFormat format, XteMode mode, float xte, float tenths, float speed) {
    SimulatorValues v;
    v.format = format;
    v.xteMode = mode;
    v.xteValue = xte;
    v.trackTenths = tenths;
    v.speed = speed;
    return v;
}

TEST(NmeaSentences, OneSentenceEachRow) {
    using F = OutputFormat;
    using M = XteMode;
    struct Row {
        SimulatorValues values;
        const char* rmb; // nullptr: not looked at in this row
        const char* rmc;
    };
    const Row rows[] = {
        {valuesOf(F::NmeaV3, M::Left, 0, 0, 150),
         "$GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*40",
         "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*2F"},
        {valuesOf(F::NmeaV2, M::Left, 0, 0, 150),
         "$GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*2D",
         "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E*42"},
        {valuesOf(F::NmeaV2, M::Centre, 0, 0, 150),
         "$GPRMB,A,0.000,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*35", nullptr},
        {valuesOf(F::NmeaV2, M::Right, 0, 0, 150),
         "$GPRMB,A,1.250,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*33", nullptr},
        {valuesOf(F::NmeaV3, M::Value, 2.5f, 0, 150),
         "$GPRMB,A,2.500,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*5F", nullptr},
        {valuesOf(F::NmeaV3, M::Value, -0.5f, 0, 150),
         "$GPRMB,A,0.500,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*43", nullptr},
        {valuesOf(F::NmeaV2, M::Value, 0, 0, 150),
         "$GPRMB,A,0.000,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*35", nullptr},
        {valuesOf(F::NmeaV2, M::Value, -9.99f, 0, 150),
         "$GPRMB,A,9.990,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*22", nullptr},
        {valuesOf(F::NmeaV3, M::Left, 0, 900, 500), nullptr,
         "$GPRMC,115622.34,A,37.45,N,122.67,W,500.0,090.0,061195,7.0,E,A*27"},
        {valuesOf(F::NmeaV2, M::Left, 0, 3599, 5), nullptr,
         "$GPRMC,115622.34,A,37.45,N,122.67,W,  5.0,359.9,061195,7.0,E*45"},
    };
    for (const Row& r : rows) {
        if (r.rmb) {
            EXPECT_EQ(BuildRmbSentence(r.values), r.rmb);
        }
        if (r.rmc) {
            EXPECT_EQ(BuildRmcSentence(r.values), r.rmc);
        }
    }
    // Outside the stored range the track is held at its ends.
    EXPECT_EQ(TrackDegrees(valuesOf(F::NmeaV3, M::Left, 0, 3601, 0)), 360.0);
    EXPECT_EQ(TrackDegrees(valuesOf(F::NmeaV3, M::Left, 0, -5, 0)), 0.0);
}

// Records and read-outs use a point whatever the locale the window runs under.
TEST(NmeaSentences, PointUnderACommaLocale) {
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "de_DE.UTF-8 locale not installed";
    EXPECT_EQ(BuildRmbSentence(valuesOf(OutputFormat::NmeaV3, XteMode::Value, 2.5f, 0, 150)),
              "$GPRMB,A,2.500,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*5F");
    EXPECT_EQ(FormatFixed(-1.5, 1, 6, true), "-001.5");
    EXPECT_DOUBLE_EQ(FieldNumber("1.5"), 1.5);
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
    const Row rows[] = {
        {true, true, M::Left, 0, 0, 150, "000", "150", "L0125"},
        {true, true, M::Centre, 0, 0, 150, "000", "150", "R0000"},
        {true, true, M::Value, 9.99f, 0, 150, "000", "150", "R0998"},
        {true, true, M::Value, -9.99f, 0, 150, "000", "150", "L0998"},
        {true, true, M::Value, 0.70f, 0, 150, "000", "150", "R0069"}, // 0.69999999 as a float
        {true, true, M::Value, 0.75f, 0, 150, "000", "150", "R0075"},
        {true, true, M::Left, 0, 5, 5.5f, "000", "005", "L0125"},
        {true, true, M::Left, 0, 3599, 500, "359", "500", "L0125"},
        {true, false, M::Left, 0, 900, 150, "---", "---", "L0125"},
        {false, true, M::Left, 0, 900, 150, "090", "150", "-----"},
    };
    for (const Row& r : rows) {
        SimulatorValues v = valuesOf(OutputFormat::Aviation, r.mode, r.xte, r.tenths, r.speed);
        v.courseOn = r.course;
        v.headingOn = r.heading;
        EXPECT_EQ(BuildAviationRecord(v), std::string("\x02") + "AN 99 3456\rBW 444 4322\rC" + r.c +
                                              "\rD" + r.d + "\rE00003\rG" + r.g + "\rI3333\r\x03");
    }
}

TEST(CouplerSentences, BothLayouts) {
    using C = CouplerCommand;
    struct Row {
        C command;
        std::int32_t value;
        const char* standard;
        const char* compat; // nullptr: built in the standard layout all the same
    };
    // The commands' own tests send the rest; these are the encodings they do not reach.
    const Row rows[] = {
        {C::Cal, -25, "$PZCAL,25,N*0D", "$PZCAL25,N*21"},
        {C::Cal, 0, "$PZCAL,0,P*24", "$PZCAL0,P*08"},
        {C::Cal, INT32_MIN, "$PZCAL,2147483648,N*0F", "$PZCAL2147483648,N*23"},
        {C::Dim, 10, "$PZDIM,10*67", "$PZDIM10,*67"},
        {C::Tst, 1, "$PZTST,1*44", "$PZTST1,*44"},
        {C::Tst, 0, "$PZTST,0*45", "$PZTST0,*45"},
        {C::Eqp, 0, "$PZEQP,0*52", nullptr},
        {C::Vwp, 5, "$PZVWP,5*42", nullptr},
        {C::Mxd, 20, "$PZMXD,20*75", nullptr},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(BuildCouplerSentence(r.command, r.value, false), r.standard);
        EXPECT_EQ(BuildCouplerSentence(r.command, r.value, true), r.compat ? r.compat : r.standard);
    }
}

TEST(NumberText, PicturesRoundHalfAwayFromZeroOnTheShortestText) {
    struct Row {
        double value;
        bool asFloat;
        int decimals;
        const char* text;
    };
    const Row rows[] = {
        {1.25, true, 1, "1.3"},  {0.125, true, 2, "0.13"}, {2.5, false, 0, "3"},
        {150.4, true, 0, "150"}, {-1.25, true, 1, "-1.3"}, {9.95, true, 1, "10.0"},
        {0.7, true, 2, "0.70"},  {-0.04, true, 1, "0.0"},  {999.96, false, 1, "1000.0"},
        {-0.5, false, 0, "-1"},  {0.0, true, 1, "0.0"},    {359.9, false, 1, "359.9"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.asFloat ? FormatPicture(static_cast<float>(r.value), r.decimals)
                            : FormatPicture(r.value, r.decimals),
                  r.text)
            << r.value;
    }
    EXPECT_EQ(FormatPicture(2.5f, 2, ','), "2,50");
    EXPECT_EQ(FormatFixed(5.0, 1, 5), "  5.0");
    EXPECT_EQ(FormatFixed(9.9, 1, 5, true), "009.9");
    EXPECT_EQ(FormatFixed(1234.5, 1, 5), "1234.5");
}

// A record field's number: hex, inf and nan are not numbers here; reading stops where the
// number does.
TEST(FieldNumber, ReadsWhatANumberStartsWith) {
    const std::pair<const char*, double> rows[] = {
        {"  -12.5x", -12.5}, {"+.5", 0.5}, {"2E-1", 0.2}, {"7e-x", 7.0}, {"1,5", 1.0},
        {"1.2.3", 1.2},      {".", 0.0},   {"0x10", 0.0}, {"inf", 0.0},  {"0012.5e1", 125.0},
    };
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

TEST(RecordFaults, TransformsOfFinishedRecords) {
    const std::string rmc = "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*2F";
    const std::string rmb = "$GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*40";
    EXPECT_EQ(WithStatusInvalid(rmb),
              "$GPRMB,V,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*57");
    EXPECT_EQ(WithWrongChecksum(rmb), rmb.substr(0, rmb.size() - 2) + "BF");
    // 2024-02-29 23:59:58.25 UTC
    const auto utc =
        std::chrono::system_clock::time_point(std::chrono::milliseconds(1709251198250));
    const std::string live = WithLiveTime(rmc, utc);
    EXPECT_EQ(live.substr(0, 17), "$GPRMC,235958.25,");
    EXPECT_NE(live.find(",290224,"), std::string::npos);
    std::string rewritten = live;
    RewriteChecksum(rewritten, live.size() - 3);
    EXPECT_EQ(live, rewritten); // the checksum follows the new fields
    // Records without those fields pass unchanged.
    for (const std::string& other : {std::string("$PZGAN,3*5D"), std::string("\x02"
                                                                             "C000\r")}) {
        EXPECT_EQ(WithStatusInvalid(other), other);
        EXPECT_EQ(WithLiveTime(other, utc), other);
    }
    const std::string garbage = GarbageLine(7);
    EXPECT_EQ(garbage, GarbageLine(7));
    EXPECT_EQ(garbage.find_first_of("$*\r\n\x02\x03"), std::string::npos);
}

} // namespace
