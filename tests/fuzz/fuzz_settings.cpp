// The settings file: an arbitrary Tarrow.conf is read, one value is written, and the file
// must still say everything it said before.
//
// Input: the file as it stands (a settings file works as it is). Its last byte chooses the key
// (bit 0: Port or Compatibility) and the value (bit 1 set: the four bytes before it, else a
// small number from its upper bits). A file starting "#rep" is repeated up to 2^(10 + n % 12)
// bytes, n its fifth byte: from 1 KiB, many lines, to 2 MiB, well beyond what the store reads.
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "FuzzSupport.h"
#include "settings/SettingsStore.h"

namespace {

namespace fs = std::filesystem;

// Sizes the store must take, and sizes it must refuse.
constexpr std::size_t SurelyAccepted = MaxSettingsFileSize / 2,
                      SurelyRefused = 2 * MaxSettingsFileSize;

const fs::path& configHome() { return fuzzsupport::privateDirectory("tarrow-fuzz-settings"); }

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    FUZZ_CHECK(in.good());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Lines as a text reader sees them: split at LF, a last line without LF still a line.
std::vector<std::string> linesOf(const std::string& text) {
    const auto pieces = fuzzsupport::split(text, '\n');
    return {pieces.begin(), pieces.end() - (pieces.back().empty() ? 1 : 0)};
}

std::string trimmed(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    return b == std::string::npos ? "" : s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fs::create_directory(configHome() / "Brackwater Associates");
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
    std::int32_t value = (last >> 2) - 4;
    if ((last & 2) != 0 && size >= 5)
        std::memcpy(&value, data + size - 5, sizeof value);

    FileSettingsStore store(configHome());
    const fs::path file = store.filePath();
    FUZZ_CHECK((std::ofstream(file, std::ios::binary) << content).good());

    const auto opened = store.open(false);
    FUZZ_CHECK(content.size() > SurelyAccepted || opened == SettingsStore::OpenResult::Ok);
    // Opening an existing file changes nothing in it. A port always opens something: its
    // [Devices] entry or the default device.
    FUZZ_CHECK(readFile(file) == content);
    for (const char* port : {"COM1:", "COM2:", "COM3:", "COM4:"})
        FUZZ_CHECK(!store.devicePath(port).empty());

    const auto before = store.readInt(key); // whatever the file holds, a number or not
    const bool written = store.writeInt(key, value);
    FUZZ_CHECK(content.size() > SurelyAccepted || written);
    // Too large to be ours: never read, never rewritten.
    FUZZ_CHECK(content.size() < SurelyRefused || (!written && !before));
    // Nothing but the file (and a lock, if the store keeps one) stays beside it.
    for (const auto& entry : fs::directory_iterator(file.parent_path()))
        FUZZ_CHECK(entry.path() == file ||
                   entry.path().filename().string().find("lock") != std::string::npos);
    const std::string after = readFile(file);
    if (!written) {
        FUZZ_CHECK(after == content);
        return 0;
    }
    // The value reads back (so the file is still one the store takes). The old lines stay in
    // their order, and so does all the store reads of them, with the key's first line in the
    // leading (unnamed) group replaced by the entry, or the entry added in that group.
    FUZZ_CHECK(store.readInt(key) == value);
    const std::string entry = key + "=" + std::to_string(value);
    auto want = linesOf(content);
    const auto now = linesOf(after);
    std::size_t end = 0; // of the leading group
    for (; end < want.size(); ++end) {
        const std::string t = trimmed(want[end]);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']')
            break;
        const auto eq = t.find('=');
        if (eq != std::string::npos && trimmed(t.substr(0, eq)) == key) {
            want[end] = entry;
            FUZZ_CHECK(now == want);
            return 0;
        }
    }
    const auto at = std::find(now.begin(), now.end(), entry) - now.begin();
    FUZZ_CHECK(static_cast<std::size_t>(at) <= end);
    want.insert(want.begin() + at, entry);
    FUZZ_CHECK(now == want);
    return 0;
}
