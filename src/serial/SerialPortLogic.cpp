#include "serial/SerialPortLogic.h"

#include "emulator/MessageBoxSeam.h"
#include "serial/SerialLink.h"
#include "settings/SettingsStore.h"

namespace {
constexpr int PortCount = static_cast<int>(SerialLink::PortNames.size());
constexpr int BaudChoices = static_cast<int>(SerialLink::BaudRates.size());
} // namespace

SerialPortLogic::SerialPortLogic(EmulatorState& s, SerialPortWindow& w, SerialLink& l,
                                 MessageBoxSeam& m, SettingsStore& st)
    : state(s), window(w), link(l), messages(m), settings(st) {}

void SerialPortLogic::FormShow() {
    window.selectPort(state.portIndex);
    window.selectBaud(state.baudChoice);
}

void SerialPortLogic::persistPort(int chosen, const std::string& device) {
    const SettingsStore::OpenResult opened = settings.open(false);
    if (opened != SettingsStore::OpenResult::Ok) {
        messages.show(CantOpenMessage(opened), "error", MsgIcon::Error);
        return;
    }
    // The port and the device it opens are stored together, or neither is.
    std::vector<SettingsEntry> entries{{"", "Port", std::to_string(chosen + 1)}};
    if (!device.empty()) {
        std::string key = SerialLink::PortNames[static_cast<std::size_t>(chosen)];
        key.pop_back(); // "COM1"
        entries.push_back({"Devices", key, device});
    }
    if (!settings.writeEntries(entries))
        messages.show("Can't write Port", "error", MsgIcon::Error);
}

bool SerialPortLogic::switchPort(int chosen, const std::string& device) {
    const char* name = SerialLink::PortNames[static_cast<std::size_t>(chosen)];
    // The new port opens while the old one is still open, so a failure leaves the old one.
    const PortHandle handle = device.empty() ? link.OpenPort(name) : link.OpenPort(name, device);
    if (handle == InvalidPort) {
        const MsgResult answer = messages.show(CantOpenPortMessage(name, link.device()), "",
                                               MsgIcon::Warning, MsgButtons::RetryCancel);
        return answer != MsgResult::Retry;
    }
    persistPort(chosen, device);
    link.ClosePort(state.portHandle);
    state.portIndex = static_cast<std::uint8_t>(chosen);
    link.UsePort(handle);
    return true;
}

void SerialPortLogic::BTN_OKClick() {
    const int chosen = window.selectedPort();
    // With no item selected there is nothing to switch to: the current port stays. A port
    // given another device is opened anew on it, even when it is the current one.
    if (chosen >= 0 && chosen < PortCount) {
        std::string device = window.chosenDevice();
        if (device == settings.devicePath(SerialLink::PortNames[static_cast<std::size_t>(chosen)]))
            device.clear();
        if ((chosen != state.portIndex || !device.empty()) && !switchPort(chosen, device))
            return;
    }

    const int baud = window.selectedBaud();
    if (baud >= 0 && baud < BaudChoices)
        state.baudChoice = static_cast<std::uint8_t>(baud);
    link.SetBaud(state.baudChoice == 0 ? SerialLink::AutoBaudIndex(state.format)
                                       : state.baudChoice);
    window.closeDialog();
}

void SerialPortLogic::BTN_CANCELClick() { window.closeDialog(); }
