#pragma once
#include <chrono>
#include <cstdint>
#include <functional>

#include "engine/Coupler.h"
#include "engine/FaultFilter.h"
#include "engine/FuelFlow.h"
#include "engine/LineStatus.h"
#include "engine/Port.h"
#include "engine/Replay.h"
#include "engine/RunLoop.h"
#include "engine/Simulator.h"
#include "engine/TerminalLog.h"
#include "engine/TransmitLine.h"
#include "line/LineWriter.h"
#include "line/PulseTimer.h"
#include "line/SerialLink.h"

class MessageBoxSeam;
class SerialDevice;
class SettingsStore;

// The emulator: its state, split by owner, each owner with the commands that change it; the
// line (link, writer, transmitter, terminal); the run loop. The window, the command line and
// any other front end drive the same object through the same commands; it knows none of them.
// Everything here runs on one thread; the writer and the pulse timer only do the line's I/O.
class Emulator {
public:
    using TimePoint = RunLoop::TimePoint;

    Emulator(SerialDevice& device, SettingsStore& settings, MessageBoxSeam& messages);
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    Simulator& simulator() { return sim; }
    Coupler& coupler() { return couplerSettings; }
    Replay& replay() { return player; }
    FuelFlow& fuelFlow() { return flow; }
    Port& port() { return chosenPort; }
    RunLoop& runLoop() { return loop; }
    Transmitter& output() { return transmitter; }
    TerminalLog& terminal() { return terminalLog; }
    LineWriter& writer() { return lineWriter; }
    SerialLink& link() { return serialLink; }
    PulseTimer& pulses() { return pulseTimer; }
    MessageBoxSeam& messages() { return messageBoxes; }
    SettingsStore& settings() { return settingsStore; }

    // Faults and live time on the tick's records; off at start and never stored.
    void setFaults(const FaultSettings& settings) { faultFilter.configure(settings); }
    const FaultSettings& faults() const { return faultFilter.settings(); }

    // Start-up: reads the settings, opens the persisted port at the format's rate and starts
    // the tick schedule (the first tick one period from now).
    void start();
    // The run loop and what the line reported since the last call; returns when to call
    // again. `wake`, when set, is called on the writer's thread when the line has drained,
    // so that a tick held back for it can be served at once.
    TimePoint serve(TimePoint now);
    void onWake(std::function<void()> wake);
    // True once the open port's device has gone away.
    bool lineLost() const;
    // The end of the run: the fuel-flow edges stop, the port closes, the line gets at most
    // `grace` to take what is waiting. Returns the records that had to be dropped.
    std::uint64_t shutdown(std::chrono::milliseconds grace = std::chrono::milliseconds{1000});

    LineStatus lineStatus();

private:
    void housekeeping(TimePoint now);

    SerialDevice& serialDevice;
    SettingsStore& settingsStore;
    MessageBoxSeam& messageBoxes;
    LineWriter lineWriter;
    SerialLink serialLink;
    Port chosenPort;
    Simulator sim;
    TerminalLog terminalLog;
    FaultFilter faultFilter;
    Transmitter transmitter;
    Replay player;
    Coupler couplerSettings;
    PulseTimer pulseTimer;
    FuelFlow flow;
    RunLoop loop;
    bool ended = false;
    TimePoint nextHousekeeping{};
    TimePoint lastReopen{};
};
