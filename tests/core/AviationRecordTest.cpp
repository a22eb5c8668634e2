#include <gtest/gtest.h>

#include "emulator/AviationRecord.h"

namespace {

std::string record(const char* c, const char* d, const char* g) {
    return std::string("\x02") + "AN 99 3456\rBW 444 4322\rC" + c + "\rD" + d + "\rE00003\rG" + g +
           "\rI3333\r\x03";
}

TEST(AviationRecord, FieldsFromSettings) {
    struct Row {
        const char* name;
        bool course, heading;
        XteMode mode;
        float xteValue, trackTenths, speed;
        const char *c, *d, *g;
    };
    const Row rows[] = {
        {"startup", true, true, XteMode::Left, 0, 0, 150, "000", "150", "L0125"},
        {"centre", true, true, XteMode::Centre, 0, 0, 150, "000", "150", "R0000"},
        {"right", true, true, XteMode::Right, 0, 0, 150, "000", "150", "R0125"},
        {"value 9.99", true, true, XteMode::Value, 9.99f, 0, 150, "000", "150", "R0998"},
        {"value -9.99", true, true, XteMode::Value, -9.99f, 0, 150, "000", "150", "L0998"},
        {"value 0.70", true, true, XteMode::Value, 0.70f, 0, 150, "000", "150", "R0069"},
        {"value 0.75", true, true, XteMode::Value, 0.75f, 0, 150, "000", "150", "R0075"},
        {"value 2.5", true, true, XteMode::Value, 2.5f, 0, 150, "000", "150", "R0250"},
        {"track 0.5", true, true, XteMode::Left, 0, 5, 5.5f, "000", "005", "L0125"},
        {"track 359.9 speed 500", true, true, XteMode::Left, 0, 3599, 500, "359", "500",
         "L0125"},
        {"heading off", true, false, XteMode::Left, 0, 900, 150, "---", "---", "L0125"},
        {"course off", false, true, XteMode::Left, 0, 900, 150, "090", "150", "-----"},
        {"both off", false, false, XteMode::Left, 0, 0, 150, "---", "---", "-----"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EmulatorState s;
        s.courseOn = r.course;
        s.headingOn = r.heading;
        s.xteMode = r.mode;
        s.xteValue = r.xteValue;
        s.trackTenths = r.trackTenths;
        s.speed = r.speed;
        const std::string got = BuildAviationRecord(s);
        EXPECT_EQ(got, record(r.c, r.d, r.g));
        EXPECT_EQ(got.size(), 55u);
    }
}

} // namespace
