#pragma once
#include <memory>
#include <mutex>
#include <string>
#include <termios.h>

#include "line/Endpoint.h"

// The ioctl request and modem bits that carry out a line-control function.
struct ModemRequest {
    unsigned long request;
    int bits;
};
ModemRequest ModemRequestFor(LineControl fn);

// A serial line: exclusive open, raw line, bounded writes. A line that goes away (an adapter
// unplugged) is marked lost and can be opened again with its settings once its path is back.
class TtyEndpoint : public Endpoint {
public:
    // The line at `path`, or null with `failure` telling the user why.
    static std::unique_ptr<TtyEndpoint> open(const std::string& path, std::string& failure);
    ~TtyEndpoint() override;

    bool getLineState(LineState& out) override;
    bool setLineState(const LineState& state) override;
    bool lineControl(LineControl fn) override;
    bool write(const std::uint8_t* data, std::size_t count, const Timeouts& t,
               const WriteInterrupt& stop) override;
    std::string describe() const override { return {}; }
    bool lost() const override;
    bool reopen() override;
    bool close() override;

private:
    TtyEndpoint(std::string p, int line) : path(std::move(p)), fd(line) {}
    void markLost();

    const std::string path;
    // Guards fd and settings. Held over every call on the descriptor but the write, so that a
    // close or a loss on the writer's thread cannot hand the number to a new file meanwhile; the
    // write runs on that same thread.
    mutable std::mutex mutex;
    int fd;             // -1 while the line is lost
    termios settings{}; // what to apply again on return
    bool haveSettings = false;
};
