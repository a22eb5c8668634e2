// The virtual ports: pseudo-terminals the program creates and publishes for clients to open,
// a TCP server on the loopback address with clients that read and clients that do not, and a
// UDP sender.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

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
    // No modem lines, any rate; nobody to send to yet.
    EXPECT_TRUE(port.device->lineControl(port.h, LineControl::ClrRts) &&
                port.device->setLineState(port.h, LineState{4800}));
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

// The link is published only in a directory of the user's own, made or opened without
// following a link and closed to others; anything else is left as it was, and the port says
// where the link would have been and why it is not there.
TEST(PtyEndpoint, PublishesOnlyInADirectoryOfItsOwn) {
    const auto modeOf = [](const fs::path& p) { return fs::status(p).permissions(); };
    const auto open0755 = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                          fs::perms::others_read | fs::perms::others_exec;
    const struct {
        const char* planted; // what is at the directory's name beforehand
        const char* why;     // empty when published
    } rows[] = {
        {"nothing", ""},
        {"open directory", ""},
        {"link to a directory", " is not a directory but a link or a file"},
        {"link to a file", " is not a directory but a link or a file"},
        {"other user's directory", " belongs to another user"},
    };
    for (const auto& row : rows) {
        const std::string planted = row.planted;
        if (planted == "other user's directory" && ::geteuid() != 0)
            continue; // only root can make one
        TempDir tmp;
        const fs::path dir = tmp.path / "tarrow-1000", target = tmp.path / "target";
        if (planted == "open directory" || planted == "other user's directory") {
            fs::create_directory(dir);
            fs::permissions(dir, open0755);
            if (planted == "other user's directory") {
                ASSERT_EQ(::chown(dir.c_str(), 4321, 4321), 0);
            }
        } else if (planted.starts_with("link to")) {
            if (planted == "link to a directory")
                fs::create_directory(target);
            else
                tmp.file(target, "");
            fs::permissions(target, open0755);
            fs::create_directory_symlink(target, dir);
        }
        PosixSerialDevice device([](const std::string&) { return "pty"; }, dir);
        const PortHandle h = device.open("COM1:");
        ASSERT_NE(h, InvalidPort) << device.openFailure();
        const std::string shown = device.describe(h);
        if (*row.why == '\0') {
            EXPECT_EQ(shown, "virtual " + (dir / "COM1").string()) << planted;
            EXPECT_EQ(modeOf(dir), fs::perms::owner_all) << planted;
            continue;
        }
        EXPECT_TRUE(shown.ends_with(" (not published as " + (dir / "COM1").string() + ": " +
                                    dir.string() + row.why + ")"))
            << planted << ": " << shown;
        EXPECT_FALSE(fs::exists(dir / "COM1") || fs::exists(target / "COM1")) << planted;
        EXPECT_EQ(modeOf(fs::exists(target) ? target : dir), open0755) << planted;
    }
}

// A name is one run's at a time: a second claim is refused and says who holds it. Links left
// by runs that died (no one holds their lock) go when a run starts; live ones stay.
TEST(PtyEndpoint, NamesAreExclusiveAndStaleLinksGo) {
    TempDir tmp;
    const fs::path dir = tmp.path / "tarrow";
    const auto pty = [](const std::string&) { return "pty"; };
    auto first = std::make_unique<PosixSerialDevice>(pty, dir);
    ASSERT_NE(first->open("COM3:"), InvalidPort);
    fs::create_symlink("/dev/pts/999", dir / "COM2");
    tmp.file(dir / ".COM2.lock", "999999\n");
    fs::create_symlink("/dev/pts/998", dir / "COM4");

    PosixSerialDevice second(pty, dir);
    EXPECT_NE(second.open("COM1:"), InvalidPort);
    EXPECT_EQ(std::tuple(fs::is_symlink(dir / "COM2"), fs::exists(dir / ".COM2.lock"),
                         fs::is_symlink(dir / "COM4"), fs::is_symlink(dir / "COM3")),
              std::tuple(false, false, false, true));
    EXPECT_EQ(second.open("COM3:"), InvalidPort);
    std::string self;
    std::getline(std::ifstream("/proc/self/comm"), self);
    EXPECT_EQ(second.openFailure(), "pty: in use by another program (" + self + ", PID " +
                                        std::to_string(::getpid()) +
                                        "). Close it, or choose another port.");
    first.reset();
    EXPECT_FALSE(fs::is_symlink(dir / "COM3") || fs::exists(dir / ".COM3.lock"));
    EXPECT_NE(second.open("COM3:"), InvalidPort) << second.openFailure();
}

