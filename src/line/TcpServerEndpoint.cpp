#include "line/TcpServerEndpoint.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

std::unique_ptr<TcpServerEndpoint> TcpServerEndpoint::open(const std::string& entry,
                                                           std::string& failure) {
    std::string host, port, error, bound;
    SplitHostPort(entry.substr(4), host, port);
    if (host.empty())
        host = "127.0.0.1";
    const int fd = OpenSocket(host, port, SOCK_STREAM, true, error, &bound);
    if (fd < 0) {
        failure = entry + ": " + error + ".";
        return nullptr;
    }
    return std::unique_ptr<TcpServerEndpoint>(new TcpServerEndpoint(fd, "TCP " + bound));
}

TcpServerEndpoint::TcpServerEndpoint(int socket, std::string what)
    : SocketEndpoint(socket, std::move(what)) {
    acceptor = std::thread([this, socket] { acceptClients(socket); });
}

TcpServerEndpoint::~TcpServerEndpoint() {
    stopAccepting();
    for (const int c : clients)
        ::close(c);
}

void TcpServerEndpoint::stopAccepting() {
    quit.raise();
    if (acceptor.joinable())
        acceptor.join();
}

void TcpServerEndpoint::acceptClients(int listening) {
    for (;;) {
        pollfd p[2] = {{listening, POLLIN, 0}, {quit.descriptor(), POLLIN, 0}};
        if (::poll(p, 2, -1) < 0 && errno != EINTR)
            return;
        if (quit.raised())
            return;
        for (;;) {
            int c = -1, error = 0;
            {
                // Accepted under the lock: a record being written either finds the client here
                // or takes it itself, never misses it in between.
                std::lock_guard lock(mutex);
                c = ::accept4(listening, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                error = errno;
                if (c >= 0)
                    clients.push_back(c);
            }
            if (c >= 0)
                continue;
            if (error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM) {
                // Out of descriptors: the waiting clients stay queued; try again a little later
                // rather than spin.
                pollfd q{quit.descriptor(), POLLIN, 0};
                ::poll(&q, 1, 100);
            }
            break; // EAGAIN, or a client that gave up before it was taken
        }
    }
}

bool TcpServerEndpoint::write(const std::uint8_t* data, std::size_t count, const Timeouts&,
                              const WriteInterrupt&) {
    std::lock_guard lock(mutex);
    if (fd < 0)
        return false;
    // A client whose connection is complete but not yet taken gets this record too.
    for (int c; (c = ::accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;)
        clients.push_back(c);
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
    stopAccepting(); // before the listening socket goes, so its number is never reused under it
    {
        std::lock_guard lock(mutex);
        for (const int c : clients)
            ::close(c);
        clients.clear();
    }
    return SocketEndpoint::close();
}
