#include "control/ControlServer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "engine/Emulator.h"
#include "line/PtyEndpoint.h"
#include "line/Sockets.h"

namespace fs = std::filesystem;

namespace {

double utcNow() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) /
           1e6;
}

void watch(int pollFd, int fd, std::uint32_t events, int op) {
    epoll_event ev{};
    ev.events = events;
    ev.data.fd = fd;
    ::epoll_ctl(pollFd, op, fd, &ev);
}

bool isLoopback(const std::string& host) {
    return host.empty() || host == "localhost" || host.rfind("127.", 0) == 0 || host == "::1";
}

// A Unix socket at `path`, 0600, in a directory the user owns (made 0700 when missing).
int listenUnix(const std::string& path, std::string& error) {
    sockaddr_un addr{};
    if (path.empty() || path.size() >= sizeof addr.sun_path) {
        error = "the socket path must be 1 to " + std::to_string(sizeof addr.sun_path - 1) +
                " characters";
        return -1;
    }
    const fs::path dir =
        fs::path(path).parent_path().empty() ? fs::path(".") : fs::path(path).parent_path();
    std::error_code ec;
    if (!fs::exists(dir, ec) && fs::create_directories(dir, ec))
        ::chmod(dir.c_str(), 0700);
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = dir.string() + " is not a directory";
        return -1;
    }
    if (st.st_uid != ::geteuid() || (st.st_mode & S_IWOTH) != 0) {
        error = dir.string() + " is not a directory of your own";
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    const auto* a = reinterpret_cast<const sockaddr*>(&addr);
    int bound = ::bind(fd, a, sizeof addr);
    if (bound != 0 && errno == EADDRINUSE) {
        // A socket left by a program that has ended is taken over; a live one is not.
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool live = probe >= 0 && ::connect(probe, a, sizeof addr) == 0;
        if (probe >= 0)
            ::close(probe);
        struct stat old {};
        if (live || ::lstat(path.c_str(), &old) != 0 || !S_ISSOCK(old.st_mode)) {
            error = path + " is in use";
            ::close(fd);
            return -1;
        }
        ::unlink(path.c_str());
        bound = ::bind(fd, a, sizeof addr);
    }
    if (bound != 0 || ::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 16) != 0) {
        error = path + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::string ParseControlAddress(const std::string& text, ControlAddress& out) {
    out = ControlAddress{};
    if (text.empty()) {
        out.path = DefaultControlPath();
        return {};
    }
    if (text.rfind("unix:", 0) == 0) {
        out.path = text.substr(5);
        return out.path.empty() ? "unix: needs a path" : "";
    }
    if (text.rfind("tcp:", 0) == 0) {
        out.unixSocket = false;
        SplitHostPort(text.substr(4), out.host, out.port);
        if (out.port.empty() || out.port.find_first_not_of("0123456789") != std::string::npos)
            return "'" + text + "' is not tcp:[ADDRESS:]PORT";
        return {};
    }
    return "'" + text + "' is not unix:PATH or tcp:[ADDRESS:]PORT";
}

std::string DefaultControlPath() { return (DefaultLinkDirectory() / "control").string(); }

ControlServer::ControlServer(Emulator& e, ControlProtocol& p, std::size_t bound)
    : emulator(e), protocol(p), maxOutput(bound) {
    pollFd = ::epoll_create1(EPOLL_CLOEXEC);
    eventFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    watch(pollFd, eventFd, EPOLLIN, EPOLL_CTL_ADD);
    emulator.writer().observe(this);
}

ControlServer::~ControlServer() {
    emulator.writer().observe(nullptr);
    for (const auto& [fd, c] : clients)
        ::close(fd);
    for (const int fd : listeners)
        ::close(fd);
    if (!unixPath.empty())
        ::unlink(unixPath.c_str());
    ::close(eventFd);
    ::close(pollFd);
}

std::string ControlServer::listen(const ControlAddress& a) {
    std::string error;
    int fd = -1;
    if (a.unixSocket) {
        fd = listenUnix(a.path, error);
        if (fd >= 0) {
            unixPath = a.path;
            place = "control socket " + a.path;
        }
    } else {
        const std::string host = a.host.empty() ? "127.0.0.1" : a.host;
        fd = OpenSocket(host, a.port, SOCK_STREAM, true, error);
        if (fd >= 0)
            place = "control socket tcp:" + host + ":" + a.port +
                    (isLoopback(host) ? " (this computer only)"
                                      : " (reachable by anyone who can reach " + host +
                                            "; there is no password)");
    }
    if (fd < 0)
        return "control socket: " + error;
    listeners.push_back(fd);
    watch(pollFd, fd, EPOLLIN, EPOLL_CTL_ADD);
    return {};
}

void ControlServer::process() {
    std::array<epoll_event, 64> ready{};
    const int n = ::epoll_wait(pollFd, ready.data(), static_cast<int>(ready.size()), 0);
    for (int i = 0; i < n; ++i) {
        const int fd = ready[static_cast<std::size_t>(i)].data.fd;
        const std::uint32_t events = ready[static_cast<std::size_t>(i)].events;
        if (fd == eventFd) {
            std::uint64_t count = 0;
            (void)!::read(eventFd, &count, sizeof count);
            continue;
        }
        if (std::find(listeners.begin(), listeners.end(), fd) != listeners.end()) {
            accept(fd);
            continue;
        }
        const auto it = clients.find(fd);
        if (it == clients.end())
            continue;
        if (events & (EPOLLIN | EPOLLHUP | EPOLLERR))
            read(it->second);
        else if (events & EPOLLOUT)
            flush(it->second);
    }
    std::vector<Left> done;
    {
        std::lock_guard lock(leftMutex);
        done.swap(leftQueue);
    }
    for (const Left& l : done)
        broadcast(true, ControlProtocol::RecordEvent("left", 0, l.sequence, l.utc, l.bytes, l.ok));
    flushAll();
}

void ControlServer::afterServe() {
    const std::uint64_t tick = emulator.runLoop().ticksServed();
    if (tick != lastTick) {
        lastTick = tick;
        if (emulator.runLoop().page() == Page::File)
            broadcast(false, protocol.ReadoutsEvent());
    }
    flushAll();
}

void ControlServer::accept(int listener) {
    for (;;) {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        Client& c = clients[fd];
        c.fd = fd;
        watch(pollFd, fd, EPOLLIN, EPOLL_CTL_ADD);
    }
}

void ControlServer::read(Client& c) {
    const int fd = c.fd; // c goes when the client is dropped
    const auto gone = [this, fd] { return clients.find(fd) == clients.end(); };
    std::array<char, 16384> buf{};
    for (;;) {
        const ssize_t got = ::recv(c.fd, buf.data(), buf.size(), 0);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            drop(c.fd);
            return;
        }
        if (got < 0)
            break;
        if (c.closing)
            continue; // what follows a refused line is not read
        c.in.append(buf.data(), static_cast<std::size_t>(got));
        std::size_t start = 0;
        for (std::size_t end; (end = c.in.find('\n', start)) != std::string::npos;
             start = end + 1) {
            std::string_view line(c.in.data() + start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            if (line.find_first_not_of(" \t") == std::string_view::npos)
                continue;
            const bool wasRecords = c.state.records;
            queue(c, protocol.handle(line, c.state));
            if (gone())
                return; // the answer overran the bound
            if (c.state.records != wasRecords) {
                bool any = false;
                for (const auto& [f, other] : clients)
                    any = any || other.state.records;
                recordSubscribers = any;
            }
        }
        c.in.erase(0, start);
        if (c.in.size() > MaxLine) {
            // Not waited for to the end: a line this long is no request.
            c.in.clear();
            queue(c, R"({"id":null,"ok":false,"error":"a request line is longer than )" +
                         std::to_string(MaxLine) + R"( bytes"})");
            if (gone())
                return;
            c.closing = true;
            flush(c);
            return;
        }
    }
    flush(c);
}

