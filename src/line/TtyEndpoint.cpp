#include "line/TtyEndpoint.h"

#include "line/OpenFailure.h"
#include "line/Terminal.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int openTerminal(const std::string& path, int& error) {
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

std::unique_ptr<TtyEndpoint> TtyEndpoint::open(const std::string& path, std::string& failure) {
    int error = 0;
    const int fd = path.empty() ? -1 : openTerminal(path, error);
    if (fd < 0) {
        failure = DescribeOpenFailure(path, error);
        return nullptr;
    }
    return std::unique_ptr<TtyEndpoint>(new TtyEndpoint(path, fd));
}

TtyEndpoint::~TtyEndpoint() { close(); }

bool TtyEndpoint::getLineState(LineState& out) {
    std::lock_guard lock(mutex);
    return fd >= 0 && ReadLineState(fd, out);
}

bool TtyEndpoint::setLineState(const LineState& state) {
    std::lock_guard lock(mutex);
    termios applied{};
    if (fd < 0 || !ApplyLineState(fd, state, false, applied))
        return false;
    settings = applied; // applied again if the line comes back after a loss
    haveSettings = true;
    return true;
}

bool TtyEndpoint::lineControl(LineControl fn) {
    std::lock_guard lock(mutex);
    if (fd < 0)
        return false;
    ModemRequest r = ModemRequestFor(fn);
    return ::ioctl(fd, r.request, &r.bits) == 0;
}

bool TtyEndpoint::write(const std::uint8_t* data, std::size_t count, const Timeouts& t,
                        const WriteInterrupt& stop) {
    int line = -1;
    {
        std::lock_guard lock(mutex);
        line = fd;
    }
    if (line < 0)
        return false;
    const WriteOutcome outcome = WriteWithin(line, data, count, t, stop);
    if (outcome == WriteOutcome::Gone)
        markLost();
    return outcome == WriteOutcome::Written;
}

void TtyEndpoint::markLost() {
    std::lock_guard lock(mutex);
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool TtyEndpoint::lost() const {
    std::lock_guard lock(mutex);
    return fd < 0;
}

bool TtyEndpoint::reopen() {
    termios again{};
    bool apply = false;
    {
        std::lock_guard lock(mutex);
        if (fd >= 0)
            return false;
        again = settings;
        apply = haveSettings;
    }
    int error = 0;
    const int line = openTerminal(path, error);
    if (line < 0)
        return false;
    if (apply)
        (void)::tcsetattr(line, TCSANOW, &again);
    int bits = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(line, TIOCMBIS, &bits);
    std::lock_guard lock(mutex);
    fd = line;
    return true;
}

bool TtyEndpoint::close() {
    std::lock_guard lock(mutex);
    if (fd < 0)
        return true;
    (void)::ioctl(fd, TIOCNXCL); // the next opener, another program or ours, may open
    const bool closed = ::close(fd) == 0;
    fd = -1;
    return closed;
}
