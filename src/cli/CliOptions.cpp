#include "cli/CliOptions.h"

#include "control/ControlServer.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <ostream>
#include <vector>

#include "formats/FixSentences.h"

namespace {

constexpr const char* Program = "tarrow-cli";
constexpr const char* Usage =
    "Usage: tarrow-cli [--port PORT] [--baud RATE] [--echo] [--quiet] COMMAND ...\n"
    "Commands: simulate, replay FILE, coupler COMMAND VALUE, flow RATE, serve, run FILE.\n"
    "Run 'tarrow-cli --help' or 'tarrow-cli COMMAND --help' for more.\n";

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// COM1 .. COM4, with or without the colon, in any case; 0 for anything else.
int portNumberOf(const std::string& text) {
    std::string t = lower(text);
    if (!t.empty() && t.back() == ':')
        t.pop_back();
    if (t.size() == 4 && t.compare(0, 3, "com") == 0 && t[3] >= '1' && t[3] <= '4')
        return t[3] - '0';
    return 0;
}

// The row of `text` among the dialog's captions of a group, read as numbers so that
// "2.5" chooses the "2.50" row; -1 when it is none of them.
template <std::size_t N>
int rowOfNumber(const std::string& text, const std::array<double, N>& rows) {
    const auto value = ParseNumber(text);
    for (std::size_t i = 0; value && i < N; ++i)
        if (*value == rows[i])
            return static_cast<int>(i);
    return -1;
}

constexpr std::array<double, 4> CourseGains{1.25, 2.5, 5.0, 10.0};
constexpr std::array<double, 4> HeadingGains{0.25, 0.5, 1.0, 2.0};

int dimValueOf(const std::string& text) {
    const std::string t = lower(text);
    if (t == "none")
        return DimNone;
    if (t == "volt")
        return DimVolt;
    if (t == "sensor")
        return DimSensor;
    if (t.size() == 1 && t[0] >= '0' && t[0] <= '9')
        return t[0] - '0';
    return DimSensor - 1; // none of the choices
}

CLI::Validator rampText() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            return ParseRamp(text) ? ""
                                   : "'" + text +
                                         "' is not FROM:TO:SECONDS with SECONDS above 0 and a "
                                         "finite TO - FROM";
        },
        "FROM:TO:SECONDS");
}

CLI::Validator xteText() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            const std::string t = lower(text);
            if (t == "left" || t == "centre" || t == "center" || t == "right" || ParseNumber(text))
                return "";
            return "'" + text + "' is not left, centre, right or a number of NM";
        },
        "left|centre|right|NM");
}

CLI::Validator sentenceList() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            std::string error;
            return ParseSentenceNames(text, error) ? "" : error;
        },
        "GGA,VTG,...");
}

// "LAT,LON" in degrees, north and east positive.
std::optional<std::pair<double, double>> parsePosition(const std::string& text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos)
        return std::nullopt;
    const auto lat = ParseNumber(text.substr(0, comma));
    const auto lon = ParseNumber(text.substr(comma + 1));
    if (!lat || !lon || *lat < -90.0 || *lat > 90.0 || *lon < -180.0 || *lon > 180.0)
        return std::nullopt;
    return std::pair(*lat, *lon);
}

CLI::Validator positionText() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            return parsePosition(text)
                       ? ""
                       : "'" + text + "' is not LAT,LON in degrees (-90..90, -180..180)";
        },
        "LAT,LON");
}

// A number of seconds in lo..hi; the bounds are said as written here, never as a double's
// full expansion.
CLI::Validator secondsIn(double lo, double hi, const char* what, const char* range) {
    return CLI::Validator(
        [lo, hi, what, range](std::string& text) -> std::string {
            const auto v = ParseNumber(text);
            return v && *v >= lo && *v <= hi
                       ? ""
                       : "'" + text + "' is not " + what + " in " + range + " seconds";
        },
        "SECONDS");
}

// The engine's run loop takes no shorter period.
CLI::Validator periodSeconds() { return secondsIn(0.001, 99.0, "a period", "0.001..99"); }

// A run of up to about 31 years: longer would not be a test, and the clock's count holds it.
CLI::Validator durationSeconds() {
    return secondsIn(std::numeric_limits<double>::denorm_min(), 1e9, "a duration", "(0, 1e9]");
}

