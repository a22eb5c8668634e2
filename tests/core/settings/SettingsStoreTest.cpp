#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>

#include "core/TempDir.h"
#include "settings/SettingsStore.h"

namespace fs = std::filesystem;

namespace {

TEST(SettingsStore, OpenWithoutCreatingNamesTheMissingKey) {
    TempDir tmp;
    FileSettingsStore missingHome(tmp.path / "nothing");
    EXPECT_EQ(missingHome.open(false), SettingsStore::OpenResult::NoSoftware);
    FileSettingsStore store(tmp.path);
    EXPECT_EQ(store.open(false), SettingsStore::OpenResult::NoBrackwater);
    fs::create_directory(tmp.path / "Brackwater Associates");
    EXPECT_EQ(store.open(false), SettingsStore::OpenResult::NoTarrow);
    EXPECT_FALSE(fs::exists(store.filePath()));
    tmp.file(store.filePath(), "");
    EXPECT_EQ(store.open(false), SettingsStore::OpenResult::Ok);
    // A key that cannot be written is one that cannot be opened for writing.
    const auto readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    fs::permissions(store.filePath(), readOnly);
    EXPECT_EQ(store.open(false), SettingsStore::OpenResult::NoTarrow);
    fs::permissions(store.filePath(), readOnly | fs::perms::owner_write);
    fs::permissions(tmp.path / "Brackwater Associates", readOnly | fs::perms::owner_exec);
    EXPECT_EQ(store.open(false), SettingsStore::OpenResult::NoBrackwater);
    fs::permissions(tmp.path / "Brackwater Associates", fs::perms::owner_all);
}

TEST(SettingsStore, WritesReplaceTheFileWholeAndDoNotLoseKeys) {
    TempDir tmp;
    FileSettingsStore store(tmp.path);
    tmp.file(store.filePath(), "Port=1\nCompatibility=1\n");
    std::ifstream held(store.filePath()); // a reader of the old file keeps it whole
    ASSERT_TRUE(store.writeInt("Port", 4));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(held), {}), "Port=1\nCompatibility=1\n");

    std::atomic<bool> missing{false};
    const auto writer = [&](const char* key) {
        FileSettingsStore own(tmp.path);
        for (int i = 0; i < 200; ++i)
            own.writeInt(key, i);
    };
    std::thread a(writer, "A"), b(writer, "B");
    std::thread reader([&] {
        FileSettingsStore own(tmp.path);
        for (int i = 0; i < 400; ++i)
            if (!own.readInt("Port") || !own.readInt("Compatibility"))
                missing = true;
    });
    a.join();
    b.join();
    reader.join();
    EXPECT_FALSE(missing);
    EXPECT_EQ(std::tuple(store.readInt("A"), store.readInt("B"), store.readInt("Port")),
              std::tuple(199, 199, 4));
}

// Anything over the size limit is refused as unreadable and never rewritten; a write that
// would take the file over it is refused. A first write that fails leaves no file behind.
TEST(SettingsStore, SizeLimitAndFailedWrites) {
    TempDir tmp;
    FileSettingsStore store(tmp.path);
    const std::string huge = "Port=3\n" + std::string(MaxSettingsFileSize, '#');
    tmp.file(store.filePath(), huge);
    EXPECT_FALSE(store.readInt("Port"));
    EXPECT_FALSE(store.writeInt("Port", 1));
    EXPECT_EQ(fs::file_size(store.filePath()), huge.size());
    const std::string full = "Port=3\n" + std::string(MaxSettingsFileSize - 8, '#') + "\n";
    tmp.file(store.filePath(), full);
    EXPECT_FALSE(store.writeInt("Compatibility", 1));
    EXPECT_EQ(store.readInt("Port"), 3);

    TempDir fresh;
    FileSettingsStore first(fresh.path);
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit tiny{1, 1}; // every write of more than a byte fails
        ::setrlimit(RLIMIT_FSIZE, &tiny);
        first.open(true);
        first.writeInt("Port", 1);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(fs::is_empty(first.filePath().parent_path()));
}

TEST(SettingsStore, DevicePaths) {
    TempDir tmp;
    FileSettingsStore store(tmp.path);
    EXPECT_EQ(store.devicePath("COM1:") + " " + store.devicePath("COM4:"),
              "/dev/ttyUSB0 /dev/ttyS1");
    tmp.file(store.filePath(), "Port=1\n[Devices]\nCOM1 = /dev/pts/9\nCOM3=\n");
    EXPECT_EQ(store.devicePath("COM1:") + " " + store.devicePath("COM2:") + " " +
                  store.devicePath("COM3:"),
              "/dev/pts/9 /dev/ttyUSB1 /dev/ttyS0");
}

} // namespace
