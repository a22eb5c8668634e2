// A UDP sender to a receiver on the loopback address.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include "core/line/Wire.h"
#include "line/PosixSerialDevice.h"

namespace {

TEST(UdpEndpoint, SendsOneDatagramPerRecord) {
    const int receiver = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int port = BindLoopback(receiver);
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
