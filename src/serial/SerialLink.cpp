#include "serial/SerialLink.h"

#include "emulator/MessageBoxSeam.h"
#include "serial/LineWriter.h"

namespace {
constexpr const char* ConfigureFailed = "Unable to configure the serial port";
constexpr const char* TimeoutsFailed = "Unable to set the time-out parameters";
constexpr const char* ErrorCaption = "Error";
} // namespace

std::string CantOpenPortMessage(const char* portName, const SerialDevice& device) {
    const std::string why = device.openFailure();
    return std::string("Can't open ") + portName + (why.empty() ? "" : "\n" + why);
}

SerialLink::SerialLink(EmulatorState& s, SerialDevice& d, LineWriter& w, MessageBoxSeam& m)
    : state(s), serialDevice(d), writer(w), messages(m), counters(w.counters()) {}

std::uint32_t SerialLink::ChosenRate() const {
    return BaudRates[state.baudChoice != 0 && state.baudChoice < BaudRates.size()
                         ? state.baudChoice
                         : AutoBaudIndex(state.format)];
}

PortHandle SerialLink::OpenPort(const char* name) { return configure(serialDevice.open(name)); }

PortHandle SerialLink::OpenPort(const char* name, const std::string& device) {
    return configure(serialDevice.openDevice(name, device));
}

PortHandle SerialLink::configure(PortHandle h) {
    if (h == InvalidPort)
        return InvalidPort;

    LineState line;
    (void)serialDevice.getLineState(h, line);
    // A speed the device cannot name (B0, or one above the table) would make the line state
    // unusable; start from the rate the port is about to get instead.
    if (line.baudRate == 0)
        line.baudRate = ChosenRate();
    line.ctsFlow = false;
    line.outX = false;
    line.inX = false;
    line.parityCheck = false;
    line.byteSize = 8;
    line.parity = Parity::None;
    line.stopBits = StopBits::One;
    if (!serialDevice.setLineState(h, line)) {
        messages.show(ConfigureFailed, ErrorCaption, MsgIcon::Error);
        return h;
    }

    Timeouts t;
    (void)serialDevice.getTimeouts(h, t);
    t.readInterval = 0xFFFFFFFFu;
    t.readTotalMultiplier = 0;
    t.readTotalConstant = 0;
    t.writeTotalMultiplier = 10;
    t.writeTotalConstant = 1000;
    if (!serialDevice.setTimeouts(h, t)) {
        messages.show(TimeoutsFailed, ErrorCaption, MsgIcon::Error);
        return h;
    }

    (void)serialDevice.lineControl(h, LineControl::SetDtr);
    rts.raised.store(true);
    (void)serialDevice.lineControl(h, LineControl::SetRts);
    return h;
}

void SerialLink::SetBaud(std::uint8_t baudIndex) {
    const PortHandle h = state.portHandle;
    const std::uint32_t newRate = baudIndex < BaudRates.size() ? BaudRates[baudIndex] : 0;
    if (h == InvalidPort || newRate == 0) {
        messages.show(ConfigureFailed, ErrorCaption, MsgIcon::Error);
        return;
    }
    rate = newRate;
    writer.post([this, h, newRate] {
        LineState line;
        (void)serialDevice.getLineState(h, line);
        line.baudRate = newRate;
        if (!serialDevice.setLineState(h, line))
            counters.configureFailures.fetch_add(1);
    });
}

void SerialLink::ReportLateFailures() {
    for (auto n = counters.configureFailures.exchange(0); n > 0; --n)
        messages.show(ConfigureFailed, ErrorCaption, MsgIcon::Error);
}

bool SerialLink::ToggleRts() {
    // OpenPort may raise the line from the window's thread meanwhile: invert what is there.
    bool raised = rts.raised.load();
    while (!rts.raised.compare_exchange_weak(raised, !raised)) {
    }
    raised = !raised;
    return serialDevice.lineControl(rts.port.load(),
                                    raised ? LineControl::SetRts : LineControl::ClrRts);
}

bool SerialLink::ClosePort(PortHandle handle) {
    if (handle == InvalidPort)
        return false;
    writer.post([this, handle] { (void)serialDevice.close(handle); });
    return true;
}

void SerialLink::UsePort(PortHandle handle) {
    state.portHandle = handle;
    rts.port.store(handle);
}
