#pragma once
#include <functional>
#include <map>
#include <mutex>

#include "serial/SerialDevice.h"

// The ioctl request and modem bits that carry out a line-control function.
struct ModemRequest {
    unsigned long request;
    int bits;
};
ModemRequest ModemRequestFor(LineControl fn);

// The serial device on a POSIX terminal: exclusive open, raw 8N1 line, bounded writes.
// Writes and closes come from the line writer only, so a write never races its own close.
class PosixSerialDevice : public SerialDevice {
public:
    // Maps a port name ("COM1:") to the device path it opens.
    using PathResolver = std::function<std::string(const std::string&)>;

    explicit PosixSerialDevice(PathResolver resolver);
    ~PosixSerialDevice() override;

    PortHandle open(const std::string& name) override;
    bool getLineState(PortHandle h, LineState& out) override;
    bool setLineState(PortHandle h, const LineState& state) override;
    bool getTimeouts(PortHandle h, Timeouts& out) override;
    bool setTimeouts(PortHandle h, const Timeouts& t) override;
    bool lineControl(PortHandle h, LineControl fn) override;
    bool write(PortHandle h, const std::uint8_t* data, std::size_t count) override;
    bool close(PortHandle h) override;

private:
    bool isOpen(PortHandle h) const;

    PathResolver resolver;
    mutable std::mutex mutex;             // guards ports
    std::map<PortHandle, Timeouts> ports; // open handles (the file descriptor) and time-outs
};
