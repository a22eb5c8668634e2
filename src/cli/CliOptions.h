#pragma once
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>

#include "cli/Ramp.h"
#include "engine/FaultFilter.h"
#include "engine/Replay.h"
#include "formats/Navigation.h"

enum class CliCommand { Simulate, Replay, Coupler, Flow, Serve, Run };

// The Calibrate dialog's Apply buttons, one per coupler setting.
enum class CouplerAction {
    Offset,
    Dim,
    CourseGain,
    HeadingGain,
    Type,
    Brightness,
    VirtualWaypoints,
    Anticipation,
    MaxAngle,
    MaxTime,
};

// What the Dim group sends when no level is chosen.
inline constexpr std::int32_t DimNone = -1;
inline constexpr std::int32_t DimVolt = -2;
inline constexpr std::int32_t DimSensor = -3;

struct CouplerRequest {
    CouplerAction action = CouplerAction::Offset;
    // Offset: counts. Dim: a level 0..9 or DimNone, DimVolt, DimSensor. Gains, type and
    // brightness: the row of the dialog's group. Camlink settings: the number.
    std::int32_t value = 0;
};

// Everything the command line asked for; defaults are the window's start-up values.
struct CliOptions {
    CliCommand command = CliCommand::Simulate;

    // The port: COM1..COM4 through the settings file, or a device of its own for COM1.
    int portNumber = 1;
    std::string device;          // empty: what [Devices] maps the port to
    std::uint8_t baudChoice = 0; // 0 auto, else an index of SerialLink::BaudRates
    bool echo = false;
    bool quiet = false;
    bool json = false;
    FaultSettings faults; // live time included

    double periodSeconds = 1.0;
    std::optional<long long> ticks;
    std::optional<double> durationSeconds;

    // simulate
    int formatItem = 1; // GroupFormat: 0 v2, 1 v3, 2 Aviation
    std::optional<XteMode> xteMode;
    std::optional<double> xteValue;
    std::optional<double> track;
    std::optional<double> speed;
    bool noCourse = false;
    bool noHeading = false;
    std::optional<Ramp> xteRamp;
    std::optional<Ramp> trackRamp;
    std::optional<Ramp> speedRamp;
    SentenceSet sentences = 0;                         // added after $GPRMB and $GPRMC
    std::optional<std::pair<double, double>> position; // latitude, longitude in degrees
    bool move = false;

    // replay
    std::string file;
    bool fileTypeNmea = true;
    std::string trigger = "GPRMB";
    int records = 25;
    bool loop = false;
    bool allSentences = false;
    ReplayPace pace = ReplayPace::Ticks;

    // coupler
    CouplerRequest coupler;
    bool compatibility = false;

    // flow
    double flowRate = 10.0;

    // simulate, replay, serve, run: the control socket's address ("" for the default)
    std::optional<std::string> control;
    // run
    std::string scenario;
    bool checkOnly = false;
    bool portGiven = false;      // --port wins over the scenario's port
    double scenarioPeriod = 0.0; // 0: the scenario's own; else the same ticks, this far apart
};

// Parses the command line. Returns the exit status when the program is to end at once
// (0 after --help or --version, 2 with a message on `err` for bad arguments); nothing when
// the command is to run.
std::optional<int> ParseCommandLine(int argc, const char* const* argv, CliOptions& options,
                                    std::ostream& out, std::ostream& err);
