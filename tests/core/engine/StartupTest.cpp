#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

#include "core/Fakes.h"
#include "core/TempDir.h"
#include "engine/Startup.h"
#include "settings/SettingsStore.h"

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
    FakeMessageBox box;
    const StartupSettings s = ReadStartupSettings(store, box);
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(s.portIndex, 0);
    EXPECT_TRUE(s.compatibility);
    EXPECT_EQ(slurp(store.filePath()), "Port=1\nCompatibility=1\n");
    struct stat st {};
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
        {"Port=2x\nCompatibility=1\n", 0, true, "Port=1\nCompatibility=1\n"},
        {"\x01\x02 garbage\n[Devices]\nCOM1=/dev/x\n", 0, true,
         "\x01\x02 garbage\nPort=1\nCompatibility=1\n[Devices]\nCOM1=/dev/x\n"},
        {"[Devices]\nPort=2\n", 0, true, "Port=1\nCompatibility=1\n[Devices]\nPort=2\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file);
        TempDir tmp;
        FileSettingsStore store(tmp.path);
        writeFile(store.filePath(), r.file);
        FakeMessageBox box;
        const StartupSettings s = ReadStartupSettings(store, box);
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
        FakeMessageBox box;
        const StartupSettings s = ReadStartupSettings(store, box);
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0].text, "Registry error!");
        EXPECT_EQ(box.shown[0].caption, "error");
        EXPECT_EQ(s.portIndex, 0);
        EXPECT_TRUE(s.compatibility);
    }
}

TEST(StartupSettings, FilesThatAreNotSettings) {
    std::string longFile = "Port=7\n";
    for (int i = 0; i < 10001; ++i)
        longFile += "# note " + std::to_string(i) + "\n";
    longFile += "[Devices]\nCOM1=/dev/kept\n";
    const std::string huge(MaxSettingsFileSize + 1, '#');
    struct Row {
        const char* name;
        std::function<void(const fs::path&)> make;
        std::uint8_t port;
    };
    const Row rows[] = {
        {"FIFO", [](const fs::path& p) { ::mkfifo(p.c_str(), 0600); }, 0},
        {"directory", [](const fs::path& p) { fs::create_directory(p); }, 0},
        {"over 10000 lines", [&](const fs::path& p) { writeFile(p, longFile); }, 0},
        {"over the size limit", [&](const fs::path& p) { writeFile(p, "Port=3\n" + huge); }, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TempDir tmp;
        FileSettingsStore store(tmp.path);
        fs::create_directories(store.filePath().parent_path());
        r.make(store.filePath());
        const auto before = fs::status(store.filePath()).type();
        FakeMessageBox box;
        const StartupSettings s = ReadStartupSettings(store, box);
        EXPECT_EQ(s.portIndex, r.port);
        EXPECT_TRUE(box.shown.empty());
        EXPECT_EQ(fs::status(store.filePath()).type(), before); // never replaced
        if (std::string(r.name) == "over 10000 lines") {
            const std::string after = slurp(store.filePath());
            EXPECT_TRUE(after.starts_with("Port=1\n# note 0\n"));
            EXPECT_TRUE(
                after.ends_with("# note 10000\nCompatibility=1\n[Devices]\nCOM1=/dev/kept\n"));
            EXPECT_EQ(store.devicePath("COM1:"), "/dev/kept");
        }
        if (std::string(r.name) == "over the size limit") {
            EXPECT_EQ(fs::file_size(store.filePath()), huge.size() + 7);
        }
    }
    // A write that would take a file over the limit is refused, so it stays readable.
    TempDir tmp;
    FileSettingsStore store(tmp.path);
    const std::string full = "Port=3\n" + std::string(MaxSettingsFileSize - 8, '#') + "\n";
    writeFile(store.filePath(), full);
    EXPECT_FALSE(store.writeInt("Compatibility", 1));
    EXPECT_EQ(store.readInt("Port"), 3);
    EXPECT_EQ(slurp(store.filePath()), full);
}

TEST(StartupSettings, FailedFirstWriteLeavesNothing) {
    TempDir tmp;
    FileSettingsStore store(tmp.path);
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit tiny{1, 1}; // every write of more than a byte fails
        ::setrlimit(RLIMIT_FSIZE, &tiny);
        FakeMessageBox box;
        ReadStartupSettings(store, box);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(fs::is_directory(store.filePath().parent_path()));
    EXPECT_TRUE(fs::is_empty(store.filePath().parent_path()));
}

} // namespace
