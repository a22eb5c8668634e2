#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The persisted settings: "Software" is the user's configuration directory,
// "Brackwater Associates" a directory in it and "Tarrow" the file Tarrow.conf in that.
// One value of the settings file: its group ("" for the values above every group), key, text.
struct SettingsEntry {
    std::string section;
    std::string key;
    std::string value;
};

class SettingsStore {
public:
    enum class OpenResult { Ok, NoSoftware, NoBrackwater, NoTarrow };

    virtual ~SettingsStore() = default;
    // create: make the missing directory and file (start-up); otherwise open only what exists.
    virtual OpenResult open(bool create) = 0;
    // Values of the opened key; a missing, corrupt or unreadable value is nullopt.
    virtual std::optional<std::int32_t> readInt(const std::string& name) = 0;
    virtual bool writeInt(const std::string& name, std::int32_t value) = 0;
    // Several values in one write, so none is stored without the others.
    virtual bool writeEntries(const std::vector<SettingsEntry>& entries);
    // The device path a port name ("COM1:") opens, from the optional [Devices] group.
    virtual std::string devicePath(const std::string& portName) = 0;
};

// Messages for the key that failed to open without creating.
const char* CantOpenMessage(SettingsStore::OpenResult result);

class FileSettingsStore : public SettingsStore {
public:
    // configHome empty: the configuration directory cannot be determined.
    explicit FileSettingsStore(std::filesystem::path configHome);
    // $XDG_CONFIG_HOME, else $HOME/.config; empty when neither is set.
    static std::filesystem::path ConfigHomeFromEnvironment();

    OpenResult open(bool create) override;
    std::optional<std::int32_t> readInt(const std::string& name) override;
    bool writeInt(const std::string& name, std::int32_t value) override;
    bool writeEntries(const std::vector<SettingsEntry>& entries) override;
    std::string devicePath(const std::string& portName) override;

    std::filesystem::path filePath() const;
    static std::string DefaultDevicePath(const std::string& portName);

private:
    std::optional<std::string> readValue(const std::string& section, const std::string& key);
    std::vector<std::string> readLines(bool& ok) const;
    // Read-modify-write of the file's lines under the directory's lock, written whole.
    bool update(const std::function<void(std::vector<std::string>&)>& change);

    std::filesystem::path configHome;
};

// A settings file larger than this is not ours: it is refused as unreadable, never rewritten.
inline constexpr long MaxSettingsFileSize = 1 << 20;

// The whole of a regular file no larger than the limit, read without ever blocking.
bool ReadSettingsFile(const std::filesystem::path& path, std::string& text);
// Replaces the file with `text` through a new file beside it (fsync, then rename), so a reader
// or a crash sees the old file or the new one, never a part.
bool ReplaceFile(const std::filesystem::path& path, const std::string& text);
// Removes the temporary files that writers killed between create and rename left behind.
void RemoveLeftoverTemporaries(const std::filesystem::path& path);
