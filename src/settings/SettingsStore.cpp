#include "settings/SettingsStore.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// Writable for us, and not marked read-only by its owner: a file or directory whose write bits
// are all off stays unwritten, even for root.
bool isWritable(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 &&
           ::access(p.c_str(), W_OK) == 0;
}

bool isWritableDirectory(const fs::path& p) {
    std::error_code ec;
    return fs::is_directory(p, ec) && isWritable(p) && ::access(p.c_str(), X_OK) == 0;
}

// Section of a line "[Name]", or nullopt for other lines.
std::optional<std::string> sectionOf(const std::string& line) {
    const std::string t = trim(line);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']')
        return t.substr(1, t.size() - 2);
    return std::nullopt;
}

} // namespace

const char* CantOpenMessage(SettingsStore::OpenResult result) {
    switch (result) {
    case SettingsStore::OpenResult::NoSoftware:
        return "Can't open Software";
    case SettingsStore::OpenResult::NoBrackwater:
        return "Can't open Brackwater";
    case SettingsStore::OpenResult::NoTarrow:
        return "Can't open Tarrow";
    case SettingsStore::OpenResult::Ok:
        break;
    }
    return "";
}

FileSettingsStore::FileSettingsStore(fs::path home) : configHome(std::move(home)) {}

fs::path FileSettingsStore::ConfigHomeFromEnvironment() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return xdg;
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".config";
    return {};
}

fs::path FileSettingsStore::filePath() const {
    return configHome / "Brackwater Associates" / "Tarrow.conf";
}

SettingsStore::OpenResult FileSettingsStore::open(bool create) {
    if (configHome.empty())
        return OpenResult::NoSoftware;
    std::error_code ec;
    if (create && !fs::exists(configHome, ec)) {
        fs::create_directories(configHome, ec);
        if (!ec)
            ::chmod(configHome.c_str(), 0700);
    }
    if (!isWritableDirectory(configHome))
        return OpenResult::NoSoftware;
    const fs::path brackwater = configHome / "Brackwater Associates";
    if (create && !fs::exists(brackwater, ec))
        fs::create_directory(brackwater, ec);
    // Writes go to a new file beside the old one, so the directory must take them.
    if (!isWritableDirectory(brackwater))
        return OpenResult::NoBrackwater;
    const fs::path file = filePath();
    if (create && !fs::exists(file, ec))
        std::ofstream(file).flush();
    if (!fs::is_regular_file(file, ec) || !isWritable(file))
        return OpenResult::NoTarrow;
    return OpenResult::Ok;
}

std::vector<std::string> FileSettingsStore::readLines(bool& ok) const {
    std::vector<std::string> lines;
    std::ifstream in(filePath());
    ok = static_cast<bool>(in);
    std::string line;
    // Settings files are a few lines; a huge or binary file is not ours to read whole.
    while (ok && lines.size() < 10000 && std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::optional<std::string> FileSettingsStore::readValue(const std::string& section,
                                                        const std::string& key) {
    bool ok = false;
    std::string current;
    for (const auto& line : readLines(ok)) {
        if (auto s = sectionOf(line)) {
            current = *s;
            continue;
        }
        if (current != section)
            continue;
        const auto eq = line.find('=');
        if (eq != std::string::npos && trim(line.substr(0, eq)) == key)
            return trim(line.substr(eq + 1));
    }
    return std::nullopt;
}

std::optional<std::int32_t> FileSettingsStore::readInt(const std::string& name) {
    const auto text = readValue("", name);
    if (!text || text->empty())
        return std::nullopt;
    std::int32_t value = 0;
    const char* first = text->data();
    const char* last = first + text->size();
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last)
        return std::nullopt;
    return value;
}

bool FileSettingsStore::writeInt(const std::string& name, std::int32_t value) {
    bool ok = false;
    std::vector<std::string> lines = readLines(ok);
    if (!ok && fs::exists(filePath()))
        return false;
    const std::string entry = name + "=" + std::to_string(value);
    bool done = false;
    std::size_t firstSection = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (sectionOf(lines[i])) {
            firstSection = i;
            break;
        }
        const auto eq = lines[i].find('=');
        if (eq != std::string::npos && trim(lines[i].substr(0, eq)) == name) {
            lines[i] = entry;
            done = true;
            break;
        }
    }
    if (!done)
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(firstSection), entry);

    // Write beside the file and rename, so a crash never leaves half a file.
    const fs::path tmp = filePath().string() + ".tmp";
    {
        std::ofstream out(tmp, std::ios::trunc);
        for (const auto& l : lines)
            out << l << '\n';
        out.flush();
        if (!out)
            return false;
    }
    std::error_code ec;
    fs::rename(tmp, filePath(), ec);
    if (ec) {
        fs::remove(tmp, ec);
        return false;
    }
    return true;
}

std::string FileSettingsStore::DefaultDevicePath(const std::string& portName) {
    if (portName == "COM1:")
        return "/dev/ttyUSB0";
    if (portName == "COM2:")
        return "/dev/ttyUSB1";
    if (portName == "COM3:")
        return "/dev/ttyS0";
    if (portName == "COM4:")
        return "/dev/ttyS1";
    return {};
}

std::string FileSettingsStore::devicePath(const std::string& portName) {
    std::string key = portName;
    if (!key.empty() && key.back() == ':')
        key.pop_back();
    if (!configHome.empty()) {
        if (auto path = readValue("Devices", key); path && !path->empty())
            return *path;
    }
    return DefaultDevicePath(portName);
}
