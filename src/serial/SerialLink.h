#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "emulator/EmulatorState.h"
#include "serial/Handover.h"
#include "serial/SerialDevice.h"

class LineWriter;
class MessageBoxSeam;

// "Can't open COM1:", then what the device said of why, when it said anything.
std::string CantOpenPortMessage(const char* portName, const SerialDevice& device);

// The program's one serial port: open, baud rate, RTS and close. The current port is always
// state.portHandle at the moment of the call. Baud changes and closes go through the line
// writer, so they reach the device in their place among the records already sent.
class SerialLink {
public:
    static constexpr std::array<const char*, 4> PortNames{"COM1:", "COM2:", "COM3:", "COM4:"};
    static constexpr std::array<std::uint32_t, 4> BaudRates{0, 4800, 9600, 19200};

    SerialLink(EmulatorState& state, SerialDevice& device, LineWriter& writer,
               MessageBoxSeam& messages);

    // Runs on the calling thread: no record has been sent to the new port yet.
    PortHandle OpenPort(const char* name);
    // The same on `device` instead of the device the port maps to.
    PortHandle OpenPort(const char* name, const std::string& device);
    void SetBaud(std::uint8_t baudIndex);
    // Safe from any thread: touches only the RTS handover and the device.
    bool ToggleRts();
    bool ClosePort(PortHandle handle);
    // Makes `handle` the current port, for the records and for the RTS edges.
    void UsePort(PortHandle handle);

    // Shows "Unable to configure the serial port" for each baud change that the device
    // refused since the last call. Window thread.
    void ReportLateFailures();

    // Baud index for the current format when the baud choice is Auto.
    static std::uint8_t AutoBaudIndex(OutputFormat format) {
        return format == OutputFormat::Aviation ? 2 : 1;
    }
    // The rate of the baud choice, or of the format when the choice is Auto.
    std::uint32_t ChosenRate() const;
    // The rate last handed to the port; 0 before any.
    std::uint32_t baudRate() const { return rate; }
    bool RtsRaised() const { return rts.raised.load(); }
    const SerialDevice& device() const { return serialDevice; }

private:
    // The rest of OpenPort once the device has opened: line state, time-outs, DTR and RTS.
    PortHandle configure(PortHandle h);

    EmulatorState& state;
    SerialDevice& serialDevice;
    LineWriter& writer;
    MessageBoxSeam& messages;
    LineCounters& counters;
    RtsLine rts;
    std::uint32_t rate = 0;
};
