#include "line/TcpServerEndpoint.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

std::unique_ptr<TcpServerEndpoint> TcpServerEndpoint::open(const std::string& entry,
                                                           std::string& failure) {
    std::string host, port, error;
    SplitHostPort(entry.substr(4), host, port);
    if (host.empty())
        host = "127.0.0.1";
    const int fd = OpenSocket(host, port, SOCK_STREAM, true, error);
    if (fd < 0) {
        failure = entry + ": " + error + ".";
        return nullptr;
    }
    return std::unique_ptr<TcpServerEndpoint>(
        new TcpServerEndpoint(fd, "TCP " + host + ":" + port));
}

TcpServerEndpoint::~TcpServerEndpoint() {
    for (const int c : clients)
        ::close(c);
}

bool TcpServerEndpoint::write(const std::uint8_t* data, std::size_t count, const Timeouts&,
                              const WriteInterrupt&) {
    std::lock_guard lock(mutex);
    if (fd < 0)
        return false;
    // Clients that connected since the last record get this one and every one after it.
    for (;;) {
        const int c = ::accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (c < 0)
            break;
        clients.push_back(c);
    }
    bool delivered = false;
    for (auto it = clients.begin(); it != clients.end();) {
        const ssize_t n = ::send(*it, data, count, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n == static_cast<ssize_t>(count)) {
            delivered = true;
            ++it;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            ++it; // a slow client misses this record but keeps whole ones
        } else {
            ::close(*it); // gone, or a record cut in two: the stream is no longer whole
            it = clients.erase(it);
        }
    }
    return delivered;
}

std::string TcpServerEndpoint::describe() const {
    std::lock_guard lock(mutex);
    const std::size_t n = clients.size();
    return where + ", " + std::to_string(n) + (n == 1 ? " client" : " clients");
}

bool TcpServerEndpoint::close() {
    {
        std::lock_guard lock(mutex);
        for (const int c : clients)
            ::close(c);
        clients.clear();
    }
    return SocketEndpoint::close();
}
