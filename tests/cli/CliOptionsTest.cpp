// The command line's mapping: what each argument sets, what is refused and how it says so,
// and that its numbers give the same records as the window's.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "core/engine/EngineRig.h"
#include "core/pages/FakeWindow.h"
#include "formats/AviationRecord.h"
#include "formats/NmeaSentences.h"

namespace {

struct Parsed {
    std::optional<int> status; // none: run on
    CliOptions options;
    std::string out, err;
};

// The words of `line` as the arguments; the word "@" stands for `file`.
Parsed parse(const std::string& line, const std::string& file = "") {
    std::vector<std::string> args{"tarrow-cli"};
    std::istringstream words(line);
    for (std::string word; words >> word;)
        args.push_back(word == "@" ? file : word);
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

// FROM:TO:SECONDS, one step a tick, held at TO.
TEST(Ramp, ValueAtEachTick) {
    const std::tuple<const char*, long long, double, double> rows[] = {
        {"0:10:5", 1, 1, 2},      {"0:10:5", 9, 1, 10},          {"10:0:2", 1, 0.5, 7.5},
        {"-1:1:1", 3, 0.25, 0.5}, {"-0.5:+0.5:0.2", 0, 1, -0.5}, {"1e1:2:3", 3, 1, 2}};
    for (const auto& [text, tick, period, value] : rows)
        EXPECT_DOUBLE_EQ(ParseRamp(text).value().at(tick, period), value) << text;
}

TEST(CliOptions, PortsAndRates) {
    // clang-format off
    const std::tuple<const char*, int, std::string, int> rows[] = {
        {"simulate", 1, "", 0}, {"--port COM3 simulate", 3, "", 0},
        {"simulate --port com2:", 2, "", 0}, {"simulate --port COM5", 1, "COM5", 0},
        {"simulate --port /dev/ttyACM0 --baud 19200", 1, "/dev/ttyACM0", 3},
        {"--port tcp:10110 --baud 9600 flow 2", 1, "tcp:10110", 2},
        {"coupler offset 1 --port pty --baud 4800", 1, "pty", 1}};
    // clang-format on
    for (const auto& [args, port, device, baud] : rows) {
        const Parsed p = parse(args);
        ASSERT_FALSE(p.status) << p.err;
        EXPECT_EQ(std::tuple(p.options.portNumber, p.options.device, int{p.options.baudChoice}),
                  std::tuple(port, device, baud))
            << args;
    }
}

TEST(CliOptions, SimulatorChoices) {
    const Parsed p = parse("simulate --format aviation --xte Center --no-heading --duration 4");
    ASSERT_FALSE(p.status) << p.err;
    const CliOptions& o = p.options;
    EXPECT_EQ(std::tuple(o.formatItem, o.xteMode, o.noHeading, o.durationSeconds),
              std::tuple(2, std::optional(XteMode::Centre), true, std::optional(4.0)));
    EXPECT_FALSE(o.xteValue || o.speed || o.ticks || o.noCourse || o.sentences || o.position ||
                 o.move);
    const Parsed added = parse("simulate --sentences gsv,GGA --position -33.5,+151.25 --move");
    ASSERT_FALSE(added.status) << added.err;
    EXPECT_EQ(std::tuple(added.options.sentences, added.options.position, added.options.move),
              std::tuple(SentenceSet(SentenceBit(Sentence::GGA) | SentenceBit(Sentence::GSV)),
                         std::optional(std::pair(-33.5, 151.25)), true));
}

// Without --type the name decides, in any case: X.AVI is Aviation, X.NMEA and a name without
// an extension NMEA. The trigger is matched in capitals.
TEST(CliOptions, ReplayTypeAndTrigger) {
    TempDir dir;
    // clang-format off
    const std::tuple<const char*, const char*, bool, ReplayPace, bool> rows[] = {
        {"X.AVI", "", false, ReplayPace::Ticks, false}, {"X.NMEA", " --pace none", true, ReplayPace::None, false},
        {"avi", " --all-sentences --pace file", true, ReplayPace::File, true},
        {"x.avi", " --type nmea", true, ReplayPace::Ticks, false}};
    // clang-format on
    for (const auto& [name, more, nmea, pace, all] : rows) {
        std::ofstream(dir.path / name) << "";
        const Parsed p =
            parse(std::string("replay @ --trigger gpRmc") + more, (dir.path / name).string());
        ASSERT_FALSE(p.status) << p.err;
        const CliOptions& o = p.options;
        EXPECT_EQ(std::tuple(o.fileTypeNmea, o.trigger, o.pace, o.allSentences),
                  std::tuple(nmea, "GPRMC", pace, all))
            << name;
    }
}

TEST(CliOptions, CouplerArguments) {
    using A = CouplerAction;
    // clang-format off
    const std::tuple<const char*, A, std::int32_t> rows[] = {
        {"offset -- -12", A::Offset, -12}, {"--compatibility offset +5", A::Offset, 5},
        {"dim none", A::Dim, DimNone}, {"dim 3", A::Dim, 3}, {"dim Volt", A::Dim, DimVolt},
        {"dim sensor", A::Dim, DimSensor}, {"course-gain 2.5", A::CourseGain, 1},
        {"heading-gain 2.0", A::HeadingGain, 3}, {"type Birch-II", A::Type, 1},
        {"brightness bright", A::Brightness, 1}, {"virtual-waypoints 20", A::VirtualWaypoints, 20},
        {"anticipation 127", A::Anticipation, 127}, {"max-angle 90", A::MaxAngle, 90},
        {"max-time 0", A::MaxTime, 0}};
    // clang-format on
    for (const auto& [args, action, value] : rows) { // "--compatibility" first: the mode on
        const Parsed p = parse(std::string("coupler ") + args);
        ASSERT_FALSE(p.status) << p.err;
        EXPECT_EQ(std::tuple(p.options.command, p.options.coupler.action, p.options.coupler.value,
                             p.options.compatibility),
                  std::tuple(CliCommand::Coupler, action, value, args[0] == '-'))
            << args;
    }
}

// A number given on the command line and the same number typed into the window's edit leave
// the same bytes on the wire, in every format.
TEST(CliOptions, SameNumbersAsTheWindowSameRecords) {
    // clang-format off
    const std::pair<const char*, const char*> rows[] = {
        {"--xte", "-12"}, {"--xte", "0.125"}, {"--xte", "9.995"}, {"--xte", "0.7"},
        {"--xte", "-0.005"}, {"--track", "-0.05"}, {"--track", "359.95"}, {"--track", "720.3"},
        {"--track", "1e300"}, {"--track", "12.37"}, {"--speed", "150.44"}, {"--speed", "600"},
        {"--speed", "-5"}, {"--speed", "0.05"}};
    // clang-format on
    const auto records = [](const SimulatorValues& v) {
        return BuildRmbSentence(v) + BuildRmcSentence(v) + BuildAviationRecord(v);
    };
    for (const auto& [option, number] : rows) {
        const Control edit = option[2] == 'x'   ? Control::EB_Value
                             : option[2] == 't' ? Control::EB_Track
                                                : Control::EB_Speed;
        for (const char* format : {"v2", "v3", "aviation"}) {
            SCOPED_TRACE(std::string(option) + " " + number + " " + format);
            const Parsed p =
                parse(std::string("simulate --format ") + format + " " + option + " " + number);
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
            EXPECT_EQ(records(cli.e.simulator().values()), records(window.e.simulator().values()));
        }
    }
}

// Help and version end with status 0; a bad argument with status 2, the program's name, what
// is wrong in one short line (bounds as written, not as a double's expansion), and the usage.
TEST(CliOptions, StatusesAndWhatTheySay) {
    // clang-format off
    const std::tuple<const char*, int, const char*> rows[] = {
        {"--version", 0, "tarrow-cli " TARROW_VERSION "\n"},
        {"coupler --help", 0, "virtual-waypoints"}, {"", 2, "A subcommand is required"},
        {"simulate --format v4", 2, "--format"}, {"simulate --xte up", 2, "--xte"},
        {"simulate --period 100", 2, "--period"},
        {"simulate --period 0.0005", 2, "--period: '0.0005' is not a period in 0.001..99 seconds"},
        {"simulate --duration nan", 2, "--duration: 'nan' is not a duration in (0, 1e9] seconds"},
        {"simulate --duration 0", 2, "(0, 1e9]"}, {"replay @ --duration 1e10", 2, "--duration"},
        {"flow 2 --duration -inf", 2, "--duration"}, {"simulate --track inf", 2, "--track"},
        {"simulate --xte nan", 2, "--xte"}, {"flow 1e999", 2, "RATE"},
        {"simulate --xte-ramp=-1e308:1e308:10", 2, "--xte-ramp"},
        {"simulate --ticks 0", 2, "--ticks"},
        {"simulate --ticks 2 --duration 2", 2, "--ticks"},
        {"simulate --xte 1 --xte-ramp 0:1:2", 2, "--xte"},
        {"simulate --speed-ramp 0:1", 2, "--speed-ramp"},
        {"simulate --xte-ramp 0:10:0", 2, "--xte-ramp"},
        {"simulate --track-ramp 0,5:10:5", 2, "--track-ramp"},
        {"simulate --speed-ramp 0:nan:5", 2, "--speed-ramp"}, {"simulate --baud 300", 2, "--baud"},
        {"simulate --fault repeat:1", 2, "--fault"}, {"replay", 2, "FILE"},
        {"replay /nonexistent/file.nmea", 2, "FILE"}, {"replay @ --records 0", 2, "--records"},
        {"coupler offset 1.5", 2, "COUNTS"}, {"coupler offset 2147483648", 2, "COUNTS"},
        {"coupler course-gain 3", 2, "NM"}, {"coupler heading-gain 4", 2, "FACTOR"},
        {"coupler type oak", 2, "TYPE"}, {"coupler anticipation 128", 2, "VALUE"},
        {"coupler max-angle -1", 2, "DEGREES"}, {"coupler max-time 21", 2, "SECONDS"},
        {"coupler tilt 1", 2, "tilt"}, {"coupler --compatibility", 2, "COMMAND"},
        {"flow", 2, "RATE"}, {"simulate --sentences GGA,RMC", 2, "unknown sentence 'RMC'"},
        {"simulate --position 90.5,0", 2, "--position"}, {"simulate --position 1", 2, "LAT,LON"},
        {"simulate --position 0,nan", 2, "--position"}, {"replay @ --pace fast", 2, "--pace"}};
    // clang-format on
    for (const auto& [args, status, named] : rows) {
        const Parsed p = parse(args, TARROW_TEST_DATA_DIR "/playback/one_record.avi");
        EXPECT_EQ(p.status, status) << args;
        const std::string& said = status == 0 ? p.out : p.err;
        EXPECT_NE(said.find(named), std::string::npos) << said;
        EXPECT_TRUE(status == 0 || (p.err.starts_with("tarrow-cli: ") && p.err.find('\n') < 160 &&
                                    p.err.find("Usage: tarrow-cli") != std::string::npos))
            << p.err;
    }
}

// --control takes its address after "=", or none for the default; serve always listens.
TEST(CliOptions, ControlSocketAddresses) {
    // clang-format off
    const std::tuple<const char*, std::optional<int>, std::optional<std::string>> rows[] = {
        {"simulate", std::nullopt, std::nullopt},
        {"simulate --control", std::nullopt, ""},
        {"simulate --control=tcp:7070", std::nullopt, "tcp:7070"},
        {"replay @ --control=unix:/tmp/x/c", std::nullopt, "unix:/tmp/x/c"},
        {"serve", std::nullopt, ""},
        {"serve --control=tcp:0.0.0.0:7070", std::nullopt, "tcp:0.0.0.0:7070"},
        {"run @ --check", std::nullopt, std::nullopt},
        {"simulate --control=http:80", 2, std::nullopt},
        {"serve --control=tcp:port", 2, std::nullopt},
        {"serve --control=unix:", 2, std::nullopt},
    };
    // clang-format on
    for (const auto& [args, status, control] : rows) {
        const Parsed p = parse(args, TARROW_TEST_DATA_DIR "/playback/one_record.avi");
        EXPECT_EQ(p.status, status) << args << p.err;
        EXPECT_TRUE(!status || p.err.find("--control") != std::string::npos) << p.err;
        if (!status) {
            EXPECT_EQ(p.options.control, control) << args;
        }
    }
}

} // namespace
