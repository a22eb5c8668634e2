#include "settings/SettingsStore.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
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

// Holds an advisory lock on a directory while a read-modify-write of a file in it runs, so
// that two writers (two programs, or a program and the command line) never lose each other's
// keys. Gives up after a while rather than wait for ever on a holder that hangs.
class DirectoryLock {
public:
    explicit DirectoryLock(const fs::path& dir)
        : fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        for (int attempt = 0; fd >= 0 && attempt < 200; ++attempt) {
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                locked = true;
                return;
            }
            if (errno != EWOULDBLOCK && errno != EINTR)
                return;
            ::usleep(10000);
        }
    }
    ~DirectoryLock() {
        if (fd >= 0)
            ::close(fd); // releases the lock
    }
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;
    bool held() const { return locked; }

private:
    int fd;
    bool locked = false;
};

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The names a write's temporary file takes beside the file: hidden, and marked as ours, so
// that no file a user made is ever taken for one.
std::string temporaryPrefix(const fs::path& file) {
    return "." + file.filename().string() + ".tarrow-tmp-";
}
std::string temporaryPattern(const fs::path& file) {
    return (file.parent_path() / temporaryPrefix(file)).string() + "XXXXXX";
}

// Makes `dir` (its parents must exist) when missing; `exact` sets its mode whatever the umask.
// A directory made here is changed only through its open descriptor, never by name, so a link
// planted in its place is not followed; root making it in a user's folder gives it to that
// folder's owner.
bool makeDirectory(const fs::path& dir, mode_t mode, bool exact) {
    if (::mkdir(dir.c_str(), mode) != 0)
        return errno == EEXIST;
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat parent {};
    bool ok = !exact || ::fchmod(fd, mode) == 0;
    if (ok && ::geteuid() == 0 && ::stat(dir.parent_path().c_str(), &parent) == 0)
        ok = ::fchown(fd, parent.st_uid, parent.st_gid) == 0;
    ::close(fd);
    return ok;
}

// Sets key=value in its group, in place when the key is there; otherwise as the group's last
// line, the group added at the end when missing. Other lines stay as they are.
void SetEntry(std::vector<std::string>& lines, const SettingsEntry& e) {
    const std::string entry = e.key + "=" + e.value;
    // The values above every group end at the first group; a named group at the next one.
    bool inGroup = e.section.empty();
    std::size_t insertAt = std::string::npos;
    for (std::size_t i = 0; i < lines.size() && insertAt == std::string::npos; ++i) {
        if (auto s = sectionOf(lines[i])) {
            if (inGroup)
                insertAt = i;
            inGroup = !e.section.empty() && *s == e.section;
            continue;
        }
        const auto eq = lines[i].find('=');
        if (inGroup && eq != std::string::npos && trim(lines[i].substr(0, eq)) == e.key) {
            lines[i] = entry;
            return;
        }
    }
    if (insertAt == std::string::npos) {
        if (!inGroup)
            lines.push_back("[" + e.section + "]");
        insertAt = lines.size();
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
}

} // namespace

bool ReadSettingsFile(const fs::path& path, std::string& text) {
    // Without blocking, and only a regular file: a FIFO or a device would never let the
    // program start.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= MaxSettingsFileSize;
    text.clear();
    char buffer[4096];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        ok = text.size() <= static_cast<std::size_t>(MaxSettingsFileSize); // it may have grown
    }
    ::close(fd);
    return ok;
}

bool ReplaceFile(const fs::path& path, const std::string& text) {
    std::string name = temporaryPattern(path);
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return false;
    // The new file takes the old one's owner and mode, so root writing a user's settings
    // leaves them the user's; a first file takes its directory's owner.
    struct stat old {};
    bool had = ::stat(path.c_str(), &old) == 0;
    const mode_t mode = had ? (old.st_mode & 0777) : 0644;
    if (!had)
        had = ::stat(path.parent_path().c_str(), &old) == 0;
    bool ok = ::fchmod(fd, mode) == 0;
    if (ok && had && ::geteuid() == 0)
        ok = ::fchown(fd, old.st_uid, old.st_gid) == 0;
    ok = ok && writeAll(fd, text) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = ::rename(name.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(name.c_str());
        return false;
    }
    // The rename itself lasts only once the directory is on disk too.
    const int dir = ::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
    return true;
}

