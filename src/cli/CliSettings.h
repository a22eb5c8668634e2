#pragma once
#include <string>

#include "settings/SettingsStore.h"

// The settings file as the command line sees it: the port named by --port stands in for
// the persisted Port, and a device given by --port for what [Devices] maps that port to.
// Everything else is the file's. Without a configuration directory the command still runs:
// the ports open their default devices.
class CliSettings : public SettingsStore {
public:
    CliSettings(SettingsStore& file, int portNumber, std::string device);

    OpenResult open(bool create) override;
    std::optional<std::int32_t> readInt(const std::string& name) override;
    bool writeInt(const std::string& name, std::int32_t value) override;
    bool writeEntries(const std::vector<SettingsEntry>& entries) override;
    std::string devicePath(const std::string& portName) override;

    // "COM1:" .. "COM4:"
    std::string portName() const;

private:
    SettingsStore& file;
    int portNumber;
    std::string device;
    bool noFile = false;
};
