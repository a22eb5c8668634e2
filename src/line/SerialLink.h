#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "line/Handover.h"
#include "line/SerialDevice.h"

class LineWriter;

// "Can't open COM1:", then what the device said of why, when it said anything.
std::string CantOpenPortMessage(const char* portName, const SerialDevice& device);

// The program's one serial port: open, baud rate, RTS and close. It holds the current port;
// baud changes and closes go through the line writer, so they reach the device in their place
// among the records already sent. Failures are returned, never shown: the caller reports them.
class SerialLink {
public:
    static constexpr std::array<const char*, 4> PortNames{"COM1:", "COM2:", "COM3:", "COM4:"};
    static constexpr std::array<std::uint32_t, 4> BaudRates{0, 4800, 9600, 19200};
    static constexpr const char* ConfigureFailed = "Unable to configure the serial port";
    static constexpr const char* TimeoutsFailed = "Unable to set the time-out parameters";

    SerialLink(SerialDevice& device, LineWriter& writer);

    // Opens and configures the port on the calling thread: no record has been sent to it yet.
    // `rate` stands in for a speed the device cannot name. A handle whose configuration failed
    // is returned all the same; configureFailure() then says why.
    PortHandle OpenPort(const char* name, std::uint32_t rate);
    // The same on `device` instead of the device the port maps to.
    PortHandle OpenPort(const char* name, const std::string& device, std::uint32_t rate);
    const std::string& configureFailure() const { return failure; }
    // False when it fails at once (no port open, or no such rate); a device that refuses the
    // rate later is counted for takeLateFailures().
    bool SetBaud(std::uint8_t baudIndex);
    // Safe from any thread: touches only the RTS handover and the device.
    bool ToggleRts();
    bool ClosePort(PortHandle handle);
    // Makes `handle` the current port, for the records and for the RTS edges.
    void UsePort(PortHandle handle);
    PortHandle portHandle() const { return current; }

    // Baud changes the device refused since the last call.
    std::uint32_t takeLateFailures();
    // The rate last handed to the port; 0 before any.
    std::uint32_t baudRate() const { return rate; }
    bool RtsRaised() const { return rts.raised.load(); }
    SerialDevice& device() const { return serialDevice; }

private:
    // The rest of OpenPort once the device has opened: line state, time-outs, DTR and RTS.
    PortHandle configure(PortHandle h, std::uint32_t fallbackRate);

    SerialDevice& serialDevice;
    LineWriter& writer;
    LineCounters& counters;
    RtsLine rts;
    PortHandle current = InvalidPort;
    std::uint32_t rate = 0;
    std::string failure;
};
