#pragma once
#include "engine/CommandResult.h"

class FlowTimer;

// The fuel-flow output: a square wave on RTS, one edge per FlowTimer tick, whose period
// follows the flow value. It runs whether output is paused or not, on either page.
class FuelFlow {
public:
    explicit FuelFlow(FlowTimer& timer);

    // Held to [0.1, 10.0] and stored as a 32-bit float; the timer's period follows it.
    CommandResult setFlow(double value);
    // Off leaves RTS where the last edge left it; on resumes from that level.
    void setEnabled(bool on);

    float fuelFlow() const { return flow; }
    bool enabled() const { return on; }

    // 22 / flow milliseconds, truncated: one RTS edge per period.
    static int FlowPeriod(float fuelFlow);

private:
    FlowTimer& timer;
    float flow = 10.0f;
    bool on = false;
};
