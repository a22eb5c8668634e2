#pragma once
// Every value that crosses between the window's thread and the two helper threads, the line
// writer and the pulse timer, is declared in this file and nowhere else. EmulatorState never
// crosses: the helpers see only what is handed to them here.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "serial/PortHandle.h"

// One piece of work for the line writer, in the order it was handed over.
struct WriterJob {
    enum class Kind { Record, Command };
    Kind kind = Kind::Record;
    PortHandle port = InvalidPort; // Record: the port that was current when it was sent
    std::string bytes;             // Record: everything that leaves in one write
    // Record: how long after the end of the previous record's write this one may start.
    std::chrono::milliseconds gapBefore{0};
    std::function<void()> command; // Command: a port operation that must keep its place
};

// Window -> writer: records (bounded; a full queue refuses) and port commands (never refused,
// so a close or a baud change is never lost).
struct RecordQueue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<WriterJob> jobs;
    std::size_t queuedRecords = 0;
    bool busy = false;     // the writer is working on a job it has taken
    bool stopping = false; // records still queued are dropped; commands still run
};

// Writer -> window: what happened on the line.
struct LineCounters {
    std::atomic<std::uint64_t> bytesSent{0};
    std::atomic<std::uint64_t> recordsSent{0};
    std::atomic<std::uint64_t> recordsDropped{0}; // queue full, deadline missed or write failed
    std::atomic<std::uint32_t> configureFailures{0}; // baud changes the device refused
};

// Window -> pulse timer: whether the fuel-flow edges run and how far apart.
struct PulseControl {
    std::mutex mutex;
    std::condition_variable changed;
    bool enabled = false;
    std::chrono::milliseconds period{1000};
    std::uint64_t generation = 0; // bumped by every change, so the timer starts a new grid
    bool stopping = false;
};

// Window <-> pulse timer: the port whose RTS line the edges drive, and its level.
struct RtsLine {
    std::atomic<PortHandle> port{InvalidPort};
    std::atomic<bool> raised{false};
};
