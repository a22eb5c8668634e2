#include "line/SerialLink.h"

#include "line/LineWriter.h"

std::string CantOpenPortMessage(const char* portName, const SerialDevice& device) {
    const std::string why = device.openFailure();
    return std::string("Can't open ") + portName + (why.empty() ? "" : "\n" + why);
}

SerialLink::SerialLink(SerialDevice& d, LineWriter& w)
    : serialDevice(d), writer(w), counters(w.counters()) {}

PortHandle SerialLink::OpenPort(const char* name, std::uint32_t fallbackRate) {
    return configure(serialDevice.open(name), fallbackRate);
}

PortHandle SerialLink::OpenPort(const char* name, const std::string& device,
                                std::uint32_t fallbackRate) {
    return configure(serialDevice.openDevice(name, device), fallbackRate);
}

PortHandle SerialLink::configure(PortHandle h, std::uint32_t fallbackRate) {
    failure.clear();
    if (h == InvalidPort)
        return InvalidPort;

    LineState line;
    (void)serialDevice.getLineState(h, line);
    // A speed the device cannot name (B0, or one above the table) would make the line state
    // unusable; start from the rate the port is about to get instead.
    if (line.baudRate == 0)
        line.baudRate = fallbackRate;
    line.ctsFlow = false;
    line.outX = false;
    line.inX = false;
    line.parityCheck = false;
    line.byteSize = 8;
    line.parity = Parity::None;
    line.stopBits = StopBits::One;
    if (!serialDevice.setLineState(h, line)) {
        failure = ConfigureFailed;
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
        failure = TimeoutsFailed;
        return h;
    }

    (void)serialDevice.lineControl(h, LineControl::SetDtr);
    rts.raised.store(true);
    (void)serialDevice.lineControl(h, LineControl::SetRts);
    return h;
}

bool SerialLink::SetBaud(std::uint8_t baudIndex) {
    const PortHandle h = current;
    const std::uint32_t newRate = baudIndex < BaudRates.size() ? BaudRates[baudIndex] : 0;
    if (h == InvalidPort || newRate == 0)
        return false;
    rate = newRate;
    // The command outlives nothing it uses: the device and the writer's counters, not the link.
    writer.post([&device = serialDevice, &failures = counters.configureFailures, h, newRate] {
        LineState line;
        (void)device.getLineState(h, line);
        line.baudRate = newRate;
        if (!device.setLineState(h, line))
            failures.fetch_add(1);
    });
    return true;
}

std::uint32_t SerialLink::takeLateFailures() { return counters.configureFailures.exchange(0); }

bool SerialLink::ToggleRts() {
    // OpenPort may raise the line from the engine's thread meanwhile: invert what is there.
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
    writer.post([&device = serialDevice, handle] { (void)device.close(handle); });
    return true;
}

void SerialLink::UsePort(PortHandle handle) {
    current = handle;
    rts.port.store(handle);
}
