#pragma once
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "control/ControlProtocol.h"

class Emulator;

// One timed step of a scenario: a request of the control protocol, a ramp of a number of
// `set`, or the end of the run.
struct ScenarioStep {
    enum class Kind { Request, Ramp, End };
    Kind kind = Kind::Request;
    double at = 0.0;
    int line = 0;
    nlohmann::json request; // Request
    std::string field;      // Ramp: xte, track or speed
    std::optional<double> from;
    double to = 0.0;
    double over = 0.0;
};

struct Scenario {
    std::string port;                // empty: the command line's
    double period = 1.0;             // seconds between ticks
    std::vector<ScenarioStep> steps; // in time order
};

// Reads and checks a scenario file: every step is checked as the control socket would
// check it, before anything runs. Returns "FILE:LINE: what is wrong", or nothing.
std::string LoadScenario(const std::string& path, Scenario& out);
// The same, from text; `name` stands for the file in messages.
std::string ParseScenario(const std::string& text, const std::string& name, Scenario& out);

// Plays a scenario on the tick grid: a step at T seconds applies from the tick T / period
// after the start (the first tick is 0), so the steps keep to the ticks and never drift.
class ScenarioPlayer {
public:
    ScenarioPlayer(const Scenario& scenario, ControlProtocol& protocol);

    // Before tick `served` (the ticks served so far): the steps due by then, and the ramps'
    // values. Returns "line N: refusal" when the engine refused a step, else nothing.
    std::string beforeTick(std::uint64_t served);
    // True once the end is reached: an `end` step, or the last step with no ramp running.
    bool ended(std::uint64_t served) const;

private:
    struct Running {
        std::string field;
        double from, to;
        std::uint64_t start, ticks;
    };

    const Scenario& scenario;
    ControlProtocol& protocol;
    ClientState client;
    std::size_t next = 0;
    std::vector<Running> ramps;
    std::optional<std::uint64_t> endTick;
};
