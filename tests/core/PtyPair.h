#pragma once
// A pseudo-terminal standing in for a serial line: the program opens the slave path,
// the test reads what arrives on the master side.
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>

class PtyPair {
public:
    PtyPair() {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            slavePath = name;
            ::close(slave); // the program under test opens it by name
            ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~PtyPair() { ::close(master); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    // Reads until `count` bytes arrived or `timeoutMs` passed.
    std::string read(std::size_t count, int timeoutMs = 3000) {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        std::string got;
        char buf[4096];
        while (got.size() < count) {
            const ssize_t n = ::read(master, buf, std::min(sizeof buf, count - got.size()));
            if (n > 0) {
                got.append(buf, static_cast<std::size_t>(n));
            } else if (Clock::now() < deadline) {
                pollfd p{master, POLLIN, 0};
                ::poll(&p, 1, 10);
            } else {
                break;
            }
        }
        return got;
    }
    // Everything that is waiting now.
    std::string drain() { return read(1 << 20, 0); }

    // The line settings as the slave side sees them. Read through the master: the program
    // holds the slave exclusively, which keeps an ordinary user from opening it.
    termios slaveTermios() const {
        termios t{};
        ::tcgetattr(master, &t);
        return t;
    }

    int master = -1;
    std::string slavePath;
};
