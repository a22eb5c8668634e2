#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <tuple>

#include "core/Fakes.h"
#include "core/PtyPair.h"
#include "core/TempDir.h"
#include "line/LineWriter.h"
#include "line/PosixSerialDevice.h"
#include "line/SerialLink.h"

namespace {

struct Rig {
    PtyPair pty;
    PosixSerialDevice device{[this](const std::string& name) {
        return name == "COM1:" ? pty.slavePath : std::string("/nonexistent/tty");
    }};
    EmulatorState state;
    FakeMessageBox box;
    LineWriter writer{device};
    SerialLink link{state, device, writer, box};
};

TEST(PosixSerialDevice, OpenConfiguresRaw8N1AndBytesArriveExactly) {
    Rig rig;
    ASSERT_FALSE(rig.pty.slavePath.empty());
    rig.link.UsePort(rig.link.OpenPort("COM1:"));
    ASSERT_NE(rig.state.portHandle, InvalidPort);
    EXPECT_TRUE(rig.box.shown.empty());
    EXPECT_TRUE(rig.link.RtsRaised());

    for (std::uint8_t idx = 1; idx <= 3; ++idx) {
        rig.link.SetBaud(idx);
        rig.writer.flush();
        const termios t = rig.pty.slaveTermios();
        EXPECT_EQ(cfgetospeed(&t), idx == 1 ? B4800 : idx == 2 ? B9600 : B19200);
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
        EXPECT_NE(t.c_cflag & CLOCAL, 0u);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
    }
    rig.link.ReportLateFailures();
    EXPECT_TRUE(rig.box.shown.empty());

    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_TRUE(rig.writer.submit(rig.state.portHandle, all));
    EXPECT_EQ(rig.pty.read(all.size()), all);
    EXPECT_TRUE(rig.link.ClosePort(rig.state.portHandle));
}

// A device left at a speed the rate table cannot name is configured at the chosen rate.
TEST(PosixSerialDevice, UnnamedSpeedIsReplacedByTheChosenRate) {
    for (const speed_t odd : {speed_t{B0}, speed_t{B460800}}) {
        Rig rig;
        {
            const int fd = ::open(rig.pty.slavePath.c_str(), O_RDWR | O_NOCTTY);
            ASSERT_GE(fd, 0);
            termios t{};
            ::tcgetattr(fd, &t);
            ::cfsetospeed(&t, odd);
            ::cfsetispeed(&t, odd);
            ASSERT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
            ::close(fd);
        }
        rig.state.format = OutputFormat::Aviation;
        rig.link.UsePort(rig.link.OpenPort("COM1:"));
        ASSERT_NE(rig.state.portHandle, InvalidPort);
        EXPECT_TRUE(rig.box.shown.empty());
        const termios t = rig.pty.slaveTermios();
        EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    }
}

TEST(PosixSerialDevice, SecondOpenFailsAndMissingDeviceFails) {
    Rig rig;
    const PortHandle first = rig.link.OpenPort("COM1:");
    ASSERT_NE(first, InvalidPort);
    EXPECT_EQ(rig.link.OpenPort("COM1:"), InvalidPort);
    PosixSerialDevice other([&](const std::string&) { return rig.pty.slavePath; });
    EXPECT_EQ(other.open("COM1:"), InvalidPort);
    EXPECT_EQ(rig.link.OpenPort("COM2:"), InvalidPort);
    EXPECT_TRUE(rig.link.ClosePort(first));
    rig.writer.flush();
    const PortHandle again = rig.link.OpenPort("COM1:");
    EXPECT_NE(again, InvalidPort);
    rig.link.ClosePort(again);
    EXPECT_FALSE(rig.link.ClosePort(InvalidPort));
}

// Only a terminal opens: records written to a file or to /dev/null would reach no line.
TEST(PosixSerialDevice, WhatIsNotASerialLineIsRefused) {
    TempDir tmp;
    const std::string file = (tmp.path / "not-a-tty").string();
    std::ofstream(file) << "x";
    for (const std::string& path : {file, std::string("/dev/null"), tmp.path.string()}) {
        PosixSerialDevice device([&path](const std::string&) { return path; });
        EXPECT_EQ(device.open("COM1:"), InvalidPort) << path;
    }
    EXPECT_EQ(std::filesystem::file_size(file), 1u);
}

TEST(PosixSerialDevice, LineControlRequests) {
    const std::tuple<LineControl, unsigned long, int> rows[] = {
        {LineControl::SetDtr, TIOCMBIS, TIOCM_DTR},
        {LineControl::SetRts, TIOCMBIS, TIOCM_RTS},
        {LineControl::ClrRts, TIOCMBIC, TIOCM_RTS},
    };
    for (const auto& [fn, request, bits] : rows) {
        const ModemRequest r = ModemRequestFor(fn);
        EXPECT_EQ(r.request, request);
        EXPECT_EQ(r.bits, bits);
    }
}

TEST(PosixSerialDevice, WriteToUnreadLineGivesUpAtItsDeadline) {
    Rig rig;
    rig.state.portHandle = rig.link.OpenPort("COM1:");
    ASSERT_NE(rig.state.portHandle, InvalidPort);
    // Nobody reads the master side: fill the line until a write of 20 bytes times out.
    const std::string chunk(20, 'x');
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(chunk.data());
    using Clock = std::chrono::steady_clock;
    bool failed = false;
    Clock::duration failedAfter{};
    for (int i = 0; i < 100000 && !failed; ++i) {
        const auto start = Clock::now();
        failed = !rig.device.write(rig.state.portHandle, bytes, chunk.size());
        failedAfter = Clock::now() - start;
    }
    ASSERT_TRUE(failed);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(failedAfter).count();
    EXPECT_GE(ms, 1100);
    EXPECT_LE(ms, 1200 + 300);
}

} // namespace
