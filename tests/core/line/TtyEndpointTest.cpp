// Serial lines, played by pseudo-terminals whose slave the device opens as a tty.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <numeric>
#include <sys/ioctl.h>
#include <thread>
#include <tuple>

#include "core/PtyPair.h"
#include "core/TempDir.h"
#include "core/line/Wire.h"
#include "line/PosixSerialDevice.h"
#include "line/TtyEndpoint.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

struct Line {
    PtyPair pty;
    PosixSerialDevice device{[this](const std::string&) { return pty.slavePath; }};
    PortHandle h = device.open("COM1:");
};

auto fields(const LineState& s) {
    return std::tuple(s.baudRate, s.parityCheck, s.ctsFlow, s.outX, s.inX, s.stopBits);
}

// A pseudo-terminal keeps 8 data bits and no parity whatever it is told: the rows leave those.
TEST(TtyEndpoint, SettingsReachTheLineRawAndBytesArriveExactly) {
    Line line;
    ASSERT_NE(line.h, InvalidPort) << line.device.openFailure();
    const std::pair<LineState, speed_t> rows[] = {
        {{.baudRate = 4800}, B4800},
        {{.baudRate = 9600, .ctsFlow = true, .outX = true, .inX = true}, B9600},
        {{.baudRate = 38400, .parityCheck = true, .stopBits = StopBits::Two}, B38400},
    };
    for (const auto& [state, code] : rows) {
        ASSERT_TRUE(line.device.setLineState(line.h, state)) << state.baudRate;
        LineState back;
        EXPECT_TRUE(line.device.getLineState(line.h, back));
        EXPECT_EQ(fields(back), fields(state));
        const termios t = line.pty.slaveTermios();
        EXPECT_EQ(cfgetospeed(&t), code);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_NE(t.c_cflag & CLOCAL, 0u);
        EXPECT_EQ(t.c_cc[VMIN], 0); // a read never waits on a serial line
    }
    EXPECT_FALSE(line.device.setLineState(line.h, LineState{460800}));
    std::string all(256, '\0');
    std::iota(all.begin(), all.end(), '\0');
    EXPECT_TRUE(Send(line.device, line.h, all));
    EXPECT_EQ(line.pty.read(all.size()), all);
}

// Only a terminal nobody else holds opens, and the user is told why not; a closed line opens
// again for the next opener, an ordinary user included.
TEST(TtyEndpoint, OpenIsExclusiveAndRefusalsSayWhy) {
    TempDir tmp;
    const std::string file = (tmp.path / "file").string();
    std::ofstream(file) << "x";
    Line held;
    ASSERT_NE(held.h, InvalidPort);
    const std::pair<std::string, std::string> rows[] = {
        {(tmp.path / "missing").string(), ": no such device. Plug the adapter in"},
        {file, ": not a serial device."},
        {"/dev/null", ": not a serial device."},
        {held.pty.slavePath, ": in use by another program"},
        {"", "No device is set for this port."},
    };
    for (const auto& [path, reason] : rows) {
        PosixSerialDevice device([&path](const std::string&) { return path; });
        EXPECT_EQ(device.open("COM1:"), InvalidPort) << path;
        EXPECT_NE(device.openFailure().find(reason), std::string::npos) << device.openFailure();
    }
    EXPECT_EQ(fs::file_size(file), 1u);
    EXPECT_TRUE(held.device.close(held.h));
    PosixSerialDevice next([&held](const std::string&) { return held.pty.slavePath; });
    EXPECT_TRUE(next.close(next.open("COM1:"))) << next.openFailure();
}

TEST(TtyEndpoint, LineControlRequests) {
    const std::tuple<LineControl, unsigned long, int> rows[] = {
        {LineControl::SetDtr, TIOCMBIS, TIOCM_DTR},
        {LineControl::SetRts, TIOCMBIS, TIOCM_RTS},
        {LineControl::ClrRts, TIOCMBIC, TIOCM_RTS},
    };
    for (const auto& [fn, request, bits] : rows)
        EXPECT_TRUE(ModemRequestFor(fn).request == request && ModemRequestFor(fn).bits == bits);
}

// A write to a line nobody reads gives up at its deadline; at the end of the program one
// waiting gives up at once, and so does every later one, even once the line takes bytes again.
TEST(TtyEndpoint, WriteGivesUpAtItsDeadlineOrWhenInterrupted) {
    Line line;
    ASSERT_NE(line.h, InvalidPort);
    line.device.setTimeouts(line.h, Timeouts{0, 0, 0, 0, 20});
    while (Send(line.device, line.h, std::string(1000, 'f'))) {
    }
    line.device.setTimeouts(line.h, Timeouts{0, 0, 0, 1, 200}); // 220 ms for 20 bytes
    auto start = Clock::now();
    EXPECT_FALSE(Send(line.device, line.h, std::string(20, 'x')));
    EXPECT_GE(msSince(start), 215);
    EXPECT_LE(msSince(start), 220 + 150);

    line.device.setTimeouts(line.h, Timeouts{0, 0, 0, 0, 5000});
    std::atomic<long long> tookMs{-1};
    std::thread writer([&] {
        const auto began = Clock::now();
        EXPECT_FALSE(Send(line.device, line.h, "$GPRMC\r\n"));
        tookMs = msSince(began);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the write is waiting
    EXPECT_EQ(tookMs, -1);
    line.device.interrupt();
    writer.join();
    EXPECT_LT(tookMs, 1000);
    line.pty.drain();
    start = Clock::now();
    EXPECT_FALSE(Send(line.device, line.h, "$GPRMB\r\n"));
    EXPECT_LT(msSince(start), 50);
}

// An adapter unplugged (the pseudo-terminal's master closed) loses the line; once its path
// leads to a line again, the line opens with the settings it had.
TEST(TtyEndpoint, LostLineReopensWithItsSettings) {
    TempDir tmp;
    const fs::path path = tmp.path / "ttyUSB0";
    auto first = std::make_unique<PtyPair>();
    fs::create_symlink(first->slavePath, path);
    PosixSerialDevice device([&path](const std::string&) { return path.string(); });
    const PortHandle h = device.open("COM1:");
    ASSERT_NE(h, InvalidPort) << device.openFailure();
    ASSERT_TRUE(device.setLineState(h, LineState{4800}));
    first.reset();
    fs::remove(path); // its number is free for any other pseudo-terminal now
    EXPECT_FALSE(Send(device, h, "B\r\n"));
    EXPECT_TRUE(device.lost(h));
    EXPECT_FALSE(device.reopen(h)); // nothing there yet

    PtyPair second;
    fs::create_symlink(second.slavePath, path);
    ASSERT_TRUE(device.reopen(h));
    EXPECT_FALSE(device.lost(h));
    EXPECT_TRUE(Send(device, h, "C\r\n"));
    EXPECT_EQ(second.read(3), "C\r\n");
    const termios t = second.slaveTermios();
    EXPECT_TRUE(cfgetospeed(&t) == B4800 && (t.c_lflag & ICANON) == 0);
}

} // namespace
