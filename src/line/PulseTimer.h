#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "line/DeadlineSchedule.h"
#include "line/Handover.h"

// FlowTimer: the periodic timer whose every tick inverts RTS.
class FlowTimer {
public:
    virtual ~FlowTimer() = default;
    virtual void setEnabled(bool enabled) = 0;
    virtual void setPeriod(int milliseconds) = 0;
};

// The pulse timer's sense of time; tests replace it to see the edges' deadlines.
class PulseClock {
public:
    virtual ~PulseClock() = default;
    virtual DeadlineSchedule::TimePoint now() = 0;
    // Waits on `changed` until `deadline` (absolute, monotonic) or a notification.
    virtual void waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                           DeadlineSchedule::TimePoint deadline) = 0;
};

// The fuel-flow timer: calls `edge` on a thread of its own at absolute deadlines on the
// monotonic clock, one period apart, while enabled. Nothing on the engine's thread (playback,
// writes, dialogs) can hold an edge back.
class PulseTimer : public FlowTimer {
public:
    explicit PulseTimer(std::function<void()> edge, PulseClock* clock = nullptr);
    ~PulseTimer() override;
    PulseTimer(const PulseTimer&) = delete;
    PulseTimer& operator=(const PulseTimer&) = delete;

    // As a timer: enabling starts a new grid one period from now and enabling a running timer
    // changes nothing; disabling stops the edges before it returns. A new period while enabled
    // starts a new grid at once; the same period again changes nothing.
    void setEnabled(bool enabled) override;
    void setPeriod(int milliseconds) override;
    bool enabled() const;
    int period() const;

private:
    void run();

    std::function<void()> edge;
    PulseClock& clock;
    mutable PulseControl control;
    std::thread thread;
};