sockaddr_in loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// Binds `s` to a free loopback port and tells which.
int bindLoopback(int s) {
    sockaddr_in a = loopback(0);
    socklen_t len = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
}

// A client; one with a tiny receive buffer soon has no room for a whole record.
int connectTo(int port, bool tiny = false) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    const int size = 1;
    if (tiny)
        ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    const sockaddr_in a = loopback(port);
    EXPECT_EQ(::connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
    return s;
}

// A loopback port nobody listens on at the moment.
int freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0), port = bindLoopback(s);
    ::close(s);
    return port;
}

struct Server {
    int port = freePort();
    PosixSerialDevice device{[this](const std::string&) { return "tcp:" + std::to_string(port); }};
    PortHandle h = device.open("COM1:");
};

// Every client gets every record whole from the moment it connects; one that stops reading
// neither slows nor cuts the others.
TEST(TcpServerEndpoint, ServesEveryClient) {
    Server server;
    ASSERT_NE(server.h, InvalidPort) << server.device.openFailure();
    EXPECT_FALSE(Send(server.device, server.h, "before anyone\r\n"));
    const int reader = connectTo(server.port), stalled = connectTo(server.port, true);
    const std::string record = "$GPRMB," + std::string(1000, 'x') + "\r\n";
    std::string expected, got;
    for (int i = 0; i < 2000; ++i) { // 2 MB: far more than the stalled client takes
        EXPECT_TRUE(Send(server.device, server.h, record));
        expected += record;
        got += Drain(reader, 0);
    }
    EXPECT_TRUE(got + Drain(reader) == expected) << "a reader missed records";
    EXPECT_EQ(server.device.describe(server.h),
              "virtual TCP 127.0.0.1:" + std::to_string(server.port) + ", 1 client");
    const int late = connectTo(server.port);
    EXPECT_TRUE(Send(server.device, server.h, "late\r\n"));
    EXPECT_EQ(Drain(late), "late\r\n");
    for (const int fd : {reader, stalled, late})
        ::close(fd);
    PosixSerialDevice bad([](const std::string&) { return "tcp:70000"; });
    EXPECT_EQ(bad.open("COM1:"), InvalidPort);
    EXPECT_EQ(bad.openFailure(), "tcp:70000: the port number must be 1 to 65535.");
}

// A record the client has room for only in part ends its connection: it reads the records
// sent whole, in order, then at most a piece of the one cut, then the end; never a torn
// record with more after it.
TEST(TcpServerEndpoint, ClientGetsOnlyWholeRecords) {
    Server server;
    const int client = connectTo(server.port, true);
    std::string whole, cut;
    for (int i = 0; i < 10000 && cut.empty(); ++i) {
        const std::string record = "$GPRMB," + std::to_string(100000 + i) + std::string(900, 'x');
        if (Send(server.device, server.h, record))
            whole += record;
        if (server.device.describe(server.h).ends_with(", 0 clients"))
            cut = record;
    }
    ASSERT_FALSE(cut.empty()) << "the client was never cut off";
    std::string got;
    for (std::string part; !(part = Drain(client, 1000)).empty();)
        got += part;
    char byte;
    EXPECT_EQ(::recv(client, &byte, 1, MSG_DONTWAIT), 0); // the end of the stream
    ASSERT_TRUE(got.starts_with(whole));
    EXPECT_TRUE(cut.starts_with(got.substr(whole.size())) &&
                got.size() < whole.size() + cut.size());
    ::close(client);
}

