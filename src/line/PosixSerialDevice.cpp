#include "line/PosixSerialDevice.h"

#include "line/OpenFailure.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
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

bool isGone(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

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

PosixSerialDevice::PosixSerialDevice(PathResolver r, std::filesystem::path links)
    : resolver(std::move(r)), linkDirectory(std::move(links)) {}

PosixSerialDevice::~PosixSerialDevice() {
    std::lock_guard lock(mutex);
    for (auto& [h, port] : ports) {
        for (const int c : port.clients)
            ::close(c);
        if (port.kind != VirtualKind::Pty && port.fd >= 0)
            ::close(port.fd);
    }
    for (auto& [name, pty] : ptys) {
        WithdrawLink(pty.link, pty.slave);
        ::close(pty.master);
    }
}

int PosixSerialDevice::openTerminal(const std::string& path, int& error) const {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    // Only a terminal is a serial line: a regular file would be appended to for ever, and
    // /dev/null would swallow every record as if it had been sent.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || !::isatty(fd)) {
        error = ENOTTY;
        ::close(fd);
        return -1;
    }
    // The lock keeps out every other opener, root included, which TIOCEXCL does not.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = EBUSY;
        ::close(fd);
        return -1;
    }
    (void)::ioctl(fd, TIOCEXCL);
    return fd;
}

PortHandle PosixSerialDevice::open(const std::string& name) {
    return openDevice(name, resolver ? resolver(name) : name);
}

PortHandle PosixSerialDevice::openDevice(const std::string& name, const std::string& device) {
    failure.clear();
    Port port;
    port.device = device;
    port.kind = VirtualKindOf(device);
    std::string error;
    switch (port.kind) {
    case VirtualKind::None: {
        int code = 0;
        port.fd = device.empty() ? -1 : openTerminal(device, code);
        if (port.fd < 0)
            failure = DescribeOpenFailure(device, code);
        break;
    }
    case VirtualKind::Pty: {
        std::lock_guard lock(mutex);
        auto it = ptys.find(name);
        if (it == ptys.end()) {
            Pty pty;
            pty.master = OpenPtyMaster(pty.slave, error);
            if (pty.master < 0) {
                failure = "pty: " + error + ".";
                return InvalidPort;
            }
            std::string key = name;
            if (!key.empty() && key.back() == ':')
                key.pop_back();
            if (!PublishLink(linkDirectory, key, pty.slave, pty.link))
                pty.link.clear();
            it = ptys.emplace(name, std::move(pty)).first;
        }
        port.fd = it->second.master;
        port.where =
            "virtual " + (it->second.link.empty() ? it->second.slave : it->second.link.string());
        break;
    }
    case VirtualKind::Tcp:
    case VirtualKind::Udp:
        port.fd = port.kind == VirtualKind::Tcp ? OpenTcpServer(device, port.where, error)
                                                : OpenUdpSender(device, port.where, error);
        if (port.fd < 0)
            failure = device + ": " + error + ".";
        port.where = "virtual " + port.where;
        port.line.baudRate = 4800;
        break;
    }
    if (port.fd < 0)
        return InvalidPort;
    std::lock_guard lock(mutex);
    const PortHandle h = nextHandle++;
    ports.emplace(h, std::move(port));
    return h;
}

std::string PosixSerialDevice::openFailure() const { return failure; }

bool PosixSerialDevice::getLineState(PortHandle h, LineState& out) {
    std::unique_lock lock(mutex);
    const auto it = ports.find(h);
    if (it == ports.end() || it->second.fd < 0)
        return false;
    if (it->second.kind == VirtualKind::Tcp || it->second.kind == VirtualKind::Udp) {
        out = it->second.line;
        return true;
    }
    const int fd = it->second.fd;
    lock.unlock();
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

bool PosixSerialDevice::setLineState(PortHandle h, const LineState& state) {
    std::unique_lock lock(mutex);
    const auto it = ports.find(h);
    if (it == ports.end() || it->second.fd < 0)
        return false;
    speed_t code{};
    if (!speedCode(state.baudRate, code))
        return false;
    if (it->second.kind == VirtualKind::Tcp || it->second.kind == VirtualKind::Udp) {
        it->second.line = state;
        return true;
    }
    const int fd = it->second.fd;
    const bool pty = it->second.kind == VirtualKind::Pty;
    lock.unlock();
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
    tio.c_cc[VMIN] = pty ? 1 : 0;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, code) != 0 || ::cfsetospeed(&tio, code) != 0 ||
        ::tcsetattr(fd, TCSANOW, &tio) != 0)
        return false;
    lock.lock();
    if (const auto again = ports.find(h); again != ports.end()) {
        again->second.settings = tio; // applied again if the line comes back after a loss
        again->second.haveSettings = true;
    }
    return true;
}

bool PosixSerialDevice::getTimeouts(PortHandle h, Timeouts& out) {
    std::lock_guard lock(mutex);
    const auto it = ports.find(h);
    if (it == ports.end())
        return false;
    out = it->second.timeouts;
    return true;
}

bool PosixSerialDevice::setTimeouts(PortHandle h, const Timeouts& t) {
    std::lock_guard lock(mutex);
    const auto it = ports.find(h);
    if (it == ports.end())
        return false;
    it->second.timeouts = t;
    return true;
}

