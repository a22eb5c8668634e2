#include "engine/FuelFlow.h"

#include <cmath>

#include "formats/NumberText.h"
#include "line/PulseTimer.h"

namespace {
constexpr float MaxFlow = 10.0f;
constexpr float MinFlow = 0.1f; // just above 0.1, so a stored limit passes unchanged
} // namespace

FuelFlow::FuelFlow(FlowTimer& t) : timer(t) {}

int FuelFlow::FlowPeriod(float fuelFlow) {
    // The float nearest 0.1 lies just above it, so 0.1 gives 219 ms, not 220.
    return static_cast<int>(22.0 / static_cast<double>(fuelFlow));
}

CommandResult FuelFlow::setFlow(double value) {
    if (!std::isfinite(value))
        return CommandResult::Refused("Not a finite number", "Error");
    float f = SaturatedFloat(value);
    if (f > MaxFlow)
        f = MaxFlow;
    else if (static_cast<double>(f) < 0.1)
        f = MinFlow;
    flow = f;
    timer.setPeriod(FlowPeriod(flow));
    return {};
}

void FuelFlow::setEnabled(bool enabled) {
    on = enabled;
    timer.setEnabled(enabled);
}
