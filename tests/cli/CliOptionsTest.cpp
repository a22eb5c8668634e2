#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/Ramp.h"

namespace {

struct Parsed {
    std::optional<int> status;
    CliOptions options;
    std::string out, err;
};

Parsed parse(std::vector<std::string> args) {
    args.insert(args.begin(), "tarrow-cli");
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    Parsed p;
    std::ostringstream out, err;
    p.status = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), p.options, out, err);
    p.out = out.str();
    p.err = err.str();
    return p;
}

TEST(Ramp, ValueAtEachTick) {
    struct Row {
        Ramp ramp;
        long long tick;
        double period, value;
    } rows[] = {
        {{0, 10, 5}, 0, 1, 0},      {{0, 10, 5}, 1, 1, 2},     {{0, 10, 5}, 5, 1, 10},
        {{0, 10, 5}, 9, 1, 10},     {{10, 0, 2}, 1, 0.5, 7.5}, {{-1, 1, 1}, 3, 0.25, 0.5},
        {{350, 370, 4}, 2, 1, 360}, {{1, 1, 3}, 7, 1, 1},
    };
    for (const Row& r : rows)
        EXPECT_DOUBLE_EQ(r.ramp.at(r.tick, r.period), r.value) << r.tick;
}

TEST(Ramp, ParsesFromToSeconds) {
    struct Row {
        const char* text;
        bool ok;
        double from, to, seconds;
    } rows[] = {
        {"0:10:5", true, 0, 10, 5},   {"-0.5:+0.5:0.2", true, -0.5, 0.5, 0.2},
        {"1e1:2:3", true, 10, 2, 3},  {"0:10:0", false, 0, 0, 0},
        {"0:10:-1", false, 0, 0, 0},  {"0:10", false, 0, 0, 0},
        {"0:10:5:1", false, 0, 0, 0}, {"a:10:5", false, 0, 0, 0},
        {"0,5:10:5", false, 0, 0, 0}, {"0:nan:5", false, 0, 0, 0},
    };
    for (const Row& r : rows) {
        const auto ramp = ParseRamp(r.text);
        ASSERT_EQ(ramp.has_value(), r.ok) << r.text;
        if (ramp) {
            EXPECT_EQ(ramp->from, r.from) << r.text;
            EXPECT_EQ(ramp->to, r.to) << r.text;
            EXPECT_EQ(ramp->seconds, r.seconds) << r.text;
        }
    }
}

TEST(CliOptions, PortsAndRates) {
    struct Row {
        std::vector<std::string> args;
        int port;
        std::string device;
        int baudChoice;
    } rows[] = {
        {{"simulate"}, 1, "", 0},
        {{"--port", "COM3", "simulate"}, 3, "", 0},
        {{"simulate", "--port", "com2:"}, 2, "", 0},
        {{"simulate", "--port", "COM5"}, 1, "COM5", 0},
        {{"simulate", "--port", "/dev/ttyACM0", "--baud", "19200"}, 1, "/dev/ttyACM0", 3},
        {{"--port", "tcp:10110", "--baud", "9600", "flow", "2"}, 1, "tcp:10110", 2},
        {{"coupler", "offset", "1", "--port", "pty", "--baud", "4800"}, 1, "pty", 1},
    };
    for (const Row& r : rows) {
        const Parsed p = parse(r.args);
        ASSERT_FALSE(p.status) << p.err;
        EXPECT_EQ(p.options.portNumber, r.port) << r.args.back();
        EXPECT_EQ(p.options.device, r.device) << r.args.back();
        EXPECT_EQ(p.options.baudChoice, r.baudChoice) << r.args.back();
    }
}

TEST(CliOptions, SimulatorChoices) {
    const Parsed p = parse({"simulate", "--format", "aviation", "--xte-ramp", "1:2:3", "--track",
                            "12.5", "--no-heading", "--duration", "4", "--period", "0.5"});
    ASSERT_FALSE(p.status) << p.err;
    const CliOptions& o = p.options;
    EXPECT_EQ(o.command, CliCommand::Simulate);
    EXPECT_EQ(o.formatItem, 2);
    EXPECT_EQ(o.xteMode, XteMode::Value); // a ramp implies the Value mode
    EXPECT_FALSE(o.xteValue);
    EXPECT_EQ(o.xteRamp->to, 2.0);
    EXPECT_EQ(o.track, 12.5);
    EXPECT_FALSE(o.speed);
    EXPECT_TRUE(o.noHeading);
    EXPECT_FALSE(o.noCourse);
    EXPECT_EQ(o.durationSeconds, 4.0);
    EXPECT_FALSE(o.ticks);
    EXPECT_EQ(o.periodSeconds, 0.5);

    const Parsed centre = parse({"simulate", "--xte", "Center"});
    ASSERT_FALSE(centre.status) << centre.err;
    EXPECT_EQ(centre.options.xteMode, XteMode::Centre);
    EXPECT_FALSE(centre.options.xteValue);
}

