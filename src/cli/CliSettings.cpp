#include "cli/CliSettings.h"

CliSettings::CliSettings(SettingsStore& f, int number, std::string d)
    : file(f), portNumber(number), device(std::move(d)) {}

std::string CliSettings::portName() const { return "COM" + std::to_string(portNumber) + ":"; }

SettingsStore::OpenResult CliSettings::open(bool create) {
    const OpenResult result = file.open(create);
    noFile = result == OpenResult::NoSoftware;
    // The port is named on the command line, so start-up needs nothing more of the file.
    return noFile ? OpenResult::Ok : result;
}

std::optional<std::int32_t> CliSettings::readInt(const std::string& name) {
    if (name == "Port")
        return portNumber;
    return noFile ? std::nullopt : file.readInt(name);
}

bool CliSettings::writeInt(const std::string& name, std::int32_t value) {
    return !noFile && file.writeInt(name, value);
}

bool CliSettings::writeEntries(const std::vector<SettingsEntry>& entries) {
    return !noFile && file.writeEntries(entries);
}

std::string CliSettings::devicePath(const std::string& name) {
    if (!device.empty() && name == portName())
        return device;
    return file.devicePath(name);
}
