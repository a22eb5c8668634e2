// A TCP server on the loopback address, with clients that read and clients that do not.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include "core/line/Wire.h"
#include "line/PosixSerialDevice.h"

namespace {

// A client; one with a tiny receive buffer soon has no room for a whole record.
int connectTo(int port, bool tiny = false) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    const int size = 1;
    if (tiny)
        ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    const sockaddr_in a = Loopback(port);
    EXPECT_EQ(::connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
    return s;
}

// A loopback port nobody listens on at the moment.
int freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0), port = BindLoopback(s);
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

} // namespace
