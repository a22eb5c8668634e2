#include "line/Sockets.h"

#include "line/Terminal.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
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

// "0", "127.1" or "2130706433" would pass getaddrinfo as IPv4 shorthands; "0" would quietly
// mean every interface. Only the four dotted numbers are taken as an IPv4 address.
bool isPartialIpv4(const std::string& host) {
    if (host.empty() || host.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    in_addr a{};
    return ::inet_pton(AF_INET, host.c_str(), &a) != 1;
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
    else if (host == ":")
        host = "::"; // "::PORT": the separator is the address's own last colon
}

std::string ShownAddress(const std::string& host, const std::string& port) {
    return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + port;
}

int OpenSocket(const std::string& host, const std::string& port, int type, bool server,
               std::string& error, std::string* bound) {
    if (!isPortNumber(port)) {
        error = "the port number must be 1 to 65535";
        return -1;
    }
    if (isPartialIpv4(host)) {
        error = "\"" + host + "\" is not a whole address; write 0.0.0.0 for every interface";
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
            const int on = 1, off = 0;
            ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
            // "::" takes IPv4 clients too, whatever the system's default.
            if (a->ai_family == AF_INET6)
                ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
            // Room for a crowd connecting at once while the accepting thread catches up.
            ok = ::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, SOMAXCONN) == 0;
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
    if (fd >= 0 && bound != nullptr) {
        sockaddr_storage a{};
        socklen_t len = sizeof a;
        char name[NI_MAXHOST] = {};
        *bound = ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0 &&
                         ::getnameinfo(reinterpret_cast<sockaddr*>(&a), len, name, sizeof name,
                                       nullptr, 0, NI_NUMERICHOST) == 0
                     ? ShownAddress(name, port)
                     : ShownAddress(host, port);
    }
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
