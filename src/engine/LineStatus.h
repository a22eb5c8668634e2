#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What the status bar tells of the line.
struct LineStatus {
    std::string portName; // "COM1:"
    std::string device;   // what it opens
    std::string detail;   // virtual ports: what and where; empty for a serial line
    bool open = false;
    bool lost = false;      // opened, then gone (unplugged); it is opened again once back
    std::uint32_t baud = 0; // 0: none applied
    std::uint64_t bytesSent = 0;
    std::uint64_t recordsDropped = 0;
    int loadPercent = -1; // the last tick's bytes against what the rate carries; -1 none yet
    std::vector<std::string> faults; // the deliberate faults on, in the command line's words
    bool liveTime = false;
};

// The texts of the status bar's fields, in the order they stand.
struct LineStatusTexts {
    std::string port, baud, sent, dropped, load;
    // The port's text in its three parts: "COM1:", the device, "not open".
    std::string portName, portDevice, portState;
    std::string faults; // empty while no fault is on
    std::string time;   // "Live time" or empty
};
LineStatusTexts StatusTexts(const LineStatus& status);
