// The settings file: an arbitrary Tarrow.conf is read, one value is written, and the file
// must still say everything it said before.
//
// Input: the file as it stands (a settings file works as it is). Its last byte chooses the key
// (bit 0: Port or Compatibility) and the value (bit 1 set: the four bytes before it, else a
// small number from its upper bits). A file starting "#rep" is repeated up to 2^(10 + n % 12)
// bytes, n its fifth byte: from 1 KiB, many lines, to 2 MiB, well beyond what the store reads.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "settings/SettingsStore.h"

namespace {

namespace fs = std::filesystem;

// Sizes the store must take, and sizes it must refuse ("about 1 MB" is its limit).
constexpr std::size_t SurelyAccepted = 512 * 1024;
constexpr std::size_t SurelyRefused = 2 * 1024 * 1024;

const char* const Ports[4] = {"COM1:", "COM2:", "COM3:", "COM4:"};

const fs::path& configHome() {
    static const fs::path home = [] {
        const fs::path h = fuzzsupport::privateDirectory("tarrow-fuzz-settings") / "config";
        fs::create_directories(h / "Brackwater Associates");
        fs::permissions(h, fs::perms::owner_all);
        fs::permissions(h / "Brackwater Associates", fs::perms::owner_all);
        return h;
    }();
    return home;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    FUZZ_CHECK(in.good());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::string& text) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        FUZZ_CHECK(out.good());
    }
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
}

// Lines as a text reader sees them: split at LF, a last line without LF still a line.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
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

std::string trimmed(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

bool isSection(const std::string& line) {
    const std::string t = trimmed(line);
    return t.size() >= 2 && t.front() == '[' && t.back() == ']';
}

bool isKeyLine(const std::string& line, const std::string& key) {
    const auto eq = line.find('=');
    return eq != std::string::npos && trimmed(line.substr(0, eq)) == key;
}

// The new file holds the old lines in their order, with the key's first line in the leading
// (unnamed) group replaced by the entry, or the entry added in that group when it had none.
void checkLinesKept(const std::string& before, const std::string& after, const std::string& key,
                    const std::string& entry) {
    const auto old = linesOf(before);
    const auto now = linesOf(after);
    std::size_t firstSection = old.size();
    std::size_t keyAt = std::string::npos;
    for (std::size_t i = 0; i < old.size(); ++i) {
        if (isSection(old[i])) {
            firstSection = i;
            break;
        }
        if (isKeyLine(old[i], key)) {
            keyAt = i;
            break;
        }
    }
    if (keyAt != std::string::npos) {
        FUZZ_CHECK(now.size() == old.size());
        for (std::size_t i = 0; i < old.size(); ++i)
            FUZZ_CHECK(now[i] == (i == keyAt ? entry : old[i]));
        return;
    }
    FUZZ_CHECK(now.size() == old.size() + 1);
    std::size_t p = 0;
    while (p < old.size() && now[p] == old[p])
        ++p;
    FUZZ_CHECK(p <= firstSection);
    FUZZ_CHECK(now[p] == entry);
    for (std::size_t i = p; i < old.size(); ++i)
        FUZZ_CHECK(now[i + 1] == old[i]);
}

// A value read is one the file holds: its digits are there.
void checkReadFromFile(const std::optional<std::int32_t>& value, const std::string& text) {
    if (!value)
        return;
    const std::string digits = std::to_string(*value);
    FUZZ_CHECK(text.find(digits.substr(digits[0] == '-' ? 1 : 0)) != std::string::npos);
}

// Nothing but the file (and a lock, if the store keeps one) stays beside it.
void checkNoLeftovers(const fs::path& file) {
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
        const std::string name = entry.path().filename().string();
        FUZZ_CHECK(name == file.filename() || name.find("lock") != std::string::npos);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    (void)configHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string content(reinterpret_cast<const char*>(data), size);
    if (content.rfind("#rep", 0) == 0 && size > 4) {
        const std::size_t target = std::size_t{1024} << (data[4] % 12);
        const std::string unit = content + "\n";
        while (content.size() < target)
            content += unit;
    }
    const std::uint8_t last = size > 0 ? data[size - 1] : 0;
    const std::string key = (last & 1) != 0 ? "Compatibility" : "Port";
    const std::string other = (last & 1) != 0 ? "Port" : "Compatibility";
    std::int32_t value = (last >> 2) - 4;
    if ((last & 2) != 0 && size >= 5)
        std::memcpy(&value, data + size - 5, sizeof value);

    FileSettingsStore store(configHome());
    const fs::path file = store.filePath();
    FUZZ_CHECK(file == configHome() / "Brackwater Associates" / "Tarrow.conf");
    writeFile(file, content);

    const auto opened = store.open(false);
    if (content.size() <= SurelyAccepted)
        FUZZ_CHECK(opened == SettingsStore::OpenResult::Ok);
    // Opening an existing file changes nothing in it.
    FUZZ_CHECK(readFile(file) == content);

    const auto keyBefore = store.readInt(key);
    const auto otherBefore = store.readInt(other);
    checkReadFromFile(keyBefore, content);
    checkReadFromFile(otherBefore, content);
    std::string devices[4];
    for (int i = 0; i < 4; ++i) {
        devices[i] = store.devicePath(Ports[i]);
        // A port always opens something: its entry, or the default device.
        FUZZ_CHECK(!devices[i].empty());
        if (content.find("[Devices]") == std::string::npos)
            FUZZ_CHECK(devices[i] == FileSettingsStore::DefaultDevicePath(Ports[i]));
    }

    const bool written = store.writeInt(key, value);
    const std::string after = readFile(file);
    if (content.size() <= SurelyAccepted)
        FUZZ_CHECK(written);
    if (content.size() >= SurelyRefused) {
        // Too large to be ours: never read, never rewritten.
        FUZZ_CHECK(!written);
        FUZZ_CHECK(!keyBefore && !otherBefore);
        for (int i = 0; i < 4; ++i)
            FUZZ_CHECK(devices[i] == FileSettingsStore::DefaultDevicePath(Ports[i]));
    }
    checkNoLeftovers(file);
    if (!written) {
        FUZZ_CHECK(after == content);
        return 0;
    }

    const std::string entry = key + "=" + std::to_string(value);
    FUZZ_CHECK(store.readInt(key) == value);
    FUZZ_CHECK(store.readInt(other) == otherBefore);
    for (int i = 0; i < 4; ++i)
        FUZZ_CHECK(store.devicePath(Ports[i]) == devices[i]);
    checkLinesKept(content, after, key, entry);

    // Writing the same value again leaves the file as it is.
    FUZZ_CHECK(store.writeInt(key, value));
    FUZZ_CHECK(readFile(file) == after);
    checkNoLeftovers(file);
    return 0;
}
