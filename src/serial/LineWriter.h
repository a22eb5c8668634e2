#pragma once
#include <chrono>
#include <functional>
#include <thread>

#include "serial/Handover.h"
#include "serial/RecordSink.h"

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
// changes, closes) run on the same thread, in their place among the records.
class LineWriter : public RecordSink {
public:
    static constexpr std::size_t Capacity = 256; // records waiting; more are dropped

    explicit LineWriter(SerialDevice& device, WriterClock* clock = nullptr);
    ~LineWriter() override;
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    bool submit(PortHandle port, std::string bytes) override;
    void wait10ms() override;
    // Runs `command` on the writer's thread after everything handed over before it.
    void post(std::function<void()> command);
    // Returns once everything handed over so far has been done.
    void flush();
    // From now on records are dropped (counted) instead of written; commands still run. The
    // write under way finishes within its deadline.
    void requestStop();
    // requestStop, then waits for the thread to end.
    void stop();

    const LineCounters& counters() const { return counts; }
    LineCounters& counters() { return counts; }

private:
    void run();
    void writeRecord(const WriterJob& job);

    SerialDevice& device;
    WriterClock& clock;
    RecordQueue queue;
    LineCounters counts;
    // Spacing asked for since the last record was handed over; only the caller's thread
    // touches it, and it crosses inside the next record.
    std::chrono::milliseconds nextGap{0};
    WriterClock::TimePoint lastEnd{}; // writer thread only
    std::thread thread;
};