void ControlServer::queue(Client& c, const std::string& line) {
    if (c.out.size() + line.size() + 1 > maxOutput) {
        drop(c.fd); // it has stopped reading
        return;
    }
    c.out += line;
    c.out += '\n';
}

void ControlServer::flush(Client& c) {
    while (!c.out.empty()) {
        const ssize_t put = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                drop(c.fd);
                return;
            }
            break;
        }
        c.out.erase(0, static_cast<std::size_t>(put));
    }
    if (c.out.empty() && c.closing) {
        drop(c.fd);
        return;
    }
    const bool want = !c.out.empty();
    if (want != c.wantsWrite) {
        c.wantsWrite = want;
        watch(pollFd, c.fd, want ? EPOLLIN | EPOLLOUT : EPOLLIN, EPOLL_CTL_MOD);
    }
}

void ControlServer::flushAll() {
    std::vector<int> fds;
    for (const auto& [fd, c] : clients)
        if (!c.out.empty())
            fds.push_back(fd);
    for (const int fd : fds)
        if (const auto it = clients.find(fd); it != clients.end())
            flush(it->second);
}

void ControlServer::drop(int fd) {
    ::epoll_ctl(pollFd, EPOLL_CTL_DEL, fd, nullptr);
    ::close(fd);
    clients.erase(fd);
    bool any = false;
    for (const auto& [f, c] : clients)
        any = any || c.state.records;
    recordSubscribers = any;
    std::lock_guard lock(leftMutex);
    wantLeft = any;
}

void ControlServer::broadcast(bool records, const std::string& line) {
    std::vector<int> fds;
    for (const auto& [fd, c] : clients)
        if (records ? c.state.records : c.state.readouts)
            fds.push_back(fd);
    for (const int fd : fds)
        if (const auto it = clients.find(fd); it != clients.end())
            queue(it->second, line);
}

void ControlServer::handedOver(std::uint64_t sequence, std::string_view bytes) {
    {
        std::lock_guard lock(leftMutex);
        wantLeft = recordSubscribers;
    }
    if (!recordSubscribers)
        return;
    broadcast(true, ControlProtocol::RecordEvent("record", emulator.runLoop().ticksServed() + 1,
                                                 sequence, utcNow(), bytes, true));
}

void ControlServer::left(std::uint64_t sequence, std::string_view bytes, bool ok) {
    const double now = utcNow();
    std::lock_guard lock(leftMutex);
    if (!wantLeft)
        return;
    leftQueue.push_back({sequence, ok, now, std::string(bytes)});
    const std::uint64_t one = 1;
    (void)!::write(eventFd, &one, sizeof one);
}
