// Ports on real pseudo-terminals and loopback sockets: virtual ports, a line that goes away
// and comes back, a port opened again after a close, and why an open failed.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>

#include "core/Fakes.h"
#include "core/PtyPair.h"
#include "core/TempDir.h"
#include "engine/Emulator.h"
#include "line/PosixSerialDevice.h"
#include "settings/SettingsStore.h"

namespace {

namespace fs = std::filesystem;

bool send(PosixSerialDevice& d, PortHandle h, const std::string& bytes) {
    return d.write(h, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// Everything waiting on a descriptor, allowing `waitMs` for the first of it to arrive.
std::string drain(int fd, int waitMs = 100) {
    std::string got;
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, got.empty() ? waitMs : 0) > 0 && (p.revents & POLLIN)) {
        char buf[65536];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

// A loopback port nobody listens on at the moment.
int freePort(int type) {
    const int s = ::socket(AF_INET, type, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}

int connectTo(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    return s;
}

// The pseudo-terminal is published under a stable name; with no client records are dropped,
// and a client may come and go any number of times, getting only what is sent while it is there.
TEST(VirtualPorts, PseudoTerminalClientsComeAndGo) {
    TempDir links;
    PosixSerialDevice device([](const std::string&) { return "pty"; }, links.path);
    const PortHandle h = device.open("COM1:");
    ASSERT_NE(h, InvalidPort);
    const fs::path link = links.path / "COM1";
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(device.describe(h), "virtual " + link.string());
    EXPECT_TRUE(device.lineControl(h, LineControl::ClrRts)); // does nothing
    EXPECT_TRUE(device.setLineState(h, LineState{4800}));
    EXPECT_FALSE(send(device, h, "nobody\r\n"));
    for (const char* record : {"$GPRMB,1\r\n", "$GPRMC,2\r\n"}) {
        const int client = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(client, 0);
        termios t{};
        ::tcgetattr(client, &t);
        EXPECT_EQ(t.c_cc[VMIN], 1); // a reader such as cat waits for records
        EXPECT_TRUE(send(device, h, record));
        EXPECT_EQ(drain(client), record);
        ::close(client);
        EXPECT_FALSE(send(device, h, "gone\r\n"));
    }
    device.close(h);
    const PortHandle again = device.open("COM1:"); // the same pseudo-terminal for the whole run
    EXPECT_EQ(device.describe(again), "virtual " + link.string());
}

TEST(VirtualPorts, PseudoTerminalLinkGoesWithTheProgram) {
    TempDir links;
    {
        PosixSerialDevice device([](const std::string&) { return "pty"; }, links.path);
        ASSERT_NE(device.open("COM2:"), InvalidPort);
        EXPECT_TRUE(fs::is_symlink(links.path / "COM2"));
    }
    EXPECT_FALSE(fs::exists(links.path / "COM2") || fs::is_symlink(links.path / "COM2"));
}

// Every client gets every record whole from the moment it connects; one that stops reading
// neither slows nor cuts the others.
TEST(VirtualPorts, TcpServerServesEveryClient) {
    const int port = freePort(SOCK_STREAM);
    PosixSerialDevice device([port](const std::string&) { return "tcp:" + std::to_string(port); });
    const PortHandle h = device.open("COM1:");
    ASSERT_NE(h, InvalidPort);
    EXPECT_FALSE(send(device, h, "before anyone\r\n"));
    const int reader = connectTo(port), stalled = connectTo(port);
    const std::string record = "$GPRMB," + std::string(1000, 'x') + "\r\n";
    std::string expected, got;
    for (int i = 0; i < 20000; ++i) { // 20 MB: far more than the stalled client's buffers
        EXPECT_TRUE(send(device, h, record));
        expected += record;
        got += drain(reader, 0);
    }
    got += drain(reader);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(device.describe(h).rfind("virtual TCP 127.0.0.1:", 0), 0u);
    ::close(reader);
    const int late = connectTo(port);
    EXPECT_TRUE(send(device, h, "late\r\n"));
    EXPECT_EQ(drain(late), "late\r\n");
    ::close(stalled);
    ::close(late);
}

TEST(VirtualPorts, UdpSendsOneDatagramPerRecord) {
    const int receiver = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(::bind(receiver, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ::getsockname(receiver, reinterpret_cast<sockaddr*>(&a), &len);
    const std::string entry = "udp:127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    PosixSerialDevice device([&entry](const std::string&) { return entry; });
    const PortHandle h = device.open("COM1:");
    ASSERT_NE(h, InvalidPort);
    for (const char* record : {"$GPRMB,1\r\n", "$GPRMC,22\r\n"}) {
        EXPECT_TRUE(send(device, h, record));
        char buf[100];
        EXPECT_EQ(std::string(buf, static_cast<std::size_t>(::recv(receiver, buf, sizeof buf, 0))),
                  record);
    }
    ::close(receiver);
}

// An adapter unplugged (the pseudo-terminal's master closed) loses the line without a word;
// once the configured path leads to a line again, it opens with the same settings.
TEST(VirtualPorts, UnpluggedLineComesBackByItself) {
    TempDir tmp;
    auto first = std::make_unique<PtyPair>();
    const fs::path path = tmp.path / "ttyUSB0";
    fs::create_symlink(first->slavePath, path);
    fs::create_directories(tmp.path / "Brackwater Associates");
    std::ofstream(tmp.path / "Brackwater Associates" / "Tarrow.conf")
        << "Port=1\nCompatibility=1\n";
    std::ofstream(tmp.path / "Brackwater Associates" / "Tarrow.conf", std::ios::app)
        << "[Devices]\nCOM1=" << path.string() << "\n";
    FileSettingsStore settings(tmp.path);
    PosixSerialDevice device(
        [&settings](const std::string& name) { return settings.devicePath(name); });
    FakeMessageBox box;
    Emulator emulator(device, settings, box);
    emulator.start();
    emulator.writer().flush();
    emulator.transmitter().TransmitLine("A", 0);
    EXPECT_EQ(first->read(3), "A\r\n");

    first.reset(); // unplugged
    emulator.transmitter().TransmitLine("B", 0);
    emulator.writer().flush();
    EXPECT_TRUE(emulator.lineStatus().lost);
    EXPECT_EQ(StatusTexts(emulator.lineStatus()).port, "COM1: " + path.string() + " lost");
    emulator.poll();
    emulator.writer().flush();
    EXPECT_TRUE(emulator.lineStatus().lost); // nothing there yet

    PtyPair second; // plugged in again
    fs::remove(path);
    fs::create_symlink(second.slavePath, path);
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the next try is due
    emulator.poll();
    emulator.writer().flush();
    EXPECT_FALSE(emulator.lineStatus().lost);
    emulator.transmitter().TransmitLine("C", 0);
    EXPECT_EQ(second.read(3), "C\r\n");
    const termios t = second.slaveTermios();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B4800));
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(emulator.lineStatus().recordsDropped, 1u); // B
}

// A port closed by one program opens at once for the next, also for an ordinary user.
TEST(VirtualPorts, ClosedPortOpensAgain) {
    PtyPair pty;
    for (int run = 0; run < 2; ++run) {
        PosixSerialDevice device([&pty](const std::string&) { return pty.slavePath; });
        const PortHandle h = device.open("COM1:");
        ASSERT_NE(h, InvalidPort) << "run " << run << ": " << device.openFailure();
        EXPECT_TRUE(device.close(h));
    }
}

TEST(VirtualPorts, OpenFailuresSayWhyAndWhatToDo) {
    TempDir tmp;
    std::ofstream(tmp.path / "file") << "x";
    PtyPair held;
    PosixSerialDevice holder([&held](const std::string&) { return held.slavePath; });
    ASSERT_NE(holder.open("COM1:"), InvalidPort);
    const std::pair<std::string, std::string> rows[] = {
        {(tmp.path / "missing").string(), ": no such device. Plug the adapter in"},
        {(tmp.path / "file").string(), ": not a serial device."},
        {held.slavePath, ": in use by another program"},
        {"tcp:70000", "tcp:70000: the port number must be 1 to 65535."},
        {"udp:10110", "udp:10110: the entry needs a host: udp:HOST:PORT."},
        {"", "No device is set for this port."},
    };
    for (const auto& [entry, reason] : rows) {
        PosixSerialDevice device([&entry](const std::string&) { return entry; });
        EXPECT_EQ(device.open("COM1:"), InvalidPort) << entry;
        EXPECT_NE(device.openFailure().find(reason), std::string::npos) << device.openFailure();
    }
}

} // namespace
