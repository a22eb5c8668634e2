#include "line/VirtualPorts.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// "[ADDRESS:]PORT" or "HOST:PORT": the address part (maybe empty) and the port part.
void splitHostPort(const std::string& text, std::string& host, std::string& port) {
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

bool isPortNumber(const std::string& port) {
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const long n = std::strtol(port.c_str(), nullptr, 10);
    return n >= 1 && n <= 65535;
}

int openSocket(const std::string& host, const std::string& port, int type, bool server,
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

} // namespace

VirtualKind VirtualKindOf(const std::string& device) {
    if (device == "pty")
        return VirtualKind::Pty;
    if (device.starts_with("tcp:"))
        return VirtualKind::Tcp;
    if (device.starts_with("udp:"))
        return VirtualKind::Udp;
    return VirtualKind::None;
}

int OpenPtyMaster(std::string& slavePath, std::string& error) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        error = std::strerror(errno);
        if (master >= 0)
            ::close(master);
        return -1;
    }
    char name[128] = {};
    if (::ptsname_r(master, name, sizeof name) != 0) {
        error = std::strerror(errno);
        ::close(master);
        return -1;
    }
    // Opened and closed once, the slave reads as hung up until a client opens it, which is
    // how a write tells that nobody is there.
    if (const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC); slave >= 0)
        ::close(slave);
    // Raw both ways, so a client reads the records byte for byte (no CR turned into LF).
    termios t{};
    if (::tcgetattr(master, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(master, TCSANOW, &t);
    }
    slavePath = name;
    return master;
}

int OpenTcpServer(const std::string& device, std::string& where, std::string& error) {
    std::string host, port;
    splitHostPort(device.substr(4), host, port);
    if (host.empty())
        host = "127.0.0.1";
    where = "TCP " + host + ":" + port;
    return openSocket(host, port, SOCK_STREAM, true, error);
}

int OpenUdpSender(const std::string& device, std::string& where, std::string& error) {
    std::string host, port;
    splitHostPort(device.substr(4), host, port);
    if (host.empty()) {
        error = "the entry needs a host: udp:HOST:PORT";
        return -1;
    }
    where = "UDP " + host + ":" + port;
    return openSocket(host, port, SOCK_DGRAM, false, error);
}

fs::path DefaultLinkDirectory() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        return fs::path(runtime) / "tarrow";
    std::error_code ec;
    return fs::temp_directory_path(ec) / ("tarrow-" + std::to_string(::getuid()));
}

bool PublishLink(const fs::path& dir, const std::string& name, const std::string& target,
                 fs::path& link) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    ::chmod(dir.c_str(), 0700);
    struct stat st {};
    // A directory someone else owns is not ours to publish in.
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    link = dir / name;
    // A new link beside the old one and a rename, so a client never finds the name missing.
    const fs::path fresh = dir / (name + ".new");
    fs::remove(fresh, ec);
    fs::create_symlink(target, fresh, ec);
    if (ec)
        return false;
    fs::rename(fresh, link, ec);
    return !ec;
}

void WithdrawLink(const fs::path& link, const std::string& target) {
    std::error_code ec;
    if (!link.empty() && fs::read_symlink(link, ec) == target)
        fs::remove(link, ec);
    fs::remove(link.parent_path(), ec); // only when empty
}
