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
#include <unistd.h>

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

// Start-up removes only the temporary files a killed writer of ours left: never a file a user
// named like the settings file, nor one made after the lock was taken.
TEST(SettingsStore, StartRemovesOnlyLeftoversOfItsOwn) {
    TempDir tmp;
    FileSettingsStore store(tmp.path);
    const fs::path dir = store.filePath().parent_path();
    const auto now = fs::file_time_type::clock::now();
    const struct {
        const char* name;
        fs::file_time_type written;
        bool stays;
    } rows[] = {
        {"Tarrow.conf.backup", now - std::chrono::hours(1), true},
        {"Tarrow.conf.abcdef", now - std::chrono::hours(1), true},
        {"Tarrow.conf.tarrow-tmp-abcdef", now - std::chrono::hours(1), true},
        {".Tarrow.conf.tarrow-tmp-abcdef", now - std::chrono::hours(1), false},
        {".Tarrow.conf.tarrow-tmp-ghijkl", now + std::chrono::hours(1), true},
    };
    for (const auto& row : rows) {
        tmp.file(dir / row.name, "Port=2\n");
        fs::last_write_time(dir / row.name, row.written);
    }
    ASSERT_EQ(store.open(true), SettingsStore::OpenResult::Ok);
    for (const auto& row : rows)
        EXPECT_EQ(fs::exists(dir / row.name), row.stays) << row.name;
}

// A write keeps the file's mode, and root writing a user's settings keeps them the user's:
// the folders it makes, the file it rewrites; a link to another owner's file is not followed.
TEST(SettingsStore, FilesStayTheirOwners) {
    TempDir tmp;
    FileSettingsStore store(tmp.path);
    tmp.file(store.filePath(), "Port=1\n");
    fs::permissions(store.filePath(),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(store.writeInt("Port", 2));
    EXPECT_EQ(fs::status(store.filePath()).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    if (::geteuid() != 0)
        GTEST_SKIP() << "the rest needs root";
    constexpr uid_t user = 4321, other = 4322;
    const auto ownerOf = [](const fs::path& p) {
        struct stat st {};
        ::lstat(p.c_str(), &st);
        return st.st_uid;
    };
    ASSERT_EQ(::chown(store.filePath().c_str(), user, user), 0);
    ASSERT_TRUE(store.writeInt("Port", 3));
    EXPECT_EQ(ownerOf(store.filePath()), user);

    const fs::path othersFile = tmp.file("others.conf", "Port=4\n");
    ASSERT_EQ(::chown(othersFile.c_str(), other, other), 0);
    fs::remove(store.filePath());
    fs::create_symlink(othersFile, store.filePath());
    ASSERT_EQ(::lchown(store.filePath().c_str(), user, user), 0);
    EXPECT_FALSE(store.writeInt("Port", 1));
    EXPECT_EQ(std::tuple(store.readInt("Port"), ownerOf(othersFile)), std::tuple(4, other));

    fs::create_directory(tmp.path / "home");
    ASSERT_EQ(::chown((tmp.path / "home").c_str(), user, user), 0);
    FileSettingsStore fresh(tmp.path / "home" / "config");
    ASSERT_EQ(fresh.open(true), SettingsStore::OpenResult::Ok);
    ASSERT_TRUE(fresh.writeInt("Port", 1));
    for (const fs::path& p : {fresh.filePath(), fresh.filePath().parent_path(),
                              fresh.filePath().parent_path().parent_path()})
        EXPECT_EQ(ownerOf(p), user) << p;
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
