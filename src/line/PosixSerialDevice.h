#pragma once
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <termios.h>
#include <vector>

#include "line/SerialDevice.h"
#include "line/VirtualPorts.h"

// The ioctl request and modem bits that carry out a line-control function.
struct ModemRequest {
    unsigned long request;
    int bits;
};
ModemRequest ModemRequestFor(LineControl fn);

// The serial device on a POSIX terminal: exclusive open, raw 8N1 line, bounded writes; or one
// of the virtual ports a [Devices] entry may name (pty, tcp:, udp:), on which line settings
// and RTS/DTR do nothing. A line that goes away (an adapter unplugged) is marked lost and can
// be opened again with its settings once its path is back.
// Writes, closes and reopens come from the line writer only, so a write never races them.
class PosixSerialDevice : public SerialDevice {
public:
    // Maps a port name ("COM1:") to the device it opens: a path, or a virtual entry.
    using PathResolver = std::function<std::string(const std::string&)>;

    explicit PosixSerialDevice(PathResolver resolver,
                               std::filesystem::path linkDirectory = DefaultLinkDirectory());
    ~PosixSerialDevice() override;

    PortHandle open(const std::string& name) override;
    PortHandle openDevice(const std::string& name, const std::string& device) override;
    bool getLineState(PortHandle h, LineState& out) override;
    bool setLineState(PortHandle h, const LineState& state) override;
    bool getTimeouts(PortHandle h, Timeouts& out) override;
    bool setTimeouts(PortHandle h, const Timeouts& t) override;
    bool lineControl(PortHandle h, LineControl fn) override;
    bool write(PortHandle h, const std::uint8_t* data, std::size_t count) override;
    bool close(PortHandle h) override;

    std::string openFailure() const override;
    std::string describe(PortHandle h) const override;
    bool lost(PortHandle h) const override;
    bool reopen(PortHandle h) override;

private:
    struct Port {
        VirtualKind kind = VirtualKind::None;
        std::string device; // the path or the [Devices] entry
        int fd = -1;        // -1 while the line is lost
        Timeouts timeouts;
        LineState line;     // virtual ports: what was last set
        termios settings{}; // serial lines: what to apply again on return
        bool haveSettings = false;
        std::vector<int> clients; // TCP: connected clients
        std::string where;        // virtual ports: what the status bar shows
    };
    struct Pty {
        int master = -1;
        std::string slave;
        std::filesystem::path link;
    };

    int openTerminal(const std::string& path, int& error) const;
    bool writeTerminal(PortHandle h, int fd, const Timeouts& t, const std::uint8_t* data,
                       std::size_t count);
    bool writeClients(Port& port, const std::uint8_t* data, std::size_t count);
    void markLost(PortHandle h);

    PathResolver resolver;
    std::filesystem::path linkDirectory;
    mutable std::mutex mutex; // guards ports and ptys
    std::map<PortHandle, Port> ports;
    std::map<std::string, Pty> ptys; // by port name, kept for the whole run
    PortHandle nextHandle = 1;
    std::string failure; // why the last open failed; the window's thread only
};
