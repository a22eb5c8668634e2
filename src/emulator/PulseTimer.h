#pragma once
#include <functional>
#include <thread>

#include "emulator/DeadlineSchedule.h"
#include "emulator/FuelFlow.h"
#include "serial/Handover.h"

// The fuel-flow timer: calls `edge` on a thread of its own at absolute deadlines on the
// monotonic clock, one period apart, while enabled. Nothing on the window's thread (playback,
// writes, dialogs) can hold an edge back.
class PulseTimer : public FlowTimer {
public:
    explicit PulseTimer(std::function<void()> edge);
    ~PulseTimer() override;
    PulseTimer(const PulseTimer&) = delete;
    PulseTimer& operator=(const PulseTimer&) = delete;

    // Enabling starts a new grid one period from now; disabling stops the edges before it
    // returns. A new period while enabled starts a new grid at once, as a restarted timer.
    void setEnabled(bool enabled) override;
    void setPeriod(int milliseconds) override;
    bool enabled() const;
    int period() const;

private:
    void run();

    std::function<void()> edge;
    mutable PulseControl control;
    std::thread thread;
};
