#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "emulator/EmulatorState.h"
#include "emulator/FuelFlow.h"
#include "emulator/OutputTick.h"
#include "emulator/PauseCommand.h"
#include "emulator/PulseTimer.h"
#include "emulator/SimulatorInputs.h"
#include "engine/LineStatus.h"
#include "playback/FilePage.h"
#include "playback/PlaybackEngine.h"
#include "serial/FaultFilter.h"
#include "serial/LineWriter.h"
#include "serial/SerialLink.h"
#include "serial/TerminalLog.h"
#include "serial/TransmitLine.h"

class MessageBoxSeam;
class SerialDevice;
class SettingsStore;

// What a front end lends the emulator: the controls its logic reads and writes.
struct FrontEnd {
    SimulatorWindow& simulator;
    FilePageWindow& filePage; // also the replay's, the read-outs' and the tick's window
    TerminalView* terminal = nullptr;
};

// The emulator: owns the state, the line (link, writer, transmitter, terminal), the output
// tick, the fuel-flow timer, the replay and the pages' logic, and wires them together. The
// window and the command line drive the same object; it knows nothing of either.
class Emulator {
public:
    Emulator(SerialDevice& device, SettingsStore& settings, MessageBoxSeam& messages);
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // The pages' logic lives from attach to detach, on the front end's controls.
    void attach(const FrontEnd& frontEnd);
    void detach();

    // Start-up: reads the settings, opens the persisted port at the format's rate and starts
    // the tick schedule (the first tick one period from now).
    void start();
    // The program ends: closes the port; records still waiting are dropped.
    void shutdown();

    // The output tick; the front end calls it when nextTick() is due.
    void Timer1Timer();
    DeadlineSchedule::TimePoint nextTick() const;
    int tickPeriodMilliseconds() const;

    // Faults and live time on the tick's records; off at start and never stored.
    void setFaults(const FaultSettings& settings) { faultFilter.configure(settings); }
    const FaultSettings& faults() const { return faultFilter.settings(); }

    void FormActivate();
    void MNU_PauseClick();
    // Window thread, now and then: reports what the helper threads found since the last call.
    void poll();
    LineStatus lineStatus();

    EmulatorState& state() { return emulatorState; }
    SettingsStore& settings() { return settingsStore; }
    MessageBoxSeam& messages() { return messageBoxes; }
    LineWriter& writer() { return lineWriter; }
    SerialLink& link() { return serialLink; }
    TerminalLog& terminal() { return terminalLog; }
    Transmitter& transmitter() { return output; }
    PulseTimer& flowTimer() { return pulses; }
    // Attached only:
    SimulatorInputs& simulator() { return pages->simulator; }
    FuelFlow& fuelFlow() { return pages->fuelFlow; }
    PlaybackEngine& playback() { return pages->playback; }
    FilePage& filePage() { return pages->filePage; }

private:
    struct Pages {
        Pages(Emulator& e, const FrontEnd& f);
        SimulatorWindow& simulatorWindow;
        PauseCommand pause;
        SimulatorInputs simulator;
        FuelFlow fuelFlow;
        PlaybackEngine playback;
        FilePage filePage;
        OutputTick tick;
    };

    EmulatorState emulatorState;
    SerialDevice& serialDevice;
    SettingsStore& settingsStore;
    MessageBoxSeam& messageBoxes;
    LineWriter lineWriter;
    SerialLink serialLink;
    TerminalLog terminalLog;
    FaultFilter faultFilter;
    Transmitter output;
    PulseTimer pulses;
    std::unique_ptr<Pages> pages;
    int lastLoad = -1;
    DeadlineSchedule::TimePoint lastReopen{}; // the last try to open a lost line again
    int devicePortIndex = -1; // the port `devicePath` was read for, and its handle then
    PortHandle deviceHandle = InvalidPort;
    std::string devicePath;
};
