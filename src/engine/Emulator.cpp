#include "engine/Emulator.h"

#include <cmath>

#include "emulator/MessageBoxSeam.h"
#include "emulator/WindowActivation.h"
#include "settings/SettingsStore.h"
#include "settings/StartupSettings.h"

Emulator::Pages::Pages(Emulator& e, const FrontEnd& f)
    : simulatorWindow(f.simulator), pause(e.emulatorState, f.filePage),
      simulator(e.emulatorState, f.simulator, e.messageBoxes, e.serialLink),
      fuelFlow(e.emulatorState, f.simulator, e.messageBoxes, e.pulses),
      playback(e.emulatorState, f.filePage, e.output),
      filePage(e.emulatorState, f.filePage, playback, simulator, pause),
      tick(e.emulatorState, f.filePage, e.output) {
    tick.setPlayback(&playback);
}

Emulator::Emulator(SerialDevice& device, SettingsStore& settings, MessageBoxSeam& messages)
    : serialDevice(device), settingsStore(settings), messageBoxes(messages), lineWriter(device),
      serialLink(emulatorState, device, lineWriter, messages),
      output(emulatorState, lineWriter, terminalLog, &faultFilter),
      // FlowTimerTimer: every tick inverts RTS, on the timer's own thread.
      pulses([this] { serialLink.ToggleRts(); }) {}

Emulator::~Emulator() {
    pulses.setEnabled(false);
    // Commands still waiting refer to the link; they run before anything is taken down.
    lineWriter.stop();
}

void Emulator::attach(const FrontEnd& frontEnd) {
    terminalLog.view = frontEnd.terminal;
    pages = std::make_unique<Pages>(*this, frontEnd);
}

void Emulator::detach() {
    pages.reset();
    terminalLog.view = nullptr;
}

void Emulator::start() {
    ReadStartupSettings(emulatorState, settingsStore, messageBoxes);
    const char* name =
        SerialLink::PortNames[emulatorState.portIndex % SerialLink::PortNames.size()];
    serialLink.UsePort(serialLink.OpenPort(name));
    if (emulatorState.portHandle == InvalidPort)
        messageBoxes.show(CantOpenPortMessage(name, serialDevice), "", MsgIcon::Warning);
    else
        serialLink.SetBaud(SerialLink::AutoBaudIndex(emulatorState.format));
    if (pages)
        pages->tick.start(DeadlineSchedule::Clock::now());
}

void Emulator::shutdown() {
    pulses.setEnabled(false);
    serialLink.ClosePort(emulatorState.portHandle);
    lineWriter.stop();
}

void Emulator::Timer1Timer() {
    if (!pages)
        return;
    const std::uint64_t before = output.bytesHandedOver();
    faultFilter.beginTick(emulatorState.format, std::chrono::steady_clock::now(),
                          std::chrono::system_clock::now());
    pages->tick.Timer1Timer();
    output.endTick();
    const double bytes = static_cast<double>(output.bytesHandedOver() - before);
    // Eight data bits, no parity and one stop bit: ten bits a byte.
    const double carried = static_cast<double>(serialLink.baudRate()) / 10.0 *
                           static_cast<double>(pages->tick.periodMilliseconds()) / 1000.0;
    lastLoad = carried > 0 ? static_cast<int>(std::lround(bytes * 100.0 / carried)) : -1;
}

DeadlineSchedule::TimePoint Emulator::nextTick() const {
    return pages ? pages->tick.next() : DeadlineSchedule::TimePoint::max();
}

int Emulator::tickPeriodMilliseconds() const {
    return pages ? pages->tick.periodMilliseconds() : 0;
}

void Emulator::FormActivate() {
    if (pages)
        ::FormActivate(emulatorState, pages->simulatorWindow);
}

void Emulator::MNU_PauseClick() {
    if (pages)
        pages->pause.MNU_PauseClick();
}

void Emulator::poll() {
    serialLink.ReportLateFailures();
    // An unplugged line comes back by itself: the writer tries it again twice a second, in its
    // place among the records, without a word to the user.
    const PortHandle h = emulatorState.portHandle;
    const auto now = DeadlineSchedule::Clock::now();
    if (h != InvalidPort && now - lastReopen >= std::chrono::milliseconds(500) &&
        serialDevice.lost(h)) {
        lastReopen = now;
        lineWriter.post([this, h] { serialDevice.reopen(h); });
    }
}

LineStatus Emulator::lineStatus() {
    LineStatus s;
    const std::size_t index = emulatorState.portIndex % SerialLink::PortNames.size();
    s.portName = SerialLink::PortNames[index];
    // Read again only when the port changes: a switch, or the same port given another device.
    if (devicePortIndex != static_cast<int>(index) || deviceHandle != emulatorState.portHandle) {
        devicePath = settingsStore.devicePath(s.portName);
        devicePortIndex = static_cast<int>(index);
        deviceHandle = emulatorState.portHandle;
    }
    s.device = devicePath;
    s.open = emulatorState.portHandle != InvalidPort;
    s.detail = s.open ? serialDevice.describe(emulatorState.portHandle) : std::string();
    s.lost = s.open && serialDevice.lost(emulatorState.portHandle);
    s.baud = s.open ? serialLink.baudRate() : 0;
    const LineCounters& counts = lineWriter.counters();
    s.bytesSent = counts.bytesSent.load();
    s.recordsDropped = counts.recordsDropped.load();
    s.loadPercent = lastLoad;
    s.faults = FaultWords(faultFilter.settings());
    s.liveTime = faultFilter.settings().liveTime;
    return s;
}
