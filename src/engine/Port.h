#pragma once
#include <cstdint>
#include <string>

#include "engine/CommandResult.h"
#include "formats/Navigation.h"
#include "line/SerialLink.h"

class MessageBoxSeam;
class SettingsStore;

// The serial port as the user chooses it: which of COM1..COM4, the baud choice, and the
// link that holds the open port. Failures of the line's configuration are shown here, as
// the link's own operations show them.
class Port {
public:
    Port(SerialLink& link, SettingsStore& settings, MessageBoxSeam& messages);

    // Start-up: opens the port portIndex names at the rate of `format`, or says "Can't open".
    void openAtStartUp(OutputFormat format);
    // Switches to port `index` (0..3), on `device` when that is not empty, persisting the
    // choice. The same port on the same device is left as it is. Refused with "Can't open
    // COMn:" and why when it cannot be opened; the current port then stays.
    CommandResult switchTo(int index, const std::string& device);
    // 0 Auto (the rate of `format`), else a baud index 1..3; applied at once.
    CommandResult setBaudChoice(int choice, OutputFormat format);
    // A new output format: its rate, while the choice is Auto.
    void followFormat(OutputFormat format);
    // The end of the run.
    void close();
    // Baud changes the device refused since the last call, each said once.
    void reportLateFailures();

    static std::uint8_t AutoBaudIndex(OutputFormat format) {
        return format == OutputFormat::Aviation ? 2 : 1;
    }
    const char* portName() const;
    // What the current port opens, read again only when the port changes.
    const std::string& devicePath();
    SerialLink& link() { return serialLink; }
    const SerialLink& link() const { return serialLink; }

    std::uint8_t portIndex = 0;  // 0..3 for COM1..COM4
    std::uint8_t baudChoice = 0; // 0 Auto, else a baud index

private:
    void setBaud(std::uint8_t baudIndex);
    void persist(int index, const std::string& device);

    SerialLink& serialLink;
    SettingsStore& settings;
    MessageBoxSeam& messages;
    int devicePortIndex = -1; // the port `device` was read for, and its handle then
    PortHandle deviceHandle = InvalidPort;
    std::string device;
};
