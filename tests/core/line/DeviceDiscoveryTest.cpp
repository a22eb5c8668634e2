#include <gtest/gtest.h>

#include <array>
#include <fstream>

#include "core/TempDir.h"
#include "line/DeviceDiscovery.h"

namespace fs = std::filesystem;

namespace {

const std::string Usb = "devices/pci0000:00/0000:00:14.0/usb1/";

// A fake dev/ and sys/ laid out as the kernel and udev lay them out, relative links included.
struct FakeMachine {
    TempDir tmp;
    const fs::path& root = tmp.path;

    void file(const std::string& rel, const std::string& text) {
        fs::create_directories((root / rel).parent_path());
        std::ofstream(root / rel) << text;
    }
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
}

TEST(DeviceDiscovery, MissingTreeGivesNothing) {
    TempDir tmp;
    EXPECT_TRUE(DiscoverSerialDevices(tmp.path / "absent").empty());
}

} // namespace
