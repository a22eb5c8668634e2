#pragma once
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "line/Handover.h"
#include "line/RecordSink.h"

class SerialDevice;

// The writer's sense of time; tests replace it to run the spacing at full speed.
class WriterClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~WriterClock() = default;
    virtual TimePoint now() = 0;
    virtual void sleepUntil(TimePoint t) = 0;
};

// Writes records to the device on a thread of its own, in the order they were handed over,
// one write per record, each bounded by the device's write deadline. Port commands (baud
// changes, closes) run on the same thread, in their place among the records. A record is
// dropped (and counted) only when its write fails or misses its deadline, or at the end.
class LineWriter : public RecordSink {
public:
    // A guard against a runaway caller, far above what a tick hands over: the run loop serves
    // a tick only once the records before it have left.
    static constexpr std::size_t Capacity = 1 << 16;

    explicit LineWriter(SerialDevice& device, WriterClock* clock = nullptr);
    ~LineWriter() override;
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    bool submit(PortHandle port, std::string bytes) override;
    void wait10ms() override;
    // The next record handed over starts to leave no sooner than `t`: a tick prepared a little
    // early leaves on its time, with no hand-over between threads on the way.
    void holdUntil(WriterClock::TimePoint t) { nextNotBefore = t; }
    // Runs `command` on the writer's thread after everything handed over before it.
    void post(std::function<void()> command);
    // True while a record handed over has not left yet (written, failed or dropped).
    bool recordsWaiting();
    // Called on the writer's thread, under its lock, whenever the last waiting record has
    // left; it must not call the writer. Empty to stop the calls.
    void onDrained(std::function<void()> callback);
    // Told of every record from now on; nullptr to stop. Engine thread only.
    void observe(RecordObserver* observer);
    // Returns once everything handed over so far has been done.
    void flush();
    // The end: gives the line at most `limit` to take what is waiting, then drops the rest
    // (counted) and makes a write under way give up. Commands still run. Returns the records
    // dropped so.
    std::uint64_t finish(std::chrono::milliseconds limit);
    // finish at once, then waits for the thread to end.
    void stop();

    const LineCounters& counters() const { return counts; }
    LineCounters& counters() { return counts; }

private:
    void run();
    bool writeRecord(const WriterJob& job);

    SerialDevice& device;
    WriterClock& clock;
    RecordQueue queue;
    LineCounters counts;
    // Spacing asked for since the last record was handed over; only the caller's thread
    // touches it, and it crosses inside the next record.
    std::chrono::milliseconds nextGap{0};
    std::uint64_t submitted = 0;        // caller's thread only
    RecordObserver* observer = nullptr; // caller's copy of queue.observer
    WriterClock::TimePoint nextNotBefore{};
    WriterClock::TimePoint lastEnd{};   // writer thread only
    std::atomic<bool> finishing{false}; // a spacing under way is cut short
    std::thread thread;
};
