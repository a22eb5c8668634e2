#pragma once
// The client's side of a port: what arrives on a pseudo-terminal or a socket.
#include <poll.h>
#include <string>
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
