#include "line/PtyEndpoint.h"

#include "line/Terminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// The link directory, made when missing and opened without following a link, so that nothing
// planted in its place is changed: -1 with `why` set when it is not the user's own.
int openLinkDirectory(const fs::path& dir, std::string& why) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        why = dir.string() + ": " + std::strerror(errno);
        return -1;
    }
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        why = dir.string() + (errno == ELOOP || errno == ENOTDIR
                                  ? " is not a directory but a link or a file"
                                  : ": " + std::string(std::strerror(errno)));
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid()) {
        why = dir.string() + " belongs to another user";
        ::close(fd);
        return -1;
    }
    // Another user must not reach the line through the published name.
    if ((st.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0) {
        why = dir.string() + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string lockName(const std::string& name) { return "." + name + ".lock"; }

// "name, PID n" for the process whose number is in the lock file; empty when unknown.
std::string holderOf(int dir, const std::string& name) {
    const int fd = ::openat(dir, lockName(name).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    char text[32] = {};
    const ssize_t n = fd >= 0 ? ::pread(fd, text, sizeof text - 1, 0) : -1;
    if (fd >= 0)
        ::close(fd);
    const long pid = n > 0 ? std::strtol(text, nullptr, 10) : 0;
    if (pid <= 0)
        return {};
    std::string comm;
    std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/comm"), comm);
    return (comm.empty() ? "a program" : comm) + ", PID " + std::to_string(pid);
}

enum class Claim { Held, Busy, Failed };

// Takes the name for this run: an exclusive lock on ".name.lock", which holds our PID.
Claim claimName(int dir, const std::string& name, int& held) {
    const std::string file = lockName(name);
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::openat(dir, file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            return Claim::Failed;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool busy = errno == EWOULDBLOCK;
            ::close(fd);
            return busy ? Claim::Busy : Claim::Failed;
        }
        // A run ending, or one clearing stale links, may have removed the file between our
        // open and our lock: the lock is only good on the file the name still leads to.
        struct stat mine {};
        struct stat named {};
        if (::fstat(fd, &mine) == 0 &&
            ::fstatat(dir, file.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            mine.st_ino == named.st_ino && mine.st_dev == named.st_dev) {
            const std::string pid = std::to_string(::getpid()) + "\n";
            if (::ftruncate(fd, 0) == 0)
                (void)!::pwrite(fd, pid.data(), pid.size(), 0);
            held = fd;
            return Claim::Held;
        }
        ::close(fd);
    }
    return Claim::Failed;
}

// A link whose lock nobody holds is left from a run that died: the terminal it names may since
// have gone to someone else, so a client must find no link rather than that terminal.
void removeStaleLinks(int dir) {
    const int copy = ::dup(dir);
    DIR* d = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (d == nullptr) {
        if (copy >= 0)
            ::close(copy);
        return;
    }
    std::vector<std::string> links;
    while (const dirent* e = ::readdir(d)) {
        struct stat st {};
        if (e->d_name[0] != '.' && ::fstatat(dir, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(st.st_mode))
            links.emplace_back(e->d_name);
    }
    ::closedir(d);
    for (const std::string& link : links) {
        const std::string name = link.ends_with(".new") ? link.substr(0, link.size() - 4) : link;
        const int fd = ::openat(dir, lockName(name).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 ? errno == ENOENT : ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlinkat(dir, link.c_str(), 0);
            if (fd >= 0)
                ::unlinkat(dir, lockName(name).c_str(), 0);
        }
        if (fd >= 0)
            ::close(fd);
    }
}

} // namespace

void RemoveStaleLinks(const fs::path& linkDirectory) {
    const int dir = ::open(linkDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0)
        return;
    struct stat st {};
    if (::fstat(dir, &st) == 0 && st.st_uid == ::geteuid())
        removeStaleLinks(dir);
    ::close(dir);
}

fs::path DefaultLinkDirectory() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        return fs::path(runtime) / "tarrow";
    std::error_code ec;
    return fs::temp_directory_path(ec) / ("tarrow-" + std::to_string(::getuid()));
}

std::unique_ptr<PtyEndpoint> PtyEndpoint::open(const fs::path& linkDirectory,
                                               const std::string& name, std::string& failure) {
    std::string why;
    const int dir = openLinkDirectory(linkDirectory, why);
    int held = -1;
    if (dir >= 0) {
        switch (claimName(dir, name, held)) {
        case Claim::Held:
            removeStaleLinks(dir);
            break;
        case Claim::Busy: {
            const std::string holder = holderOf(dir, name);
            failure = "pty: in use by another program" +
                      (holder.empty() ? "" : " (" + holder + ")") +
                      ". Close it, or choose another port.";
            ::close(dir);
            return nullptr;
        }
        case Claim::Failed:
            why = (linkDirectory / lockName(name)).string() + ": " + std::strerror(errno);
            break;
        }
    }
    std::string slave, error;
    const int master = openMaster(slave, error);
    if (master < 0) {
        failure = "pty: " + error + ".";
        if (held >= 0) {
            ::unlinkat(dir, lockName(name).c_str(), 0);
            ::close(held);
        }
        if (dir >= 0)
            ::close(dir);
        return nullptr;
    }
    std::unique_ptr<PtyEndpoint> pty(new PtyEndpoint(master, slave));
    pty->name = name;
    pty->directory = dir;
    pty->lock = held;
    if (held >= 0) {
        // A new link beside the old one and a rename, so a client never finds the name missing.
        const std::string fresh = name + ".new";
        ::unlinkat(dir, fresh.c_str(), 0);
        if (::symlinkat(slave.c_str(), dir, fresh.c_str()) == 0 &&
            ::renameat(dir, fresh.c_str(), dir, name.c_str()) == 0)
            pty->link = linkDirectory / name;
        else
            why = (linkDirectory / name).string() + ": " + std::strerror(errno);
    }
    if (pty->link.empty())
        pty->unpublished = "not published as " + (linkDirectory / name).string() + ": " + why;
    return pty;
}

void PtyEndpoint::withdraw() {
    if (directory < 0)
        return;
    // Only our own link: the name leads to our terminal while we hold the lock.
    char target[4096];
    const ssize_t n = ::readlinkat(directory, name.c_str(), target, sizeof target);
    if (!link.empty() && n > 0 && std::string(target, static_cast<std::size_t>(n)) == slave)
        ::unlinkat(directory, name.c_str(), 0);
    if (lock >= 0) {
        ::unlinkat(directory, lockName(name).c_str(), 0);
        ::close(lock);
    }
    ::close(directory);
    if (!link.empty())
        ::rmdir(link.parent_path().c_str()); // only when empty
}

PtyEndpoint::~PtyEndpoint() {
    withdraw();
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
    return "virtual " + (link.empty() ? slave + " (" + unpublished + ")" : link.string());
}
