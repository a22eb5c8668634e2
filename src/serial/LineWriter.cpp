#include "serial/LineWriter.h"

#include "serial/SerialDevice.h"

namespace {
class SteadyWriterClock : public WriterClock {
public:
    TimePoint now() override { return std::chrono::steady_clock::now(); }
    void sleepUntil(TimePoint t) override { std::this_thread::sleep_until(t); }
};

SteadyWriterClock steadyClock;
} // namespace

LineWriter::LineWriter(SerialDevice& d, WriterClock* c)
    : device(d), clock(c ? *c : steadyClock), thread([this] { run(); }) {}

LineWriter::~LineWriter() { stop(); }

bool LineWriter::submit(PortHandle port, std::string bytes) {
    WriterJob job;
    job.port = port;
    job.bytes = std::move(bytes);
    job.gapBefore = nextGap;
    {
        std::lock_guard lock(queue.mutex);
        if (queue.stopping || queue.queuedRecords >= Capacity) {
            counts.recordsDropped.fetch_add(1, std::memory_order_relaxed);
            return false; // the spacing stays for the record that comes next
        }
        queue.jobs.push_back(std::move(job));
        ++queue.queuedRecords;
    }
    nextGap = std::chrono::milliseconds{0};
    queue.changed.notify_all();
    return true;
}

void LineWriter::wait10ms() { nextGap += std::chrono::milliseconds{10}; }

void LineWriter::post(std::function<void()> command) {
    WriterJob job;
    job.kind = WriterJob::Kind::Command;
    job.command = std::move(command);
    {
        std::lock_guard lock(queue.mutex);
        queue.jobs.push_back(std::move(job));
    }
    queue.changed.notify_all();
}

void LineWriter::flush() {
    std::unique_lock lock(queue.mutex);
    queue.changed.wait(lock, [this] { return queue.jobs.empty() && !queue.busy; });
}

void LineWriter::requestStop() {
    {
        std::lock_guard lock(queue.mutex);
        queue.stopping = true;
    }
    queue.changed.notify_all();
}

void LineWriter::stop() {
    requestStop();
    if (thread.joinable())
        thread.join();
}

void LineWriter::run() {
    std::unique_lock lock(queue.mutex);
    for (;;) {
        queue.changed.wait(lock, [this] { return !queue.jobs.empty() || queue.stopping; });
        if (queue.jobs.empty())
            return; // stopping, and nothing left to do
        WriterJob job = std::move(queue.jobs.front());
        queue.jobs.pop_front();
        const bool record = job.kind == WriterJob::Kind::Record;
        if (record)
            --queue.queuedRecords;
        const bool drop = record && queue.stopping;
        queue.busy = true;
        lock.unlock();
        if (drop)
            counts.recordsDropped.fetch_add(1, std::memory_order_relaxed);
        else if (record)
            writeRecord(job);
        else
            job.command();
        lock.lock();
        queue.busy = false;
        queue.changed.notify_all();
    }
}

void LineWriter::writeRecord(const WriterJob& job) {
    if (job.gapBefore.count() > 0) {
        const auto earliest = lastEnd + job.gapBefore;
        if (clock.now() < earliest)
            clock.sleepUntil(earliest);
    }
    const bool ok = device.write(job.port, reinterpret_cast<const std::uint8_t*>(job.bytes.data()),
                                 job.bytes.size());
    lastEnd = clock.now();
    if (ok) {
        counts.bytesSent.fetch_add(job.bytes.size(), std::memory_order_relaxed);
        counts.recordsSent.fetch_add(1, std::memory_order_relaxed);
    } else {
        counts.recordsDropped.fetch_add(1, std::memory_order_relaxed);
    }
}