CLI::Validator finiteNumber() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            return ParseNumber(text) ? "" : "'" + text + "' is not a number";
        },
        "NUMBER");
}

CLI::Validator choice(std::function<bool(const std::string&)> valid, std::string choices) {
    return CLI::Validator(
        [valid = std::move(valid), choices](std::string& text) -> std::string {
            return valid(text) ? "" : "'" + text + "' is not one of " + choices;
        },
        "");
}

// A whole number in lo..hi, read as the dialog's boxes would be given it: no fraction.
CLI::Validator wholeNumber(long long lo, long long hi) {
    return CLI::Validator(
        [lo, hi](std::string& text) -> std::string {
            long long value = 0;
            const char* first = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
            const char* last = text.data() + text.size();
            const auto [end, error] = std::from_chars(first, last, value);
            if (error == std::errc() && end == last && value >= lo && value <= hi)
                return "";
            const std::string range = hi == std::numeric_limits<long long>::max()
                                          ? std::to_string(lo) + " or more"
                                          : "in " + std::to_string(lo) + ".." + std::to_string(hi);
            return "'" + text + "' is not a whole number " + range;
        },
        "");
}

// How long a run lasts, as given; the options fill it after parsing.
struct Pace {
    CLI::Option* ticks = nullptr;
    CLI::Option* duration = nullptr;
    long long tickCount = 0;
    double seconds = 0.0;

    void add(CLI::App* command, CliOptions& o, bool withTicks) {
        command->add_option("--period", o.periodSeconds, "Seconds between ticks (default 1)")
            ->check(periodSeconds());
        duration = command->add_option("--duration", seconds, "Run this many seconds")
                       ->check(durationSeconds());
        if (withTicks)
            ticks = command->add_option("--ticks", tickCount, "Run this many ticks")
                        ->check(wholeNumber(1, std::numeric_limits<long long>::max()))
                        ->excludes(duration);
    }
    void fill(CliOptions& o) const {
        if (ticks && ticks->count() > 0)
            o.ticks = tickCount;
        if (duration->count() > 0)
            o.durationSeconds = seconds;
    }
};

} // namespace

