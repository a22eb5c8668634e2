#include "serial/SerialLink.h"

#include <cstring>

#include "app/MessageBoxSeam.h"

namespace {
constexpr const char* ConfigureFailed = "Unable to configure the serial port";
constexpr const char* TimeoutsFailed = "Unable to set the time-out parameters";
constexpr const char* ErrorCaption = "Error";
} // namespace

SerialLink::SerialLink(EmulatorState& s, SerialDevice& d, MessageBoxSeam& m)
    : state(s), device(d), messages(m) {}

PortHandle SerialLink::OpenPort(const char* name) {
    const PortHandle h = device.open(name);
    if (h == InvalidPort)
        return InvalidPort;

    LineState line;
    (void)device.getLineState(h, line);
    line.binary = true;
    line.parityCheck = false;
    line.ctsFlow = false;
    line.dsrFlow = false;
    line.dtrEnable = true;
    line.dsrSensitivity = false;
    line.txContinueOnXoff = true;
    line.outX = false;
    line.inX = false;
    line.errorChar = false;
    line.discardNull = false;
    line.rtsEnable = true;
    line.abortOnError = false;
    line.byteSize = 8;
    line.parity = Parity::None;
    line.stopBits = StopBits::One;
    if (!device.setLineState(h, line)) {
        messages.show(ConfigureFailed, ErrorCaption, MsgIcon::Error);
        return h;
    }

    Timeouts t;
    (void)device.getTimeouts(h, t);
    t.readInterval = 0xFFFFFFFFu;
    t.readTotalMultiplier = 0;
    t.readTotalConstant = 0;
    t.writeTotalMultiplier = 10;
    t.writeTotalConstant = 1000;
    if (!device.setTimeouts(h, t)) {
        messages.show(TimeoutsFailed, ErrorCaption, MsgIcon::Error);
        return h;
    }

    (void)device.lineControl(h, LineControl::SetDtr);
    RtsRaised = true;
    (void)device.lineControl(h, LineControl::SetRts);
    return h;
}

void SerialLink::SetBaud(std::uint8_t baudIndex) {
    LineState line;
    (void)device.getLineState(state.portHandle, line);
    line.baudRate = baudIndex < BaudRates.size() ? BaudRates[baudIndex] : 0;
    if (!device.setLineState(state.portHandle, line))
        messages.show(ConfigureFailed, ErrorCaption, MsgIcon::Error);
}

bool SerialLink::ToggleRts() {
    RtsRaised = !RtsRaised;
    return device.lineControl(state.portHandle,
                              RtsRaised ? LineControl::SetRts : LineControl::ClrRts);
}

bool SerialLink::ClosePort(PortHandle handle) {
    if (handle == InvalidPort)
        return false;
    return device.close(handle);
}

bool SerialLink::WriteBytes(const std::uint8_t* bytes, std::size_t count) {
    if (state.portHandle == InvalidPort)
        return false;
    return device.write(state.portHandle, bytes, count);
}

bool SerialLink::WriteText(const char* text) {
    return WriteBytes(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text));
}
