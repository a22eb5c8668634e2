#pragma once
#include <condition_variable>
#include <mutex>
#include <thread>

#include "line/DeadlineSchedule.h"

// SIGINT, SIGTERM, SIGHUP and a SIGPIPE sent to the process as a request to stop, and the waits
// that end early on it. Construct it before any other thread starts: the signals are blocked in
// every thread and read from a signalfd by a watcher thread of its own, so no handler runs in the
// middle of the work.
class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    // Sleeps until `deadline` on the monotonic clock, or until wake(). False when a stop was
    // asked for first.
    bool waitUntil(DeadlineSchedule::TimePoint deadline);
    // Ends the wait under way, or the next one, early. From any thread.
    void wake();
    bool requested() const;
    // Readable once a stop is asked for or wake() is called, for a wait that polls other
    // descriptors too; drainWake() empties it.
    int wakeFd() const { return pokeFd; }
    void drainWake();
    // The signal that asked, 0 while none has.
    int signal() const;

private:
    void watch();

    mutable std::mutex mutex;
    std::condition_variable changed;
    int received = 0;
    bool woken = false;
    int signalFd = -1;
    int quitFd = -1; // wakes the watcher at the end of the run
    int pokeFd = -1; // a signal or wake(), for a wait that polls
    std::thread watcher;
};
