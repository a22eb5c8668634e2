#include "cli/StopSignal.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

StopSignal::StopSignal() {
    sigset_t set;
    sigemptyset(&set);
    // Every signal that would end the run ends it through the usual way out, so the
    // pseudo-terminal links go with it. A pipe closed under a write is not one of them: that
    // write fails with EPIPE, its signal left pending on the writing thread.
    for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        sigaddset(&set, s);
    // Threads started from here on inherit the mask, so the signalfd gets every one.
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0)
        throw std::runtime_error("cannot block the stopping signals");
    signalFd = ::signalfd(-1, &set, SFD_CLOEXEC);
    quitFd = ::eventfd(0, EFD_CLOEXEC);
    pokeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (signalFd < 0 || quitFd < 0 || pokeFd < 0)
        throw std::runtime_error("cannot watch for the stopping signals");
    watcher = std::thread([this] { watch(); });
}

StopSignal::~StopSignal() {
    const std::uint64_t one = 1;
    (void)!::write(quitFd, &one, sizeof one);
    watcher.join();
    ::close(signalFd);
    ::close(quitFd);
    ::close(pokeFd);
}

void StopSignal::drainWake() {
    std::uint64_t count = 0;
    (void)!::read(pokeFd, &count, sizeof count);
    std::lock_guard lock(mutex);
    woken = false;
}

void StopSignal::watch() {
    for (;;) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {quitFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        signalfd_siginfo info{};
        if (::read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            std::lock_guard lock(mutex);
            if (received == 0)
                received = static_cast<int>(info.ssi_signo);
            changed.notify_all();
            const std::uint64_t one = 1;
            (void)!::write(pokeFd, &one, sizeof one);
        }
    }
}

bool StopSignal::waitUntil(DeadlineSchedule::TimePoint deadline) {
    std::unique_lock lock(mutex);
    // steady_clock is CLOCK_MONOTONIC; the wait sleeps to the absolute deadline.
    changed.wait_until(lock, deadline, [this] { return received != 0 || woken; });
    woken = false;
    return received == 0;
}

void StopSignal::wake() {
    {
        std::lock_guard lock(mutex);
        woken = true;
    }
    changed.notify_all();
    const std::uint64_t one = 1;
    (void)!::write(pokeFd, &one, sizeof one);
}

bool StopSignal::requested() const {
    std::lock_guard lock(mutex);
    return received != 0;
}

int StopSignal::signal() const {
    std::lock_guard lock(mutex);
    return received;
}
