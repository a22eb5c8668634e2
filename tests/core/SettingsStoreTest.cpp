#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "settings/SettingsStore.h"
#include "settings/StartupSettings.h"
#include "core/Fakes.h"
#include "core/TempDir.h"
#include "emulator/EmulatorState.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
    std::ifstream in(p);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text;
}

TEST(StartupSettings, FirstRunCreatesDefaults) {
    TempDir tmp;
    const fs::path home = tmp.path / "config";
    FileSettingsStore store(home);
    EmulatorState s;
    s.portIndex = 2;
    s.compatibility = false;
    FakeMessageBox box;
    ReadStartupSettings(s, store, box);
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(s.portIndex, 0);
    EXPECT_TRUE(s.compatibility);
    EXPECT_EQ(slurp(store.filePath()), "Port=1\nCompatibility=1\n");
    struct stat st{};
    ASSERT_EQ(::stat(home.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(StartupSettings, StoredValuesAndDamagedOnes) {
    struct Row {
        const char* file;
        std::uint8_t port;
        bool compat;
        const char* afterwards;
    };
    const Row rows[] = {
        {"Port=3\nCompatibility=0\n", 2, false, "Port=3\nCompatibility=0\n"},
        {"Port=4\nCompatibility=7\n", 3, true, "Port=4\nCompatibility=7\n"},
        {"Port=9\nCompatibility=1\n", 0, true, "Port=1\nCompatibility=1\n"},
        {"Port=0\nCompatibility=1\n", 0, true, "Port=1\nCompatibility=1\n"},
        {"Port=abc\nCompatibility=\n", 0, true, "Port=1\nCompatibility=1\n"},
        {"\x01\x02 garbage\n[Devices]\nCOM1=/dev/x\n", 0, true,
         "\x01\x02 garbage\nPort=1\nCompatibility=1\n[Devices]\nCOM1=/dev/x\n"},
        {"[Devices]\nPort=2\n", 0, true, "Port=1\nCompatibility=1\n[Devices]\nPort=2\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file);
        TempDir tmp;
        FileSettingsStore store(tmp.path);
        writeFile(store.filePath(), r.file);
        EmulatorState s;
        FakeMessageBox box;
        ReadStartupSettings(s, store, box);
        EXPECT_TRUE(box.shown.empty());
        EXPECT_EQ(s.portIndex, r.port);
        EXPECT_EQ(s.compatibility, r.compat);
        EXPECT_EQ(slurp(store.filePath()), r.afterwards);
    }
}

TEST(StartupSettings, UnusableConfigDirectoryIsRegistryError) {
    TempDir tmp;
    writeFile(tmp.path / "afile", "x");
    for (const fs::path& home : {fs::path(), tmp.path / "afile"}) {
        FileSettingsStore store(home);
        EmulatorState s;
        s.portIndex = 3;
        FakeMessageBox box;
        ReadStartupSettings(s, store, box);
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0].text, "Registry error!");
        EXPECT_EQ(box.shown[0].caption, "error");
        EXPECT_EQ(s.portIndex, 0);
        EXPECT_TRUE(s.compatibility);
    }
}

TEST(SettingsStore, OpenWithoutCreatingNamesTheMissingKey) {
    TempDir tmp;
    FileSettingsStore missingHome(tmp.path / "nothing");
    EXPECT_EQ(missingHome.open(false), SettingsStore::OpenResult::NoSoftware);
    FileSettingsStore store(tmp.path);
    EXPECT_EQ(store.open(false), SettingsStore::OpenResult::NoBrackwater);
    fs::create_directory(tmp.path / "Brackwater Associates");
    EXPECT_EQ(store.open(false), SettingsStore::OpenResult::NoTarrow);
    EXPECT_FALSE(fs::exists(store.filePath()));
    writeFile(store.filePath(), "");
    EXPECT_EQ(store.open(false), SettingsStore::OpenResult::Ok);
    EXPECT_TRUE(store.writeInt("Port", 3));
    EXPECT_EQ(store.readInt("Port"), 3);
    EXPECT_TRUE(store.writeInt("Port", 2));
    EXPECT_EQ(slurp(store.filePath()), "Port=2\n");
    // A key that cannot be written is one that cannot be opened for writing.
    const auto readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    fs::permissions(store.filePath(), readOnly);
    EXPECT_EQ(store.open(false), SettingsStore::OpenResult::NoTarrow);
    fs::permissions(store.filePath(), readOnly | fs::perms::owner_write);
    fs::permissions(tmp.path / "Brackwater Associates", readOnly | fs::perms::owner_exec);
    EXPECT_EQ(store.open(false), SettingsStore::OpenResult::NoBrackwater);
    fs::permissions(tmp.path / "Brackwater Associates", fs::perms::owner_all);
}

TEST(SettingsStore, DevicePaths) {
    TempDir tmp;
    FileSettingsStore store(tmp.path);
    EXPECT_EQ(store.devicePath("COM1:"), "/dev/ttyUSB0");
    EXPECT_EQ(store.devicePath("COM4:"), "/dev/ttyS1");
    writeFile(store.filePath(), "Port=1\n[Devices]\nCOM1 = /dev/pts/9\nCOM3=\n");
    EXPECT_EQ(store.devicePath("COM1:"), "/dev/pts/9");
    EXPECT_EQ(store.devicePath("COM3:"), "/dev/ttyS0");
    EXPECT_EQ(store.devicePath("COM2:"), "/dev/ttyUSB1");
}

} // namespace
