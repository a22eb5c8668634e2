#pragma once
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "line/Endpoint.h"
#include "line/PtyEndpoint.h"
#include "line/SerialDevice.h"

// The serial device on a POSIX system: a port opens a serial line, or one of the virtual
// endpoints a [Devices] entry may name (pty, tcp:, udp:), on which line settings and RTS/DTR
// do nothing. Each handle leads to its endpoint, which does the work.
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
    void interrupt() override;

private:
    struct Port {
        std::shared_ptr<Endpoint> endpoint;
        Timeouts timeouts;
    };

    // The endpoint of `h`, held so a close on another thread cannot free it under the caller.
    std::shared_ptr<Endpoint> find(PortHandle h) const;
    std::shared_ptr<Endpoint> openPty(const std::string& name);

    PathResolver resolver;
    std::filesystem::path linkDirectory;
    WriteInterrupt stop;
    mutable std::mutex mutex; // guards ports and ptys
    std::map<PortHandle, Port> ports;
    std::map<std::string, std::shared_ptr<Endpoint>> ptys; // by port name, for the whole run
    PortHandle nextHandle = 1;
    std::string failure; // why the last open failed; the engine's thread only
};