void RemoveLeftoverTemporaries(const fs::path& path) {
    const DirectoryLock lock(path.parent_path());
    if (!lock.held())
        return;
    // Under the lock no write is under way, so a temporary file made before it was taken is
    // one a killed writer left. One made since is not from a writer that keeps the lock.
    const auto locked = fs::file_time_type::clock::now();
    const std::string prefix = temporaryPrefix(path);
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(path.parent_path(), ec)) {
        const std::string name = entry.path().filename().string();
        std::error_code entryError;
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix) &&
            fs::symlink_status(entry.path(), entryError).type() == fs::file_type::regular &&
            fs::last_write_time(entry.path(), entryError) < locked && !entryError)
            fs::remove(entry.path(), entryError);
    }
}

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
        fs::create_directories(configHome.parent_path(), ec);
        makeDirectory(configHome, 0700, true);
    }
    if (!isWritableDirectory(configHome))
        return OpenResult::NoSoftware;
    const fs::path brackwater = configHome / "Brackwater Associates";
    if (create && !fs::exists(brackwater, ec))
        makeDirectory(brackwater, 0777, false);
    // Writes go to a new file beside the old one, so the directory must take them.
    if (!isWritableDirectory(brackwater))
        return OpenResult::NoBrackwater;
    const fs::path file = filePath();
    if (create) {
        RemoveLeftoverTemporaries(file);
        // A missing file is made by the first write, whole; never an empty one first.
        if (!fs::exists(file, ec) && !fs::is_symlink(file, ec))
            return OpenResult::Ok;
    }
    if (!fs::is_regular_file(file, ec) || !isWritable(file))
        return OpenResult::NoTarrow;
    return OpenResult::Ok;
}

std::vector<std::string> FileSettingsStore::readLines(bool& ok) const {
    std::vector<std::string> lines;
    std::string text;
    ok = ReadSettingsFile(filePath(), text);
    if (!ok)
        return lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
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

bool SettingsStore::writeEntries(const std::vector<SettingsEntry>& entries) {
    for (const auto& e : entries) {
        std::int32_t value = 0;
        const auto [end, error] =
            std::from_chars(e.value.data(), e.value.data() + e.value.size(), value);
        if (!e.section.empty() || error != std::errc() || end != e.value.data() + e.value.size() ||
            !writeInt(e.key, value))
            return false;
    }
    return true;
}

bool FileSettingsStore::writeInt(const std::string& name, std::int32_t value) {
    return writeEntries({{"", name, std::to_string(value)}});
}

bool FileSettingsStore::writeEntries(const std::vector<SettingsEntry>& entries) {
    return update([&](std::vector<std::string>& lines) {
        for (const auto& e : entries)
            SetEntry(lines, e);
    });
}

bool FileSettingsStore::update(const std::function<void(std::vector<std::string>&)>& change) {
    const DirectoryLock lock(filePath().parent_path());
    if (!lock.held())
        return false;
    bool ok = false;
    std::vector<std::string> lines = readLines(ok);
    std::error_code ec;
    // A file that is there but cannot be read (too large, not a regular file) is left alone.
    if (!ok && (fs::exists(filePath(), ec) || fs::is_symlink(filePath(), ec)))
        return false;
    change(lines);
    std::string text;
    for (const auto& l : lines)
        text += l + '\n';
    // A file the next start would refuse as too large is not written: the old one stays usable.
    if (text.size() > static_cast<std::size_t>(MaxSettingsFileSize))
        return false;
    // A link (to a file kept with the user's other settings) stays a link: its target is
    // written, but only a regular file of the link's own owner, so that a link planted in a
    // folder root writes to never hands root another user's file.
    fs::path target = filePath();
    struct stat link {};
    struct stat file {};
    if (::lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        target = fs::canonical(target, ec);
        if (ec || ::stat(target.c_str(), &file) != 0 || !S_ISREG(file.st_mode) ||
            file.st_uid != link.st_uid)
            return false;
    }
    return ReplaceFile(target, text);
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