std::optional<int> ParseCommandLine(int argc, const char* const* argv, CliOptions& o,
                                    std::ostream& out, std::ostream& err) {
    CLI::App app{"Tarrow on the command line: navigation records, replays, coupler sentences "
                 "and fuel-flow pulses on a serial port, without the window.",
                 Program};
    // Common options may follow the command as well as precede it.
    app.fallthrough();
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string(Program) + " " + TARROW_VERSION);

    std::string port = "COM1";
    std::string baud = "auto";
    app.add_option("--port", port,
                   "COM1..COM4, a device path, pty, tcp:[ADDRESS:]PORT or udp:HOST:PORT")
        ->capture_default_str();
    app.add_option("--baud", baud, "auto (from the format), 4800, 9600 or 19200")
        ->check(CLI::IsMember({"auto", "4800", "9600", "19200"}))
        ->capture_default_str();
    app.add_flag("--echo", o.echo, "Every record to standard output as it is sent");
    app.add_flag("--quiet", o.quiet, "No read-outs, no notes on standard error");
    std::vector<std::string> faultWords;
    app.add_option("--fault", faultWords,
                   "A deliberate fault, repeatable: checksum:N, drop:N, invalid, garbage:N, "
                   "repeat:N, cut:K, silence:S/M, no-etx, field:L")
        ->check(CLI::Validator(
            [](std::string& text) {
                FaultSettings scratch;
                return AddFault(text, scratch);
            },
            ""))
        ->allow_extra_args(false);
    app.add_flag("--live-time", o.faults.liveTime,
                 "Ticks on the UTC second (or its multiples of the period), times and dates from "
                 "the system clock");

    CLI::App* simulate = app.add_subcommand("simulate", "Send the Simulator page's records");
    std::string format = "v3";
    std::string xte;
    std::string xteRamp, trackRamp, speedRamp;
    simulate->add_option("--format", format, "v2, v3 or aviation")
        ->check(CLI::IsMember({"v2", "v3", "aviation"}))
        ->capture_default_str();
    CLI::Option* xteOption =
        simulate->add_option("--xte", xte, "left, centre, right or NM")->check(xteText());
    double track = 0.0;
    double speed = 0.0;
    CLI::Option* trackOption =
        simulate->add_option("--track", track, "Track made good, degrees")->check(finiteNumber());
    CLI::Option* speedOption =
        simulate->add_option("--speed", speed, "Ground speed, knots")->check(finiteNumber());
    simulate->add_flag("--no-course", o.noCourse, "No $GPRMB (cross-track)");
    simulate->add_flag("--no-heading", o.noHeading, "No $GPRMC (track and speed)");
    simulate->add_option("--xte-ramp", xteRamp, "Cross-track FROM:TO:SECONDS, in NM")
        ->check(rampText())
        ->excludes(xteOption);
    simulate->add_option("--track-ramp", trackRamp, "Track FROM:TO:SECONDS, in degrees")
        ->check(rampText())
        ->excludes(trackOption);
    simulate->add_option("--speed-ramp", speedRamp, "Speed FROM:TO:SECONDS, in knots")
        ->check(rampText())
        ->excludes(speedOption);
    std::string sentences, position;
    simulate
        ->add_option("--sentences", sentences,
                     "Sentences after $GPRMB and $GPRMC: any of GGA,GLL,VTG,ZDA,GSA,GSV,APB,"
                     "XTE,BWC,BOD")
        ->check(sentenceList());
    simulate
        ->add_option("--position", position,
                     "Position in degrees, north and east positive, as in 50.8,-1.3")
        ->check(positionText());
    simulate->add_flag("--move", o.move,
                       "The position moves every tick by the track and speed over the ground");
    Pace simulatePace;
    simulatePace.add(simulate, o, true);

    // The control socket: ADDRESS is optional, so it is written --control=ADDRESS when given.
    std::string control;
    const auto addControl = [&](CLI::App* command) {
        return command
            ->add_option("--control", control,
                         "Take commands on a control socket: unix:PATH or tcp:[ADDRESS:]PORT "
                         "(default: $XDG_RUNTIME_DIR/tarrow/control)")
            ->expected(0, 1)
            ->check(CLI::Validator(
                [](std::string& text) {
                    ControlAddress address;
                    return ParseControlAddress(text, address);
                },
                "ADDRESS"));
    };
    CLI::Option* simulateControl = addControl(simulate);

    CLI::App* serve = app.add_subcommand(
        "serve", "Send the Simulator page's records until stopped, taking commands on the "
                 "control socket");
    serve->add_option("--format", format, "v2, v3 or aviation")
        ->check(CLI::IsMember({"v2", "v3", "aviation"}))
        ->capture_default_str();
    CLI::Option* serveControl = addControl(serve);
    Pace servePace;
    servePace.add(serve, o, false);

    CLI::App* run = app.add_subcommand("run", "Run a scenario file of timed steps");
    run->add_option("FILE", o.scenario, "The scenario (YAML)")
        ->required()
        ->check(CLI::ExistingFile);
    run->add_flag("--check", o.checkOnly, "Check the scenario and say what is wrong; run nothing");
    run->add_option("--period", o.scenarioPeriod,
                    "Seconds between ticks instead of the scenario's; each step keeps its tick")
        ->check(periodSeconds());
    CLI::Option* runControl = addControl(run);

    CLI::App* replay = app.add_subcommand("replay", "Replay a recorded file as the File page does");
    std::string type;
    replay->add_option("FILE", o.file, "The recorded file")->required()->check(CLI::ExistingFile);
    replay->add_option("--type", type, "nmea or aviation (default: aviation for *.avi, else nmea)")
        ->check(CLI::IsMember({"nmea", "aviation"}));
    replay->add_option("--trigger", o.trigger, "Text that starts a group of lines")
        ->capture_default_str();
    replay->add_option("--records", o.records, "Records per tick, 1..100")
        ->check(wholeNumber(1, 100))
        ->capture_default_str();
    replay->add_flag("--loop", o.loop, "Start again at the end of the file");
    replay->add_flag("--all-sentences", o.allSentences,
                     "Every NMEA sentence of the file ($ or !), not only $GPRMB and $GPRMC");
    std::string pace = "ticks";
    replay
        ->add_option("--pace", pace,
                     "ticks (records per tick, 10 ms apart), file (by the RMC, GGA and ZDA "
                     "times) or none (as fast as the line takes them)")
        ->check(CLI::IsMember({"ticks", "file", "none"}))
        ->capture_default_str();
    replay->add_flag("--json", o.json, "Read-outs as one JSON object per line");
    Pace replayPace;
    replayPace.add(replay, o, true);
    CLI::Option* replayControl = addControl(replay);

    CLI::App* coupler = app.add_subcommand("coupler", "Send one \"$PZ\" sentence to the coupler");
    // At most one here, so that an unknown command is named as unexpected; none is
    // reported after parsing.
    coupler->require_subcommand(0, 1);
    coupler->add_flag("--compatibility", o.compatibility,
                      "The older coupler layout (the Calibrate dialog's Compatibility Mode)");
    std::string couplerValue;
    const auto action = [&](const char* name, CouplerAction a, const char* value,
                            const char* help) {
        CLI::App* sub = coupler->add_subcommand(name, help);
        sub->callback([&o, a] { o.coupler.action = a; });
        return sub->add_option(value, couplerValue, help)->required();
    };
    action("offset", CouplerAction::Offset, "COUNTS", "Offset in counts, signed")
        ->check(wholeNumber(-2147483648LL, 2147483647LL));
    action("dim", CouplerAction::Dim, "DIM", "none, a level 0..9 (9 dimmest), volt or sensor")
        ->check(choice([](const std::string& t) { return dimValueOf(t) >= DimSensor; },
                       "none, 0..9, volt, sensor"));
    action("course-gain", CouplerAction::CourseGain, "NM", "Course gain: 1.25, 2.50, 5.00 or 10.0")
        ->check(choice([](const std::string& t) { return rowOfNumber(t, CourseGains) >= 0; },
                       "1.25, 2.50, 5.00, 10.0"));
    action("heading-gain", CouplerAction::HeadingGain, "FACTOR",
           "Heading gain: 0.25, 0.5, 1.0 or 2.0")
        ->check(choice([](const std::string& t) { return rowOfNumber(t, HeadingGains) >= 0; },
                       "0.25, 0.5, 1.0, 2.0"));
    action("type", CouplerAction::Type, "TYPE", "Coupler type: alder, birch-ii or cedar")
        ->check(CLI::IsMember({"alder", "birch-ii", "cedar"}, CLI::ignore_case));
    action("brightness", CouplerAction::Brightness, "LEVEL", "GPS OK brightness: normal or bright")
        ->check(CLI::IsMember({"normal", "bright"}, CLI::ignore_case));
    action("virtual-waypoints", CouplerAction::VirtualWaypoints, "COUNT",
           "Virtual waypoints, 0..20 (Camlink)")
        ->check(wholeNumber(0, 20));
    action("anticipation", CouplerAction::Anticipation, "VALUE", "Anticipation, 0..127 (Camlink)")
        ->check(wholeNumber(0, 127));
    action("max-angle", CouplerAction::MaxAngle, "DEGREES", "Maximum angle, 0..90 (Camlink)")
        ->check(wholeNumber(0, 90));
    action("max-time", CouplerAction::MaxTime, "SECONDS", "Maximum time, 0..20 (Camlink)")
        ->check(wholeNumber(0, 20));

    CLI::App* flow = app.add_subcommand("flow", "Fuel-flow pulses on RTS");
    flow->add_option("RATE", o.flowRate, "Flow, 0.1 .. 10.0")->required()->check(finiteNumber());
    Pace flowPace;
    flowPace.add(flow, o, false);

    // CLI11 reads "--trigger=" as the option without its value and takes the next argument
    // for it; the shell makes that of --trigger="" too, which means the empty text.
    std::vector<std::string> args;
    for (int i = argc - 1; i >= 1; --i) {
        const std::string a = argv[i];
        if (a.size() > 3 && a.compare(0, 2, "--") == 0 && a.find('=') == a.size() - 1) {
            args.push_back("");
            args.push_back(a.substr(0, a.size() - 1));
        } else {
            args.push_back(a);
        }
    }
    try {
        app.parse(args); // in reverse order, as CLI11 takes them
        if (coupler->parsed() && coupler->get_subcommands().empty())
            throw CLI::RequiredError("coupler: a COMMAND");
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0)
            return app.exit(e, out, err);
        err << Program << ": " << e.what() << '\n' << Usage;
        return 2;
    }

    for (const std::string& w : faultWords)
        AddFault(w, o.faults);
    const int number = portNumberOf(port);
    o.portNumber = number == 0 ? 1 : number;
    o.device = number == 0 ? port : std::string();
    o.portGiven = app.get_option("--port")->count() > 0;
    o.baudChoice = baud == "4800" ? 1 : baud == "9600" ? 2 : baud == "19200" ? 3 : 0;

    if (simulate->parsed()) {
        o.command = CliCommand::Simulate;
        simulatePace.fill(o);
        if (trackOption->count() > 0)
            o.track = track;
        if (speedOption->count() > 0)
            o.speed = speed;
        o.formatItem = format == "v2" ? 0 : format == "aviation" ? 2 : 1;
        const std::string x = lower(xte);
        if (x == "left")
            o.xteMode = XteMode::Left;
        else if (x == "centre" || x == "center")
            o.xteMode = XteMode::Centre;
        else if (x == "right")
            o.xteMode = XteMode::Right;
        else if (!x.empty()) {
            o.xteMode = XteMode::Value;
            o.xteValue = ParseNumber(xte);
        }
        if (!xteRamp.empty()) {
            o.xteRamp = ParseRamp(xteRamp);
            o.xteMode = XteMode::Value;
        }
        if (!trackRamp.empty())
            o.trackRamp = ParseRamp(trackRamp);
        if (!speedRamp.empty())
            o.speedRamp = ParseRamp(speedRamp);
        std::string error;
        o.sentences = ParseSentenceNames(sentences, error).value_or(0);
        if (!position.empty())
            o.position = parsePosition(position);
    } else if (serve->parsed()) {
        o.command = CliCommand::Serve;
        servePace.fill(o);
        o.formatItem = format == "v2" ? 0 : format == "aviation" ? 2 : 1;
    } else if (run->parsed()) {
        o.command = CliCommand::Run;
    } else if (replay->parsed()) {
        o.command = CliCommand::Replay;
        replayPace.fill(o);
        const bool avi = o.file.size() >= 4 && lower(o.file.substr(o.file.size() - 4)) == ".avi";
        o.fileTypeNmea = type.empty() ? !avi : type == "nmea";
        o.pace = pace == "file"   ? ReplayPace::File
                 : pace == "none" ? ReplayPace::None
                                  : ReplayPace::Ticks;
        // The trigger edit turns what is typed into capitals.
        o.trigger = [t = o.trigger]() mutable {
            for (char& c : t)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            return t;
        }();
    } else if (coupler->parsed()) {
        o.command = CliCommand::Coupler;
        const std::string v = lower(couplerValue);
        switch (o.coupler.action) {
        case CouplerAction::Dim:
            o.coupler.value = dimValueOf(v);
            break;
        case CouplerAction::CourseGain:
            o.coupler.value = rowOfNumber(v, CourseGains);
            break;
        case CouplerAction::HeadingGain:
            o.coupler.value = rowOfNumber(v, HeadingGains);
            break;
        case CouplerAction::Type:
            o.coupler.value = v == "alder" ? 0 : v == "birch-ii" ? 1 : 2;
            break;
        case CouplerAction::Brightness:
            o.coupler.value = v == "bright" ? 1 : 0;
            break;
        default:
            std::from_chars(v.data() + (!v.empty() && v[0] == '+' ? 1 : 0), v.data() + v.size(),
                            o.coupler.value);
            break;
        }
    } else {
        o.command = CliCommand::Flow;
        flowPace.fill(o);
    }
    for (CLI::Option* c : {simulateControl, serveControl, runControl, replayControl})
        if (c->count() > 0)
            o.control = control;
    if (o.command == CliCommand::Serve && !o.control)
        o.control = std::string();
    return std::nullopt;
}
