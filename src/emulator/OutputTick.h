#pragma once

#include "emulator/DeadlineSchedule.h"
#include "emulator/EmulatorState.h"

class PageControls;
class Transmitter;

// The replay step the File page runs on each tick while a file is open.
class PlaybackTicker {
public:
    virtual ~PlaybackTicker() = default;
    virtual void PlaybackTick() = 0;
};

// Timer1: the output tick and its schedule. The front end calls Timer1Timer when next() is
// due; deadlines sit on a fixed grid, so late calls do not add up to drift.
class OutputTick {
public:
    OutputTick(EmulatorState& state, PageControls& window, Transmitter& transmitter);

    void setPlayback(PlaybackTicker* ticker) { playback = ticker; }
    // The first tick comes one period after `now`.
    void start(DeadlineSchedule::TimePoint now) { schedule.restart(now, schedule.interval()); }
    DeadlineSchedule::TimePoint next() const { return schedule.next(); }
    int periodMilliseconds() const;

    void Timer1Timer();

private:
    EmulatorState& state;
    PageControls& window;
    Transmitter& transmitter;
    PlaybackTicker* playback = nullptr;
    DeadlineSchedule schedule;
};
