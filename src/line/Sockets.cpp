#include "line/Sockets.h"

#include "line/Terminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool isPortNumber(const std::string& port) {
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const long n = std::strtol(port.c_str(), nullptr, 10);
    return n >= 1 && n <= 65535;
}

} // namespace

void SplitHostPort(const std::string& text, std::string& host, std::string& port) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) {
        host.clear();
        port = text;
        return;
    }
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2); // [::1]
}

int OpenSocket(const std::string& host, const std::string& port, int type, bool server,
               std::string& error) {
    if (!isPortNumber(port)) {
        error = "the port number must be 1 to 65535";
        return -1;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = type;
    hints.ai_flags = AI_NUMERICSERV | (server ? AI_PASSIVE : 0);
    addrinfo* found = nullptr;
    if (const int r = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found); r != 0) {
        error = ::gai_strerror(r);
        return -1;
    }
    int fd = -1;
    for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            continue;
        bool ok = false;
        if (server) {
            const int on = 1;
            ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
            ok = ::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, 8) == 0;
        } else {
            ok = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        }
        if (!ok) {
            error = std::strerror(errno);
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    return fd;
}

SocketEndpoint::~SocketEndpoint() {
    if (fd >= 0)
        ::close(fd);
}

bool SocketEndpoint::getLineState(LineState& out) {
    std::lock_guard lock(mutex);
    if (fd < 0)
        return false;
    out = line;
    return true;
}

bool SocketEndpoint::setLineState(const LineState& state) {
    speed_t code{};
    if (!SpeedCode(state.baudRate, code))
        return false;
    std::lock_guard lock(mutex);
    if (fd < 0)
        return false;
    line = state;
    return true;
}

bool SocketEndpoint::close() {
    std::lock_guard lock(mutex);
    const bool closed = fd < 0 || ::close(fd) == 0;
    fd = -1;
    return closed;
}