bool PosixSerialDevice::lineControl(PortHandle h, LineControl fn) {
    // Under the lock, so that a close on another thread cannot hand the number to a new file
    // between the check and the call.
    std::lock_guard lock(mutex);
    const auto it = ports.find(h);
    if (it == ports.end() || it->second.fd < 0)
        return false;
    if (it->second.kind != VirtualKind::None)
        return true; // a virtual port has no modem lines
    ModemRequest r = ModemRequestFor(fn);
    return ::ioctl(it->second.fd, r.request, &r.bits) == 0;
}

bool PosixSerialDevice::write(PortHandle h, const std::uint8_t* data, std::size_t count) {
    std::unique_lock lock(mutex);
    const auto it = ports.find(h);
    if (it == ports.end() || it->second.fd < 0)
        return false;
    Port& port = it->second;
    if (port.kind == VirtualKind::Tcp)
        return writeClients(port, data, count);
    if (port.kind == VirtualKind::Udp) {
        const ssize_t n = ::send(port.fd, data, count, MSG_DONTWAIT | MSG_NOSIGNAL);
        return n == static_cast<ssize_t>(count);
    }
    const int fd = port.fd;
    Timeouts t = port.timeouts;
    const bool pty = port.kind == VirtualKind::Pty;
    lock.unlock();
    if (pty) {
        // No client has the slave open: nobody would read the record, and it would wait in
        // the pseudo-terminal for the next client.
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 0) < 0 || (p.revents & POLLHUP))
            return false;
        // A client that does not read: drop rather than wait.
        const ssize_t n = ::write(fd, data, count);
        if (n < 0)
            return false;
        data += n;
        count -= static_cast<std::size_t>(n);
        if (count == 0)
            return true;
        t.writeTotalConstant = 1000; // a part is out: the rest must follow, within a deadline
        t.writeTotalMultiplier = 10;
    }
    return writeTerminal(h, fd, t, data, count);
}

bool PosixSerialDevice::writeTerminal(PortHandle h, int fd, const Timeouts& timeouts,
                                      const std::uint8_t* data, std::size_t count) {
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
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            if (isGone(errno))
                markLost(h);
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{fd, POLLOUT, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno != EINTR)
            return false;
        if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            markLost(h); // the device hung up
            return false;
        }
    }
    return true;
}

bool PosixSerialDevice::writeClients(Port& port, const std::uint8_t* data, std::size_t count) {
    // Clients that connected since the last record get this one and every one after it.
    for (;;) {
        const int c = ::accept4(port.fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (c < 0)
            break;
        port.clients.push_back(c);
    }
    bool delivered = false;
    for (auto it = port.clients.begin(); it != port.clients.end();) {
        const ssize_t n = ::send(*it, data, count, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n == static_cast<ssize_t>(count)) {
            delivered = true;
            ++it;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            ++it; // a slow client misses this record but keeps whole ones
        } else {
            ::close(*it); // gone, or a record cut in two: the stream is no longer whole
            it = port.clients.erase(it);
        }
    }
    return delivered;
}

void PosixSerialDevice::markLost(PortHandle h) {
    std::lock_guard lock(mutex);
    const auto it = ports.find(h);
    if (it == ports.end() || it->second.fd < 0 || it->second.kind != VirtualKind::None)
        return;
    ::close(it->second.fd);
    it->second.fd = -1;
}

bool PosixSerialDevice::lost(PortHandle h) const {
    std::lock_guard lock(mutex);
    const auto it = ports.find(h);
    return it != ports.end() && it->second.fd < 0;
}

bool PosixSerialDevice::reopen(PortHandle h) {
    std::unique_lock lock(mutex);
    const auto it = ports.find(h);
    if (it == ports.end() || it->second.fd >= 0 || it->second.kind != VirtualKind::None)
        return false;
    const std::string device = it->second.device;
    const termios settings = it->second.settings;
    const bool haveSettings = it->second.haveSettings;
    lock.unlock();
    int error = 0;
    const int fd = openTerminal(device, error);
    if (fd < 0)
        return false;
    if (haveSettings)
        (void)::tcsetattr(fd, TCSANOW, &settings);
    int bits = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIS, &bits);
    lock.lock();
    const auto again = ports.find(h);
    if (again == ports.end()) {
        ::close(fd);
        return false;
    }
    again->second.fd = fd;
    return true;
}

std::string PosixSerialDevice::describe(PortHandle h) const {
    std::lock_guard lock(mutex);
    const auto it = ports.find(h);
    if (it == ports.end())
        return {};
    const Port& port = it->second;
    if (port.kind == VirtualKind::Tcp) {
        const std::size_t n = port.clients.size();
        return port.where + ", " + std::to_string(n) + (n == 1 ? " client" : " clients");
    }
    return port.where;
}

bool PosixSerialDevice::close(PortHandle h) {
    std::lock_guard lock(mutex);
    const auto it = ports.find(h);
    if (it == ports.end())
        return false;
    Port port = std::move(it->second);
    ports.erase(it);
    for (const int c : port.clients)
        ::close(c);
    if (port.kind == VirtualKind::Pty || port.fd < 0)
        return true; // the pseudo-terminal stays for the whole run
    if (port.kind == VirtualKind::None)
        (void)::ioctl(port.fd, TIOCNXCL); // the next opener, another program or ours, may open
    return ::close(port.fd) == 0;
}
