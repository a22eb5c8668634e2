#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "line/PortHandle.h"

enum class Parity : std::uint8_t { None = 0, Odd = 1, Even = 2 };
enum class StopBits : std::uint8_t { One = 0, OnePointFive = 1, Two = 2 };

// The line settings the link changes; the device keeps every other setting as it found it.
struct LineState {
    std::uint32_t baudRate = 0; // 0: a speed the device cannot name
    bool parityCheck = false;
    bool ctsFlow = false;
    bool outX = false;
    bool inX = false;
    std::uint8_t byteSize = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
};

struct Timeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0; // ms per byte
    std::uint32_t writeTotalConstant = 0;   // ms
};

enum class LineControl { SetDtr = 5, SetRts = 3, ClrRts = 4 };

// The platform's serial device, reduced to the calls the link makes.
// Names are the user's port names ("COM1:"); the device decides what they open.
// Calls come from three threads (the engine's, the line writer's and the pulse timer's), so an
// implementation must be safe to call concurrently for different handles, and for lineControl
// concurrently with any other call.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;
    virtual PortHandle open(const std::string& name) = 0;
    // Opens the port `name` on `device` (a path or a virtual entry) instead of what it maps to.
    virtual PortHandle openDevice(const std::string& name, const std::string& device) {
        (void)device;
        return open(name);
    }
    virtual bool getLineState(PortHandle h, LineState& out) = 0;
    virtual bool setLineState(PortHandle h, const LineState& state) = 0;
    virtual bool getTimeouts(PortHandle h, Timeouts& out) = 0;
    virtual bool setTimeouts(PortHandle h, const Timeouts& t) = 0;
    virtual bool lineControl(PortHandle h, LineControl fn) = 0;
    // Writes all bytes or fails; never blocks past the write time-out of the handle.
    virtual bool write(PortHandle h, const std::uint8_t* data, std::size_t count) = 0;
    virtual bool close(PortHandle h) = 0;

    // Why the last open failed, in words a user can act on; empty when unknown.
    virtual std::string openFailure() const { return {}; }
    // What the status bar tells of a port beyond its device path; empty for a serial line.
    virtual std::string describe(PortHandle) const { return {}; }
    // True once the line has gone away (an adapter unplugged); writes then fail at once.
    virtual bool lost(PortHandle) const { return false; }
    // Opens a lost line again with its settings; true when it is back. The writer's thread.
    virtual bool reopen(PortHandle) { return false; }
    // The program is ending: a write under way gives up at once, and so does every later one.
    virtual void interrupt() {}
};
