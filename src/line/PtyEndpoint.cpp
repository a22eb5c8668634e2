#include "line/PtyEndpoint.h"

#include "line/Terminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

int openMaster(std::string& slavePath, std::string& error) {
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

} // namespace

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

std::unique_ptr<PtyEndpoint> PtyEndpoint::open(const fs::path& linkDirectory,
                                               const std::string& name, std::string& failure) {
    std::string slave, error;
    const int master = openMaster(slave, error);
    if (master < 0) {
        failure = "pty: " + error + ".";
        return nullptr;
    }
    std::unique_ptr<PtyEndpoint> pty(new PtyEndpoint(master, slave));
    if (!PublishLink(linkDirectory, name, slave, pty->link))
        pty->link.clear();
    return pty;
}

PtyEndpoint::~PtyEndpoint() {
    WithdrawLink(link, slave);
    ::close(master);
}

bool PtyEndpoint::getLineState(LineState& out) { return ReadLineState(master, out); }

bool PtyEndpoint::setLineState(const LineState& state) {
    termios applied{};
    return ApplyLineState(master, state, true, applied);
}

bool PtyEndpoint::write(const std::uint8_t* data, std::size_t count, const Timeouts&,
                        const WriteInterrupt& stop) {
    // No client has the slave open: nobody would read the record, and it would wait in the
    // pseudo-terminal for the next client.
    pollfd p{master, POLLOUT, 0};
    if (::poll(&p, 1, 0) < 0 || (p.revents & POLLHUP))
        return false;
    // A client that does not read: drop rather than wait.
    const ssize_t n = ::write(master, data, count);
    if (n < 0)
        return false;
    data += n;
    count -= static_cast<std::size_t>(n);
    if (count == 0)
        return true;
    Timeouts rest; // a part is out: the rest must follow, within a deadline
    rest.writeTotalConstant = 1000;
    rest.writeTotalMultiplier = 10;
    return WriteWithin(master, data, count, rest, stop) == WriteOutcome::Written;
}

std::string PtyEndpoint::describe() const {
    return "virtual " + (link.empty() ? slave : link.string());
}
