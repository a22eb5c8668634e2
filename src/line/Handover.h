#pragma once
// Every value that crosses between the engine's thread and the two helper threads, the line
// writer and the pulse timer, is declared in this file and nowhere else. The engine's state
// never crosses: the helpers see only what is handed to them here.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "line/PortHandle.h"

// One piece of work for the line writer, in the order it was handed over.
struct WriterJob {
    enum class Kind { Record, Command };
    Kind kind = Kind::Record;
    PortHandle port = InvalidPort; // Record: the port that was current when it was sent
    std::string bytes;             // Record: everything that leaves in one write
    // Record: how long after the end of the previous record's write this one may start.
    std::chrono::milliseconds gapBefore{0};
    // Record: the earliest time its write may start (the epoch: at once).
    std::chrono::steady_clock::time_point notBefore{};
    std::function<void()> command; // Command: a port operation that must keep its place
    std::uint64_t sequence = 0;    // Record: its number among the records handed over, from 1
};

// Engine -> observer, and writer -> observer: each record as it is handed over, and again once
// it has left (or failed). The writer calls left() under its queue's lock, so an observer is
// never called after it has been removed; it must not call the writer.
class RecordObserver {
public:
    virtual ~RecordObserver() = default;
    virtual void handedOver(std::uint64_t sequence, std::string_view bytes) = 0;    // engine thread
    virtual void left(std::uint64_t sequence, std::string_view bytes, bool ok) = 0; // writer
};

// Engine -> writer: records and port commands, in order. Records stay until they have left;
// the engine's flow control waits for them rather than piling them up.
struct RecordQueue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<WriterJob> jobs;
    std::size_t queuedRecords = 0;
    bool writing = false;  // the writer holds a record it has taken
    bool busy = false;     // the writer holds a job of any kind
    bool stopping = false; // records still queued are dropped; commands still run
    bool ending = false;   // the thread ends once the queue is empty
    std::uint64_t droppedAtStop = 0;
    std::function<void()> drained;      // writer thread, under the lock: the last record has left
    RecordObserver* observer = nullptr; // set and read under the lock
};

// Writer -> engine: what happened on the line.
struct LineCounters {
    std::atomic<std::uint64_t> bytesSent{0};
    std::atomic<std::uint64_t> recordsSent{0};
    std::atomic<std::uint64_t> recordsDropped{0};    // write failed, deadline missed, or stopping
    std::atomic<std::uint32_t> configureFailures{0}; // baud changes the device refused
};

// Engine -> pulse timer: whether the fuel-flow edges run and how far apart.
struct PulseControl {
    std::mutex mutex;
    std::condition_variable changed;
    bool enabled = false;
    std::chrono::milliseconds period{1000};
    std::uint64_t generation = 0; // bumped by every change, so the timer starts a new grid
    bool stopping = false;
};

// Engine <-> pulse timer: the port whose RTS line the edges drive, and its level.
struct RtsLine {
    std::atomic<PortHandle> port{InvalidPort};
    std::atomic<bool> raised{false};
};
