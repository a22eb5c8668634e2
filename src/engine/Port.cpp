#include "engine/Port.h"

#include "engine/MessageBoxSeam.h"
#include "settings/SettingsStore.h"

namespace {
constexpr const char* ErrorCaption = "Error";
constexpr const char* RegistryCaption = "error";
constexpr std::size_t PortCount = SerialLink::PortNames.size();
} // namespace

Port::Port(SerialLink& l, SettingsStore& s, MessageBoxSeam& m)
    : serialLink(l), settings(s), messages(m) {}

const char* Port::portName() const { return SerialLink::PortNames[portIndex % PortCount]; }

const std::string& Port::devicePath() {
    if (devicePortIndex != portIndex || deviceHandle != serialLink.portHandle()) {
        device = settings.devicePath(portName());
        devicePortIndex = portIndex;
        deviceHandle = serialLink.portHandle();
    }
    return device;
}

void Port::openAtStartUp(OutputFormat format) {
    const std::uint32_t rate = SerialLink::BaudRates[AutoBaudIndex(format)];
    serialLink.UsePort(serialLink.OpenPort(portName(), rate));
    if (!serialLink.configureFailure().empty())
        messages.show(serialLink.configureFailure(), ErrorCaption, MsgIcon::Error);
    if (serialLink.portHandle() == InvalidPort)
        messages.show(CantOpenPortMessage(portName(), serialLink.device()), "", MsgIcon::Warning);
    else
        setBaud(AutoBaudIndex(format));
}

void Port::persist(int index, const std::string& dev) {
    const SettingsStore::OpenResult opened = settings.open(false);
    if (opened != SettingsStore::OpenResult::Ok) {
        messages.show(CantOpenMessage(opened), RegistryCaption, MsgIcon::Error);
        return;
    }
    // The port and the device it opens are stored together, or neither is.
    std::vector<SettingsEntry> entries{{"", "Port", std::to_string(index + 1)}};
    if (!dev.empty()) {
        std::string key = SerialLink::PortNames[static_cast<std::size_t>(index)];
        key.pop_back(); // "COM1"
        entries.push_back({"Devices", key, dev});
    }
    if (!settings.writeEntries(entries))
        messages.show("Can't write Port", RegistryCaption, MsgIcon::Error);
}

CommandResult Port::switchTo(int index, const std::string& requested) {
    if (index < 0 || index >= static_cast<int>(PortCount))
        return CommandResult::Refused("The port must be COM1 to COM4");
    const char* name = SerialLink::PortNames[static_cast<std::size_t>(index)];
    // A device the port already maps to is no change; another device opens the port anew on
    // it, even when it is the current port.
    const std::string dev = requested == settings.devicePath(name) ? std::string() : requested;
    if (index == portIndex && dev.empty())
        return {};
    const std::uint32_t rate = serialLink.baudRate() != 0 ? serialLink.baudRate() : 4800;
    // The new port opens while the old one is still open, so a failure leaves the old one.
    const PortHandle handle =
        dev.empty() ? serialLink.OpenPort(name, rate) : serialLink.OpenPort(name, dev, rate);
    if (!serialLink.configureFailure().empty())
        messages.show(serialLink.configureFailure(), ErrorCaption, MsgIcon::Error);
    if (handle == InvalidPort)
        return CommandResult::Refused(CantOpenPortMessage(name, serialLink.device()));
    persist(index, dev);
    serialLink.ClosePort(serialLink.portHandle());
    portIndex = static_cast<std::uint8_t>(index);
    serialLink.UsePort(handle);
    return {};
}

CommandResult Port::setBaudChoice(int choice, OutputFormat format) {
    if (choice < 0 || choice >= static_cast<int>(SerialLink::BaudRates.size()))
        return CommandResult::Refused("The baud rate must be Auto, 4800, 9600 or 19200");
    baudChoice = static_cast<std::uint8_t>(choice);
    setBaud(baudChoice == 0 ? AutoBaudIndex(format) : baudChoice);
    return {};
}

void Port::followFormat(OutputFormat format) {
    if (baudChoice == 0)
        setBaud(AutoBaudIndex(format));
}

void Port::setBaud(std::uint8_t baudIndex) {
    if (serialLink.SetBaud(baudIndex))
        return;
    // With no port open every rate fails; the box says what would open one.
    std::string text = SerialLink::ConfigureFailed;
    if (serialLink.portHandle() == InvalidPort)
        text += std::string("\n") + portName() +
                " is not open: plug the adapter in, or choose a device in Setup → Serial Port.";
    messages.show(text, ErrorCaption, MsgIcon::Error);
}

void Port::reportLateFailures() {
    for (auto n = serialLink.takeLateFailures(); n > 0; --n)
        messages.show(SerialLink::ConfigureFailed, ErrorCaption, MsgIcon::Error);
}

void Port::close() { serialLink.ClosePort(serialLink.portHandle()); }
