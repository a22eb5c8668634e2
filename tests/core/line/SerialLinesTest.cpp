// Serial lines: the hardware ports found on the machine, and lines played by pseudo-terminals
// whose slave the device opens as a tty.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <numeric>
#include <sys/ioctl.h>
#include <thread>
#include <tuple>

#include "core/PtyPair.h"
#include "core/TempDir.h"
#include "core/line/Wire.h"
#include "line/DeviceDiscovery.h"
#include "line/PosixSerialDevice.h"
#include "line/TtyEndpoint.h"

namespace {

namespace fs = std::filesystem;

const std::string Usb = "devices/pci0000:00/0000:00:14.0/usb1/";

// A fake dev/ and sys/ laid out as the kernel and udev lay them out, relative links included.
struct FakeMachine {
    TempDir tmp;
    const fs::path& root = tmp.path;

    void file(const std::string& rel, const std::string& text) { tmp.file(rel, text); }
    void link(const std::string& rel, const std::string& target) {
        fs::create_directories((root / rel).parent_path());
        fs::create_symlink(target, root / rel);
    }
    // sys/<deviceDir>/tty/<name>, its class entry and, unless virtual, its `device` link.
    void tty(const std::string& name, const std::string& deviceDir, const char* type = nullptr) {
        const std::string dir = "sys/" + deviceDir + "/tty/" + name;
        fs::create_directories(root / dir);
        link("sys/class/tty/" + name, "../../" + dir.substr(4));
        if (!deviceDir.starts_with("devices/virtual"))
            link(dir + "/device", "../../../" + fs::path(deviceDir).filename().string());
        if (type)
            file(dir + "/type", std::string(type) + "\n");
        file("dev/" + name, "");
    }
    // idVendor, idProduct, manufacturer, product, serial; nullptr where the device has none.
    void usb(const std::string& dir, std::array<const char*, 5> values) {
        const char* names[] = {"idVendor", "idProduct", "manufacturer", "product", "serial"};
        for (std::size_t i = 0; i < values.size(); ++i)
            if (values[i])
                file("sys/" + dir + "/" + names[i], std::string(values[i]) + "\n");
    }
};

TEST(DeviceDiscovery, ListsHardwarePortsInOrder) {
    FakeMachine m;
    // FTDI adapter: usb-serial port device below the interface, by-id link from udev.
    m.tty("ttyUSB0", Usb + "1-2/1-2:1.0/ttyUSB0");
    m.usb(Usb + "1-2", {"0403", "6001", "FTDI", "FT232R USB UART", "A1234567"});
    m.link("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1234567-if00-port0", "../../ttyUSB0");
    // No strings, no by-id; a link aimed at the host's copy of the node must not count.
    m.tty("ttyUSB1", Usb + "1-3/1-3:1.0/ttyUSB1");
    m.usb(Usb + "1-3", {"1a86", "7523", nullptr, nullptr, nullptr});
    m.link("dev/serial/by-id/escapes-root", (m.root / "dev/ttyUSB1").string());
    // cdc-acm: the tty hangs straight off the interface.
    m.tty("ttyACM0", Usb + "1-4/1-4:1.0");
    m.usb(Usb + "1-4",
          {"1546", "01a8", "u-blox AG - www.u-blox.com", "u-blox GNSS receiver", nullptr});
    m.link("dev/serial/by-id/usb-u-blox_AG_-_www.u-blox.com_u-blox_GNSS_receiver-if00",
           "../../ttyACM0");
    // ttyS: serial-base layout (tty -> port -> ctrl -> owner) and the older direct one.
    const std::string s8250 = "devices/platform/serial8250";
    m.link("sys/" + s8250 + "/driver", "../../../bus/platform/drivers/serial8250");
    m.tty("ttyS0", "devices/pnp0/00:01/00:01:0/00:01:0.0", "4");
    m.link("sys/devices/pnp0/00:01/00:01:0/00:01:0.0/driver",
           "../../../../../bus/serial-base/drivers/port");
    m.tty("ttyS1", s8250 + "/serial8250:0/serial8250:0.1", "0"); // placeholder: no UART answered
    m.tty("ttyS2", s8250 + "/serial8250:0/serial8250:0.2", "4"); // legacy port the probe found
    m.tty("ttyS3", s8250);                                       // old layout, no type to read
    m.tty("ttyS10", "devices/pci0000:00/0000:00:16.3", "4");
    // Not offered: virtual ttys, other names, a link loop.
    m.tty("ttyUSB7", "devices/virtual");
    m.tty("tty0", "devices/virtual");
    m.tty("ttyAMA0", "devices/platform/fe201000.serial");
    m.link("sys/class/tty/ttyUSB9", "ttyUSB9");

    std::vector<std::string> got;
    for (const auto& d : DiscoverSerialDevices(m.root))
        got.push_back(d.path + " | " + d.description());
    const std::vector<std::string> want = {
        "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1234567-if00-port0 | "
        "/dev/ttyUSB0 — FTDI FT232R USB UART (0403:6001, serial A1234567)",
        "/dev/ttyUSB1 | /dev/ttyUSB1 — USB serial port (1a86:7523)",
        "/dev/serial/by-id/usb-u-blox_AG_-_www.u-blox.com_u-blox_GNSS_receiver-if00 | "
        "/dev/ttyACM0 — u-blox AG - www.u-blox.com u-blox GNSS receiver (1546:01a8)",
        "/dev/ttyS0 | /dev/ttyS0 — built-in serial port",
        "/dev/ttyS2 | /dev/ttyS2 — built-in serial port",
        "/dev/ttyS10 | /dev/ttyS10 — built-in serial port",
    };
    EXPECT_EQ(got, want);
    EXPECT_TRUE(DiscoverSerialDevices(m.root / "absent").empty());
}

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
        // Raw, local, and a read never waits on a serial line.
        const termios t = line.pty.slaveTermios();
        EXPECT_EQ(std::tuple(cfgetospeed(&t), t.c_lflag & (ICANON | ECHO | ISIG), t.c_oflag & OPOST,
                             t.c_cflag & CLOCAL, t.c_cc[VMIN]),
                  std::tuple(code, 0u, 0u, tcflag_t{CLOCAL}, 0));
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
    const std::string file = tmp.file("file", "x");
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

// A pseudo-terminal has no modem lines to show these: DTR raised, RTS raised and cleared.
TEST(TtyEndpoint, LineControlRequests) {
    using enum LineControl;
    // clang-format off
    const std::tuple<LineControl, unsigned long, int> rows[] = {
        {SetDtr, TIOCMBIS, TIOCM_DTR}, {SetRts, TIOCMBIS, TIOCM_RTS},
        {ClrRts, TIOCMBIC, TIOCM_RTS}};
    // clang-format on
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
