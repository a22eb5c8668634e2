#pragma once
#include <filesystem>
#include <string>
#include <vector>

// One serial device found on this machine, as the Serial Port dialog lists it.
struct SerialDeviceInfo {
    std::string path;       // what to open: a /dev/serial/by-id link, else /dev/<kernelName>
    std::string kernelName; // ttyUSB0, ttyACM0, ttyS0
    std::string vendorId, productId;           // "0403", "6001"; empty when not USB
    std::string manufacturer, product, serial; // USB strings; empty when the device has none

    // One line for a list, named by the short /dev path since by-id names are long, e.g.
    // "/dev/ttyUSB0 — FTDI FT232R USB UART (0403:6001, serial A1234567)" or
    // "/dev/ttyS0 — built-in serial port".
    std::string description() const;
};

// The USB serial adapters (ttyUSB*), USB modems (ttyACM*) and serial ports backed by hardware
// (ttyS*) that sysfs shows, USB first, then ACM, then ttyS, each in natural order (ttyS2 before
// ttyS10). `root` is "/" on a real machine; tests pass a directory holding a fake dev/ and sys/.
// Returned paths are as seen on the machine (starting with /dev), never prefixed with `root`.
// Links are followed only inside `root`. Missing or unreadable entries are skipped; never throws
// filesystem errors.
std::vector<SerialDeviceInfo> DiscoverSerialDevices(const std::filesystem::path& root = "/");
