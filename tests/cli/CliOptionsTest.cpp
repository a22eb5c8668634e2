#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "cli/Ramp.h"
#include "core/engine/EngineRig.h"
#include "core/pages/FakeWindow.h"
#include "formats/AviationRecord.h"
#include "formats/NmeaSentences.h"

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

    // The name decides in any case: X.AVI is Aviation, X.NMEA and a name without one NMEA.
    TempDir dir;
    for (const auto& [name, nmea] :
         {std::pair("X.AVI", false), std::pair("X.NMEA", true), std::pair("avi", true)}) {
        std::ofstream(dir.path / name) << "";
        const Parsed p = parse({"replay", (dir.path / name).string()});
        ASSERT_FALSE(p.status) << p.err;
        EXPECT_EQ(p.options.fileTypeNmea, nmea) << name;
    }
}

TEST(CliOptions, CouplerArguments) {
    using A = CouplerAction;
    const std::tuple<std::vector<std::string>, A, std::int32_t, bool> rows[] = {
        {{"offset", "--", "-12"}, A::Offset, -12, false},
        {{"--compatibility", "offset", "+5"}, A::Offset, 5, true},
        {{"dim", "none"}, A::Dim, DimNone, false},
        {{"dim", "3"}, A::Dim, 3, false},
        {{"dim", "Volt"}, A::Dim, DimVolt, false},
        {{"dim", "sensor"}, A::Dim, DimSensor, false},
        {{"course-gain", "2.5"}, A::CourseGain, 1, false},
        {{"heading-gain", "2.0"}, A::HeadingGain, 3, false},
        {{"type", "Birch-II"}, A::Type, 1, false},
        {{"brightness", "bright"}, A::Brightness, 1, false},
        {{"virtual-waypoints", "20"}, A::VirtualWaypoints, 20, false},
        {{"anticipation", "127"}, A::Anticipation, 127, false},
        {{"max-angle", "90"}, A::MaxAngle, 90, false},
        {{"max-time", "0"}, A::MaxTime, 0, false},
    };
    for (const auto& [args, action, value, compat] : rows) {
        std::vector<std::string> all{"coupler"};
        all.insert(all.end(), args.begin(), args.end());
        const Parsed p = parse(all);
        ASSERT_FALSE(p.status) << p.err;
        EXPECT_EQ(p.options.command, CliCommand::Coupler);
        EXPECT_EQ(p.options.coupler.action, action) << args.back();
        EXPECT_EQ(p.options.coupler.value, value) << args.back();
        EXPECT_EQ(p.options.compatibility, compat) << args.back();
    }
}

// A number given on the command line and the same number typed into the window's edit leave
// the same bytes on the wire, in every format.
TEST(CliOptions, SameNumbersAsTheWindowSameRecords) {
    const std::tuple<const char*, const char*, Control> rows[] = {
        {"--xte", "-12", Control::EB_Value},      {"--xte", "0.125", Control::EB_Value},
        {"--xte", "9.995", Control::EB_Value},    {"--xte", "0.7", Control::EB_Value},
        {"--xte", "-0.005", Control::EB_Value},   {"--track", "-0.05", Control::EB_Track},
        {"--track", "359.95", Control::EB_Track}, {"--track", "720.3", Control::EB_Track},
        {"--track", "1e300", Control::EB_Track},  {"--track", "12.37", Control::EB_Track},
        {"--speed", "150.44", Control::EB_Speed}, {"--speed", "600", Control::EB_Speed},
        {"--speed", "-5", Control::EB_Speed},     {"--speed", "0.05", Control::EB_Speed},
    };
    for (const auto& [option, number, edit] : rows) {
        for (const char* format : {"v2", "v3", "aviation"}) {
            SCOPED_TRACE(std::string(option) + " " + number + " " + format);
            const Parsed p = parse({"simulate", "--format", format, option, number});
            ASSERT_FALSE(p.status) << p.err;
            EngineRig cli;
            ApplySimulatorOptions(cli.e, p.options);

            EngineRig window;
            FakeWindow w;
            SimulatorPage page(window.e, w);
            w.checked[Control::BTN_Course] = w.checked[Control::BTN_Heading] = true;
            page.FormActivate();
            w.items[Control::GroupFormat] = p.options.formatItem;
            page.GroupFormatClick();
            w.items[Control::GroupXTE] = static_cast<int>(XteMode::Value);
            if (edit == Control::EB_Value)
                page.GroupXTEClick();
            w.texts[edit] = number;
            edit == Control::EB_Value   ? page.EB_ValueExit()
            : edit == Control::EB_Track ? page.EB_TrackExit()
                                        : page.EB_SpeedExit();

            const SimulatorValues &a = cli.e.simulator().values(),
                                  &b = window.e.simulator().values();
            EXPECT_EQ(BuildRmbSentence(a), BuildRmbSentence(b));
            EXPECT_EQ(BuildRmcSentence(a), BuildRmcSentence(b));
            EXPECT_EQ(BuildAviationRecord(a), BuildAviationRecord(b));
        }
    }
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