TEST(CliOptions, ReplayChoices) {
    const Parsed avi =
        parse({"replay", TARROW_TEST_DATA_DIR "/playback/one_record.avi", "--trigger", "gpRmc",
               "--records", "100", "--loop", "--json", "--ticks", "7"});
    ASSERT_FALSE(avi.status) << avi.err;
    EXPECT_EQ(avi.options.command, CliCommand::Replay);
    EXPECT_FALSE(avi.options.fileTypeNmea); // from the name
    EXPECT_EQ(avi.options.trigger, "GPRMC");
    EXPECT_EQ(avi.options.records, 100);
    EXPECT_TRUE(avi.options.loop && avi.options.json);
    EXPECT_EQ(avi.options.ticks, 7);

    const Parsed typed =
        parse({"replay", TARROW_TEST_DATA_DIR "/playback/one_record.avi", "--type", "nmea"});
    ASSERT_FALSE(typed.status) << typed.err;
    EXPECT_TRUE(typed.options.fileTypeNmea);
    EXPECT_EQ(typed.options.trigger, "GPRMB");
    EXPECT_EQ(typed.options.records, 25);
}

TEST(CliOptions, BadArgumentsNameWhatIsWrong) {
    struct Row {
        std::vector<std::string> args;
        const char* named;
    } rows[] = {
        {{}, "A subcommand is required"},
        {{"simulate", "--format", "v4"}, "--format"},
        {{"simulate", "--xte", "up"}, "--xte"},
        {{"simulate", "--period", "0"}, "--period"},
        {{"simulate", "--period", "100"}, "--period"},
        {{"simulate", "--ticks", "2", "--duration", "2"}, "--ticks"},
        {{"simulate", "--xte", "1", "--xte-ramp", "0:1:2"}, "--xte"},
        {{"simulate", "--speed-ramp", "0:1"}, "--speed-ramp"},
        {{"replay"}, "FILE"},
        {{"replay", "/nonexistent/file.nmea"}, "FILE"},
        {{"replay", TARROW_TEST_DATA_DIR "/playback/one_record.avi", "--records", "0"},
         "--records"},
        {{"coupler", "offset", "1.5"}, "COUNTS"},
        {{"coupler", "offset", "2147483648"}, "COUNTS"},
        {{"coupler", "course-gain", "3"}, "NM"},
        {{"coupler", "heading-gain", "4"}, "FACTOR"},
        {{"coupler", "type", "oak"}, "TYPE"},
        {{"coupler", "anticipation", "128"}, "VALUE"},
        {{"coupler", "max-angle", "-1"}, "DEGREES"},
        {{"coupler", "max-time", "21"}, "SECONDS"},
        {{"coupler", "tilt", "1"}, "tilt"},
        {{"coupler", "--compatibility"}, "COMMAND"},
        {{"simulate", "--baud", "300"}, "--baud"},
        {{"flow"}, "RATE"},
        {{"simulate", "--fault", "repeat:1"}, "--fault"},
        {{"replay", TARROW_TEST_DATA_DIR "/playback/one_record.avi", "--fault", "loud"}, "--fault"},
    };
    for (const Row& r : rows) {
        const Parsed p = parse(r.args);
        EXPECT_EQ(p.status, 2) << r.named;
        EXPECT_NE(p.err.find(r.named), std::string::npos) << p.err;
        EXPECT_EQ(p.err.rfind("tarrow-cli: ", 0), 0u) << p.err;
        EXPECT_NE(p.err.find("Usage: tarrow-cli"), std::string::npos) << p.err;
    }
}

TEST(CliOptions, HelpAndVersionEndWithStatus0) {
    const Parsed version = parse({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "tarrow-cli " TARROW_VERSION "\n");
    const Parsed help = parse({"coupler", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("virtual-waypoints"), std::string::npos);
}

} // namespace
