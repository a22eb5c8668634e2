#include "serial/PosixSerialDevice.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
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

bool speedCode(std::uint32_t baud, speed_t& code) {
    for (const auto& s : Speeds) {
        if (s.baud == baud) {
            code = s.code;
            return true;
        }
    }
    return false;
}

std::uint32_t baudOf(speed_t code) {
    for (const auto& s : Speeds)
        if (s.code == code)
            return s.baud;
    return 0;
}

int fdOf(PortHandle h) { return static_cast<int>(h); }

} // namespace

ModemRequest ModemRequestFor(LineControl fn) {
    switch (fn) {
    case LineControl::SetDtr:
        return {TIOCMBIS, TIOCM_DTR};
    case LineControl::SetRts:
        return {TIOCMBIS, TIOCM_RTS};
    case LineControl::ClrRts:
        return {TIOCMBIC, TIOCM_RTS};
    }
    return {TIOCMBIS, 0};
}

PosixSerialDevice::PosixSerialDevice(PathResolver r) : resolver(std::move(r)) {}

PosixSerialDevice::~PosixSerialDevice() {
    std::lock_guard lock(mutex);
    for (const auto& [h, t] : ports)
        ::close(fdOf(h));
}

PortHandle PosixSerialDevice::open(const std::string& name) {
    const std::string path = resolver ? resolver(name) : name;
    if (path.empty())
        return InvalidPort;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return InvalidPort;
    // Only a terminal is a serial line: a regular file would be appended to for ever, and
    // /dev/null would swallow every record as if it had been sent.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || !::isatty(fd)) {
        ::close(fd);
        return InvalidPort;
    }
    // The lock keeps out every other opener, root included, which TIOCEXCL does not.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return InvalidPort;
    }
    (void)::ioctl(fd, TIOCEXCL);
    std::lock_guard lock(mutex);
    ports[fd] = Timeouts{};
    return fd;
}

bool PosixSerialDevice::isOpen(PortHandle h) const {
    std::lock_guard lock(mutex);
    return ports.count(h) != 0;
}

bool PosixSerialDevice::getLineState(PortHandle h, LineState& out) {
    if (!isOpen(h))
        return false;
    termios tio{};
    if (::tcgetattr(fdOf(h), &tio) != 0)
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

bool PosixSerialDevice::setLineState(PortHandle h, const LineState& state) {
    if (!isOpen(h))
        return false;
    speed_t code{};
    if (!speedCode(state.baudRate, code))
        return false;
    termios tio{};
    if (::tcgetattr(fdOf(h), &tio) != 0)
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
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, code) != 0 || ::cfsetospeed(&tio, code) != 0)
        return false;
    return ::tcsetattr(fdOf(h), TCSANOW, &tio) == 0;
}

bool PosixSerialDevice::getTimeouts(PortHandle h, Timeouts& out) {
    std::lock_guard lock(mutex);
    const auto it = ports.find(h);
    if (it == ports.end())
        return false;
    out = it->second;
    return true;
}

bool PosixSerialDevice::setTimeouts(PortHandle h, const Timeouts& t) {
    std::lock_guard lock(mutex);
    const auto it = ports.find(h);
    if (it == ports.end())
        return false;
    it->second = t;
    return true;
}

bool PosixSerialDevice::lineControl(PortHandle h, LineControl fn) {
    // Under the lock, so that a close on another thread cannot hand the number to a new file
    // between the check and the call.
    std::lock_guard lock(mutex);
    if (!ports.count(h))
        return false;
    ModemRequest r = ModemRequestFor(fn);
    return ::ioctl(fdOf(h), r.request, &r.bits) == 0;
}

bool PosixSerialDevice::write(PortHandle h, const std::uint8_t* data, std::size_t count) {
    Timeouts t;
    if (!getTimeouts(h, t))
        return false;
    using Clock = std::chrono::steady_clock;
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
        const ssize_t n = ::write(fdOf(h), data + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{fdOf(h), POLLOUT, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno != EINTR)
            return false;
        if (r > 0 && (p.revents & (POLLERR | POLLNVAL)))
            return false;
    }
    return true;
}

bool PosixSerialDevice::close(PortHandle h) {
    std::lock_guard lock(mutex);
    const auto it = ports.find(h);
    if (it == ports.end())
        return false;
    ports.erase(it);
    return ::close(fdOf(h)) == 0;
}
