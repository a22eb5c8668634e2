#include "line/Terminal.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <unistd.h>

namespace {

struct Speed {
    std::uint32_t baud;
    speed_t code;
};
constexpr Speed Speeds[] = {{50, B50},         {75, B75},        {110, B110},     {134, B134},
                            {150, B150},       {200, B200},      {300, B300},     {600, B600},
                            {1200, B1200},     {1800, B1800},    {2400, B2400},   {4800, B4800},
                            {9600, B9600},     {19200, B19200},  {38400, B38400}, {57600, B57600},
                            {115200, B115200}, {230400, B230400}};

std::uint32_t baudOf(speed_t code) {
    for (const auto& s : Speeds)
        if (s.code == code)
            return s.baud;
    return 0;
}

bool isGone(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

} // namespace

bool SpeedCode(std::uint32_t baud, speed_t& code) {
    for (const auto& s : Speeds) {
        if (s.baud == baud) {
            code = s.code;
            return true;
        }
    }
    return false;
}

bool ReadLineState(int fd, LineState& out) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    out.baudRate = baudOf(::cfgetospeed(&tio));
    switch (tio.c_cflag & CSIZE) {
    case CS5:
        out.byteSize = 5;
        break;
    case CS6:
        out.byteSize = 6;
        break;
    case CS7:
        out.byteSize = 7;
        break;
    default:
        out.byteSize = 8;
    }
    out.parity = (tio.c_cflag & PARENB) ? ((tio.c_cflag & PARODD) ? Parity::Odd : Parity::Even)
                                        : Parity::None;
    out.stopBits = (tio.c_cflag & CSTOPB) ? StopBits::Two : StopBits::One;
    out.ctsFlow = (tio.c_cflag & CRTSCTS) != 0;
    out.outX = (tio.c_iflag & IXON) != 0;
    out.inX = (tio.c_iflag & IXOFF) != 0;
    out.parityCheck = (tio.c_iflag & INPCK) != 0;
    return true;
}

bool ApplyLineState(int fd, const LineState& state, bool clientReads, termios& applied) {
    speed_t code{};
    if (!SpeedCode(state.baudRate, code))
        return false;
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    switch (state.byteSize) {
    case 5:
        tio.c_cflag |= CS5;
        break;
    case 6:
        tio.c_cflag |= CS6;
        break;
    case 7:
        tio.c_cflag |= CS7;
        break;
    default:
        tio.c_cflag |= CS8;
    }
    if (state.parity != Parity::None)
        tio.c_cflag |= PARENB | (state.parity == Parity::Odd ? PARODD : 0);
    if (state.stopBits != StopBits::One)
        tio.c_cflag |= CSTOPB;
    if (state.ctsFlow)
        tio.c_cflag |= CRTSCTS;
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    if (state.outX)
        tio.c_iflag |= IXON;
    if (state.inX)
        tio.c_iflag |= IXOFF;
    if (state.parityCheck)
        tio.c_iflag |= INPCK;
    // A read returns at once with what has come; on a pseudo-terminal the reader is a client
    // (cat, a chart plotter), which must wait for a record rather than see the end of a file.
    tio.c_cc[VMIN] = clientReads ? 1 : 0;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, code) != 0 || ::cfsetospeed(&tio, code) != 0 ||
        ::tcsetattr(fd, TCSANOW, &tio) != 0)
        return false;
    applied = tio;
    return true;
}

WriteOutcome WriteWithin(int fd, const std::uint8_t* data, std::size_t count,
                         const Timeouts& timeouts, const WriteInterrupt& stop) {
    using Clock = std::chrono::steady_clock;
    Timeouts t = timeouts;
    if (t.writeTotalConstant == 0 && t.writeTotalMultiplier == 0) {
        // Never block without bound, even before time-outs were set.
        t.writeTotalConstant = 1000;
        t.writeTotalMultiplier = 10;
    }
    const auto budget = std::chrono::milliseconds(static_cast<long long>(t.writeTotalConstant) +
                                                  static_cast<long long>(t.writeTotalMultiplier) *
                                                      static_cast<long long>(count));
    const auto deadline = Clock::now() + budget;
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd, data + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return isGone(errno) ? WriteOutcome::Gone : WriteOutcome::Failed;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || stop.raised())
            return WriteOutcome::Failed;
        // The interrupt's descriptor beside the line's, so the end of the program need not
        // wait for a stalled line's deadline.
        pollfd p[2] = {{fd, POLLOUT, 0}, {stop.descriptor(), POLLIN, 0}};
        const int r = ::poll(p, 2, static_cast<int>(left.count()));
        if (r < 0 && errno != EINTR)
            return WriteOutcome::Failed;
        if (r > 0 && (p[0].revents & (POLLERR | POLLHUP | POLLNVAL)))
            return WriteOutcome::Gone; // the device hung up
    }
    return WriteOutcome::Written;
}
