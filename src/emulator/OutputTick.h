#pragma once

#include "emulator/EmulatorState.h"

class Transmitter;

// What the output tick needs of the main window.
class OutputTickWindow {
public:
    virtual ~OutputTickWindow() = default;
    virtual int pauseSecondsPosition() const = 0; // UpDown_sec
    virtual void setTickPeriod(int milliseconds) = 0;
    virtual int currentPage() const = 0; // 0 Simulator, 1 File
};

// The replay step the File page runs on each tick while a file is open.
class PlaybackTicker {
public:
    virtual ~PlaybackTicker() = default;
    virtual void PlaybackTick() = 0;
};

class OutputTick {
public:
    OutputTick(EmulatorState& state, OutputTickWindow& window, Transmitter& transmitter);

    void setPlayback(PlaybackTicker* ticker) { playback = ticker; }
    void Timer1Timer();

private:
    EmulatorState& state;
    OutputTickWindow& window;
    Transmitter& transmitter;
    PlaybackTicker* playback = nullptr;
};
