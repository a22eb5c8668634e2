// Start-up's reading of the two persisted values, from a real settings file.
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/Fakes.h"
#include "core/TempDir.h"
#include "engine/Startup.h"
#include "settings/SettingsStore.h"

namespace fs = std::filesystem;

namespace {

std::string fileText(const FileSettingsStore& store) {
    std::string text;
    ReadSettingsFile(store.filePath(), text);
    return text;
}

// A first run writes the defaults; a damaged or out-of-range value is replaced by its default,
// the rest of the file kept; the file's place holding something else is left alone.
TEST(StartupSettings, StoredDefaultAndDamagedValues) {
    const std::tuple<const char*, std::uint8_t, bool, const char*> rows[] = {
        {nullptr, 0, true, "Port=1\nCompatibility=1\n"},
        {"Port=3\nCompatibility=0\n", 2, false, "Port=3\nCompatibility=0\n"},
        {"Port=4\nCompatibility=7\n", 3, true, "Port=4\nCompatibility=7\n"},
        {"Port=9\nCompatibility=1\n", 0, true, "Port=1\nCompatibility=1\n"},
        {"Port=2x\nCompatibility=\n", 0, true, "Port=1\nCompatibility=1\n"},
        {"\x01\x02 garbage\n[Devices]\nCOM1=/dev/x\n", 0, true,
         "\x01\x02 garbage\nPort=1\nCompatibility=1\n[Devices]\nCOM1=/dev/x\n"},
        {"[Devices]\nPort=2\n", 0, true, "Port=1\nCompatibility=1\n[Devices]\nPort=2\n"},
    };
    for (const auto& [file, port, compat, afterwards] : rows) {
        TempDir tmp;
        FileSettingsStore store(tmp.path / "config");
        if (file) {
            fs::create_directories(store.filePath().parent_path());
            std::ofstream(store.filePath()) << file;
        }
        FakeMessageBox box;
        const StartupSettings s = ReadStartupSettings(store, box);
        EXPECT_TRUE(box.shown.empty());
        EXPECT_EQ(s.portIndex, port);
        EXPECT_EQ(s.compatibility, compat);
        EXPECT_EQ(fileText(store), afterwards);
        struct stat st {};
        ASSERT_EQ(::stat((tmp.path / "config").c_str(), &st), 0);
        EXPECT_TRUE(file || (st.st_mode & 0777) == 0700u); // a directory made is the user's
    }
    for (const auto& make : {+[](const fs::path& p) { ::mkfifo(p.c_str(), 0600); },
                             +[](const fs::path& p) { fs::create_directory(p); }}) {
        TempDir tmp;
        FileSettingsStore store(tmp.path);
        fs::create_directories(store.filePath().parent_path());
        make(store.filePath());
        FakeMessageBox box;
        EXPECT_EQ(ReadStartupSettings(store, box).portIndex, 0); // and no hang on the FIFO
        EXPECT_FALSE(fs::is_regular_file(store.filePath()));
    }
}

TEST(StartupSettings, UnusableConfigDirectoryIsRegistryError) {
    TempDir tmp;
    std::ofstream(tmp.path / "afile") << "x";
    for (const fs::path& home : {fs::path(), tmp.path / "afile"}) {
        FileSettingsStore store(home);
        FakeMessageBox box;
        const StartupSettings s = ReadStartupSettings(store, box);
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0].text + "/" + box.shown[0].caption, "Registry error!/error");
        EXPECT_EQ(s.portIndex, 0);
        EXPECT_TRUE(s.compatibility);
    }
}

} // namespace
