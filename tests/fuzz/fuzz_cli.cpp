// The command-line runner's argument parsing: any argument list either runs with options
// inside their ranges, or ends with status 0 (help, version) or 2 and a message naming what is
// wrong, followed by the usage.
//
// Input: the arguments, separated by zero bytes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "cli/CliOptions.h"

namespace {

bool rampOk(const std::optional<Ramp>& r) {
    return !r || (std::isfinite(r->from) && std::isfinite(r->to) && std::isfinite(r->seconds) &&
                  r->seconds > 0.0);
}

std::int32_t highestValue(CouplerAction a) {
    switch (a) {
    case CouplerAction::Dim:
        return 9;
    case CouplerAction::CourseGain:
    case CouplerAction::HeadingGain:
        return 3;
    case CouplerAction::Type:
        return 2;
    case CouplerAction::Brightness:
        return 1;
    case CouplerAction::VirtualWaypoints:
    case CouplerAction::MaxTime:
        return 20;
    case CouplerAction::Anticipation:
        return 127;
    case CouplerAction::MaxAngle:
        return 90;
    case CouplerAction::Offset:
    default:
        return INT32_MAX;
    }
}

std::int32_t lowestValue(CouplerAction a) {
    switch (a) {
    case CouplerAction::Offset:
        return INT32_MIN;
    case CouplerAction::Dim:
        return DimSensor;
    default:
        return 0;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 2048)
        return 0;
    std::vector<std::string> args{"tarrow-cli"};
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    args.push_back(current);
    if (args.size() > 24)
        return 0;
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());

    CliOptions o;
    std::ostringstream out, err;
    const std::optional<int> status =
        ParseCommandLine(static_cast<int>(argv.size()), argv.data(), o, out, err);

    if (status) {
        FUZZ_CHECK(*status == 0 || *status == 2);
        if (*status == 2) {
            const std::string e = err.str();
            FUZZ_CHECK(e.rfind("tarrow-cli: ", 0) == 0);
            FUZZ_CHECK(e.find("Usage: tarrow-cli") != std::string::npos);
        } else {
            FUZZ_CHECK(!out.str().empty());
        }
        return 0;
    }
    FUZZ_CHECK(o.portNumber >= 1 && o.portNumber <= 4);
    FUZZ_CHECK(o.baudChoice <= 3);
    FUZZ_CHECK(o.periodSeconds > 0.0 && o.periodSeconds <= 99.0);
    FUZZ_CHECK(!o.ticks || *o.ticks >= 1);
    FUZZ_CHECK(!o.durationSeconds || *o.durationSeconds > 0.0);
    FUZZ_CHECK(o.formatItem >= 0 && o.formatItem <= 2);
    FUZZ_CHECK(o.records >= 1 && o.records <= 100);
    FUZZ_CHECK(rampOk(o.xteRamp) && rampOk(o.trackRamp) && rampOk(o.speedRamp));
    FUZZ_CHECK(!o.xteValue || std::isfinite(*o.xteValue));
    FUZZ_CHECK(!o.track || std::isfinite(*o.track));
    FUZZ_CHECK(!o.speed || std::isfinite(*o.speed));
    FUZZ_CHECK(std::isfinite(o.flowRate));
    if (o.command == CliCommand::Coupler)
        FUZZ_CHECK(o.coupler.value >= lowestValue(o.coupler.action) &&
                   o.coupler.value <= highestValue(o.coupler.action));
    // The faults accepted read back as the same settings from their own words.
    FaultSettings again;
    for (const std::string& w : FaultWords(o.faults))
        FUZZ_CHECK(AddFault(w, again).empty());
    again.liveTime = o.faults.liveTime;
    FUZZ_CHECK(again == o.faults);
    return 0;
}