// Clients are taken as they connect, not when a record is written: a crowd connecting at
// once is all in before the next record, which each of them then gets whole.
TEST(TcpServerEndpoint, TakesACrowdBetweenRecords) {
    Server server;
    ASSERT_NE(server.h, InvalidPort) << server.device.openFailure();
    constexpr int crowd = 200;
    std::vector<int> clients;
    const sockaddr_in a = loopback(server.port);
    for (int i = 0; i < crowd; ++i) {
        clients.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        ::connect(clients.back(), reinterpret_cast<const sockaddr*>(&a), sizeof a);
    }
    const std::string all = ", " + std::to_string(crowd) + " clients";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!server.device.describe(server.h).ends_with(all) &&
           std::chrono::steady_clock::now() < deadline)
        ::usleep(1000);
    EXPECT_TRUE(server.device.describe(server.h).ends_with(all))
        << server.device.describe(server.h);
    EXPECT_TRUE(Send(server.device, server.h, "$GPRMC,1\r\n"));
    int served = 0;
    for (const int c : clients) {
        served += Drain(c, 1000) == "$GPRMC,1\r\n";
        ::close(c);
    }
    EXPECT_EQ(served, crowd);
}

// What a tcp: entry binds, as the status shows it, or why it is refused.
TEST(TcpServerEndpoint, AddressForms) {
    const int port = freePort();
    const std::string p = std::to_string(port);
    const struct {
        std::string entry, shown; // shown: the description, or the refusal
    } rows[] = {
        {"tcp:" + p, "virtual TCP 127.0.0.1:" + p + ", 0 clients"},
        {"tcp:0.0.0.0:" + p, "virtual TCP 0.0.0.0:" + p + ", 0 clients"},
        {"tcp:[::1]:" + p, "virtual TCP [::1]:" + p + ", 0 clients"},
        {"tcp:::1:" + p, "virtual TCP [::1]:" + p + ", 0 clients"},
        {"tcp:[::]:" + p, "virtual TCP [::]:" + p + ", 0 clients"},
        {"tcp:::" + p, "virtual TCP [::]:" + p + ", 0 clients"},
        {"tcp:0:" + p,
         "tcp:0:" + p + ": \"0\" is not a whole address; write 0.0.0.0 for every interface."},
        {"tcp:127.1:" + p, "tcp:127.1:" + p +
                               ": \"127.1\" is not a whole address; write 0.0.0.0 for every "
                               "interface."},
    };
    for (const auto& row : rows) {
        PosixSerialDevice device([&row](const std::string&) { return row.entry; });
        const PortHandle h = device.open("COM1:");
        EXPECT_EQ(h == InvalidPort ? device.openFailure() : device.describe(h), row.shown)
            << row.entry;
    }
    // A name says which of its addresses it took.
    PosixSerialDevice named([&p](const std::string&) { return "tcp:localhost:" + p; });
    const std::string shown = named.describe(named.open("COM1:"));
    EXPECT_TRUE(shown == "virtual TCP 127.0.0.1:" + p + ", 0 clients" ||
                shown == "virtual TCP [::1]:" + p + ", 0 clients")
        << shown;
}

TEST(UdpEndpoint, SendsOneDatagramPerRecord) {
    const int receiver = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int port = bindLoopback(receiver);
    const std::string entry = "udp:127.0.0.1:" + std::to_string(port);
    PosixSerialDevice device([&entry](const std::string&) { return entry; });
    const PortHandle h = device.open("COM1:");
    ASSERT_NE(h, InvalidPort) << device.openFailure();
    EXPECT_EQ(device.describe(h), "virtual UDP " + entry.substr(4));
    const std::string records[] = {"$GPRMB,1\r\n", "$GPRMC,22\r\n"};
    for (const std::string& record : records)
        EXPECT_TRUE(Send(device, h, record));
    for (const std::string& record : records) {
        char buf[100];
        const ssize_t n = ::recv(receiver, buf, sizeof buf, MSG_DONTWAIT);
        EXPECT_EQ(std::string(buf, static_cast<std::size_t>(std::max<ssize_t>(n, 0))), record);
    }
    ::close(receiver);
    PosixSerialDevice bad([](const std::string&) { return "udp:10110"; });
    EXPECT_EQ(bad.open("COM1:"), InvalidPort);
    EXPECT_EQ(bad.openFailure(), "udp:10110: the entry needs a host: udp:HOST:PORT.");
}

} // namespace
