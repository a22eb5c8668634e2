#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>

#include "line/SerialDevice.h"

// Raised once when the program ends, and never lowered. Its descriptor then stays readable, so
// a write waiting in poll beside it wakes at once, and so does every later one.
class WriteInterrupt {
public:
    WriteInterrupt() : fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~WriteInterrupt() {
        if (fd >= 0)
            ::close(fd);
    }
    WriteInterrupt(const WriteInterrupt&) = delete;
    WriteInterrupt& operator=(const WriteInterrupt&) = delete;

    void raise() {
        flag.store(true);
        const std::uint64_t one = 1;
        // Adding one to the counter cannot fail.
        [[maybe_unused]] const ssize_t n = fd >= 0 ? ::write(fd, &one, sizeof one) : 0;
    }
    bool raised() const { return flag.load(); }
    int descriptor() const { return fd; }

private:
    int fd;
    std::atomic<bool> flag{false};
};

// What a port opens: a serial line, a pseudo-terminal, a TCP server or a UDP sender. The
// device finds the endpoint of a handle and calls it outside its own lock, so an endpoint
// guards what lineControl, describe and lost may read while the writer's thread writes,
// closes or reopens it.
class Endpoint {
public:
    virtual ~Endpoint() = default;
    virtual bool getLineState(LineState& out) = 0;
    virtual bool setLineState(const LineState& state) = 0;
    virtual bool lineControl(LineControl fn) = 0;
    // True when the record went out whole; false when it could not within the time-outs, or
    // once `stop` is raised.
    virtual bool write(const std::uint8_t* data, std::size_t count, const Timeouts& t,
                       const WriteInterrupt& stop) = 0;
    virtual std::string describe() const = 0;
    virtual bool lost() const { return false; }
    virtual bool reopen() { return false; }
    virtual bool close() = 0;
};
