// The command-line runner's argument parsing: any argument list either runs with options
// inside their ranges, or ends with status 0 (help, version) or 2 and a message naming what is
// wrong, followed by the usage.
//
// Input: the arguments, separated by zero bytes.
#include <cmath>
#include <sstream>

#include "FuzzSupport.h"
#include "cli/CliOptions.h"

namespace {

bool finite(const std::optional<double>& v) { return !v || std::isfinite(*v); }

bool rampOk(const std::optional<Ramp>& r) {
    return !r || (std::isfinite(r->from) && std::isfinite(r->to) &&
                  std::isfinite(r->to - r->from) && std::isfinite(r->seconds) && r->seconds > 0.0);
}

// The values each coupler action takes, in the order of CouplerAction.
constexpr std::int32_t Lowest[] = {INT32_MIN, DimSensor, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr std::int32_t Highest[] = {INT32_MAX, 9, 3, 3, 2, 1, 20, 127, 90, 20};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 2048)
        return 0;
    std::vector<std::string> args{"tarrow-cli"};
    for (std::string_view a : fuzzsupport::split({reinterpret_cast<const char*>(data), size}, '\0'))
        args.emplace_back(a);
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
        const std::string e = err.str();
        FUZZ_CHECK(*status == 0 ? !out.str().empty()
                                : e.starts_with("tarrow-cli: ") &&
                                      e.find("Usage: tarrow-cli") != std::string::npos);
        // What is wrong fits a line, however long the numbers it speaks of: the input's own
        // text and short bounds.
        FUZZ_CHECK(*status == 0 || e.find('\n') < 200 + 2 * size);
        return 0;
    }
    FUZZ_CHECK(o.portNumber >= 1 && o.portNumber <= 4 && o.baudChoice <= 3);
    FUZZ_CHECK(o.periodSeconds >= 0.001 && o.periodSeconds <= 99.0); // what the run loop takes
    FUZZ_CHECK((!o.ticks || *o.ticks >= 1) &&
               (!o.durationSeconds || (*o.durationSeconds > 0.0 && *o.durationSeconds <= 1e9)));
    FUZZ_CHECK(o.formatItem >= 0 && o.formatItem <= 2 && o.records >= 1 && o.records <= 100);
    FUZZ_CHECK(rampOk(o.xteRamp) && rampOk(o.trackRamp) && rampOk(o.speedRamp));
    FUZZ_CHECK(finite(o.xteValue) && finite(o.track) && finite(o.speed) && finite(o.flowRate));
    const auto action = static_cast<std::size_t>(o.coupler.action);
    FUZZ_CHECK(o.command != CliCommand::Coupler ||
               (o.coupler.value >= Lowest[action] && o.coupler.value <= Highest[action]));
    // The faults accepted read back as the same settings from their own words.
    FaultSettings again;
    for (const std::string& w : FaultWords(o.faults))
        FUZZ_CHECK(AddFault(w, again).empty());
    again.liveTime = o.faults.liveTime;
    FUZZ_CHECK(again == o.faults);
    return 0;
}
