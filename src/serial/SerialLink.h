#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "emulator/EmulatorState.h"
#include "serial/SerialDevice.h"

class MessageBoxSeam;

// The program's one serial port: open, baud rate, RTS, writes and close.
// The current port is always state.portHandle at the moment of the call.
class SerialLink {
public:
    static constexpr std::array<const char*, 4> PortNames{"COM1:", "COM2:", "COM3:", "COM4:"};
    static constexpr std::array<std::uint32_t, 4> BaudRates{0, 4800, 9600, 19200};

    SerialLink(EmulatorState& state, SerialDevice& device, MessageBoxSeam& messages);

    PortHandle OpenPort(const char* name);
    void SetBaud(std::uint8_t baudIndex);
    bool ToggleRts();
    bool ClosePort(PortHandle handle);

    bool WriteBytes(const std::uint8_t* bytes, std::size_t count);
    bool WriteText(const char* text);

    // Baud index for the current format when the baud choice is Auto.
    static std::uint8_t AutoBaudIndex(OutputFormat format) {
        return format == OutputFormat::Aviation ? 2 : 1;
    }

    bool RtsRaised = false;

private:
    EmulatorState& state;
    SerialDevice& device;
    MessageBoxSeam& messages;
};
