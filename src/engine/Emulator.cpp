#include "engine/Emulator.h"

#include "engine/MessageBoxSeam.h"
#include "engine/Startup.h"
#include "line/SerialDevice.h"

namespace {
constexpr std::chrono::milliseconds HousekeepingEvery{250};
constexpr std::chrono::milliseconds ReopenEvery{500};
} // namespace

Emulator::Emulator(SerialDevice& device, SettingsStore& settings, MessageBoxSeam& messages)
    : serialDevice(device), settingsStore(settings), messageBoxes(messages), lineWriter(device),
      serialLink(device, lineWriter), chosenPort(serialLink, settings, messages), sim(chosenPort),
      transmitter(sim.values(), serialLink, lineWriter, terminalLog, &faultFilter),
      player(sim, transmitter), couplerSettings(transmitter, settings, messages),
      // FlowTimerTimer: every tick inverts RTS, on the timer's own thread.
      pulseTimer([this] { serialLink.ToggleRts(); }), flow(pulseTimer),
      loop(sim, player, transmitter, faultFilter, lineWriter, serialLink) {}

Emulator::~Emulator() {
    pulseTimer.setEnabled(false);
    // Commands still waiting refer to the link; they run before anything is taken down.
    lineWriter.stop();
}

void Emulator::start() {
    const StartupSettings read = ReadStartupSettings(settingsStore, messageBoxes);
    chosenPort.portIndex = read.portIndex;
    couplerSettings.setCompatibility(read.compatibility, false);
    chosenPort.openAtStartUp(sim.values().format);
    loop.start(RunLoop::Clock::now());
}

void Emulator::onWake(std::function<void()> wake) { lineWriter.onDrained(std::move(wake)); }

Emulator::TimePoint Emulator::serve(TimePoint now) {
    if (ended)
        return TimePoint::max();
    if (now >= nextHousekeeping) {
        housekeeping(now);
        nextHousekeeping = now + HousekeepingEvery;
    }
    return std::min(loop.serve(now), nextHousekeeping);
}

void Emulator::housekeeping(TimePoint now) {
    chosenPort.reportLateFailures();
    // An unplugged line comes back by itself: the writer tries it again twice a second, in its
    // place among the records, without a word to the user.
    const PortHandle h = serialLink.portHandle();
    if (h != InvalidPort && now - lastReopen >= ReopenEvery && serialDevice.lost(h)) {
        lastReopen = now;
        lineWriter.post([this, h] { serialDevice.reopen(h); });
    }
}

bool Emulator::lineLost() const {
    const PortHandle h = serialLink.portHandle();
    return h != InvalidPort && serialDevice.lost(h);
}

std::uint64_t Emulator::shutdown(std::chrono::milliseconds grace) {
    if (ended)
        return 0;
    ended = true;
    pulseTimer.setEnabled(false);
    lineWriter.onDrained(nullptr);
    chosenPort.close();
    return lineWriter.finish(grace);
}

LineStatus Emulator::lineStatus() {
    LineStatus s;
    s.portName = chosenPort.portName();
    s.device = chosenPort.devicePath();
    const PortHandle h = serialLink.portHandle();
    s.open = h != InvalidPort;
    s.detail = s.open ? serialDevice.describe(h) : std::string();
    s.lost = s.open && serialDevice.lost(h);
    s.baud = s.open ? serialLink.baudRate() : 0;
    const LineCounters& counts = lineWriter.counters();
    s.bytesSent = counts.bytesSent.load();
    s.recordsDropped = counts.recordsDropped.load();
    s.loadPercent = loop.loadPercent();
    s.faults = FaultWords(faultFilter.settings());
    s.liveTime = faultFilter.settings().liveTime;
    return s;
}
