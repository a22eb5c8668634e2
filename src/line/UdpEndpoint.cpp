#include "line/UdpEndpoint.h"

#include <sys/socket.h>

std::unique_ptr<UdpEndpoint> UdpEndpoint::open(const std::string& entry, std::string& failure) {
    std::string host, port, error;
    SplitHostPort(entry.substr(4), host, port);
    const int fd = host.empty() ? -1 : OpenSocket(host, port, SOCK_DGRAM, false, error);
    if (fd < 0) {
        if (host.empty())
            error = "the entry needs a host: udp:HOST:PORT";
        failure = entry + ": " + error + ".";
        return nullptr;
    }
    return std::unique_ptr<UdpEndpoint>(new UdpEndpoint(fd, "UDP " + ShownAddress(host, port)));
}

bool UdpEndpoint::write(const std::uint8_t* data, std::size_t count, const Timeouts&,
                        const WriteInterrupt&) {
    std::lock_guard lock(mutex);
    if (fd < 0)
        return false;
    const ssize_t n = ::send(fd, data, count, MSG_DONTWAIT | MSG_NOSIGNAL);
    return n == static_cast<ssize_t>(count);
}
