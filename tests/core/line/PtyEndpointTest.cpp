// Pseudo-terminals the program creates and publishes for clients to open.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>

#include "core/TempDir.h"
#include "core/line/Wire.h"
#include "line/PosixSerialDevice.h"

namespace {

namespace fs = std::filesystem;

struct Published {
    TempDir tmp;
    fs::path link = tmp.path / "tarrow" / "COM1";
    std::unique_ptr<PosixSerialDevice> device = std::make_unique<PosixSerialDevice>(
        [](const std::string&) { return "pty"; }, link.parent_path());
    PortHandle h = device->open("COM1:");
    int client() const { return ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK); }
};

// With no client records are dropped; a client may come and go any number of times, getting
// only what is sent while it is there. The link goes with the program.
TEST(PtyEndpoint, ClientsComeAndGoAndTheLinkGoesAtTheEnd) {
    Published port;
    ASSERT_NE(port.h, InvalidPort) << port.device->openFailure();
    EXPECT_EQ(port.device->describe(port.h), "virtual " + port.link.string());
    EXPECT_TRUE(port.device->lineControl(port.h, LineControl::ClrRts)); // no modem lines
    EXPECT_TRUE(port.device->setLineState(port.h, LineState{4800}));
    EXPECT_FALSE(Send(*port.device, port.h, "nobody\r\n"));
    for (const char* record : {"$GPRMB,1\r\n", "$GPRMC,2\r\n"}) {
        const int client = port.client();
        ASSERT_GE(client, 0);
        termios t{};
        ::tcgetattr(client, &t);
        EXPECT_EQ(t.c_cc[VMIN], 1); // a reader such as cat waits for records
        EXPECT_TRUE(Send(*port.device, port.h, record));
        EXPECT_EQ(Drain(client), record);
        ::close(client);
        EXPECT_FALSE(Send(*port.device, port.h, "gone\r\n"));
    }
    port.device.reset();
    EXPECT_FALSE(fs::is_symlink(port.link));
}

// The pseudo-terminal outlives a close of its port: a client that stays keeps its line, and
// the port opened again writes to it, not to a file that took a number the close gave back.
TEST(PtyEndpoint, PortOpenedAgainStillReachesItsClient) {
    Published port;
    const int client = port.client();
    ASSERT_GE(client, 0);
    EXPECT_TRUE(port.device->close(port.h));
    int others[4];
    for (int& other : others)
        other = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const PortHandle again = port.device->open("COM1:");
    EXPECT_TRUE(Send(*port.device, again, "$GPRMC,3\r\n"));
    EXPECT_EQ(Drain(client), "$GPRMC,3\r\n");
    for (const int fd : others)
        ::close(fd);
    ::close(client);
}

// Another user must not reach the line through the published name.
TEST(PtyEndpoint, LinkDirectoryIsTheUsersAlone) {
    Published port;
    ASSERT_NE(port.h, InvalidPort);
    struct stat st {};
    ASSERT_EQ(::lstat(port.link.parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
}

} // namespace
