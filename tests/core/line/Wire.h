#pragma once
// The client's side of a port: what arrives on a pseudo-terminal or a loopback socket.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "line/SerialDevice.h"

inline bool Send(SerialDevice& d, PortHandle h, const std::string& bytes) {
    return d.write(h, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// Everything waiting on a descriptor, allowing `waitMs` for the first of it to arrive; stops
// at the end of a stream.
inline std::string Drain(int fd, int waitMs = 100) {
    std::string got;
    pollfd p{fd, POLLIN, 0};
    char buf[65536];
    ssize_t n = 0;
    while (::poll(&p, 1, got.empty() ? waitMs : 0) > 0 && (n = ::read(fd, buf, sizeof buf)) > 0)
        got.append(buf, static_cast<std::size_t>(n));
    return got;
}

inline sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// Binds `s` to a free loopback port and tells which.
inline int BindLoopback(int s) {
    sockaddr_in a = Loopback(0);
    socklen_t len = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
}
