#include "line/LineWriter.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <utility>

#include "line/SerialDevice.h"

namespace {
class SteadyWriterClock : public WriterClock {
public:
    TimePoint now() override { return std::chrono::steady_clock::now(); }
    // An absolute sleep, so that a wake-up is as close to `t` as the kernel makes it.
    void sleepUntil(TimePoint t) override {
        const auto ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
        const timespec at{static_cast<time_t>(ns / 1'000'000'000),
                          static_cast<long>(ns % 1'000'000'000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
        }
    }
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
    job.notBefore = std::exchange(nextNotBefore, {});
    // The spacing belongs to this record, whatever becomes of it: it never moves on to the next.
    nextGap = std::chrono::milliseconds{0};
    job.sequence = ++submitted;
    if (observer)
        observer->handedOver(job.sequence, job.bytes);
    {
        std::lock_guard lock(queue.mutex);
        if (queue.stopping || queue.queuedRecords >= Capacity) {
            counts.recordsDropped.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        queue.jobs.push_back(std::move(job));
        ++queue.queuedRecords;
    }
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

bool LineWriter::recordsWaiting() {
    std::lock_guard lock(queue.mutex);
    return queue.queuedRecords > 0 || queue.writing;
}

void LineWriter::onDrained(std::function<void()> callback) {
    std::lock_guard lock(queue.mutex);
    queue.drained = std::move(callback);
}

void LineWriter::observe(RecordObserver* o) {
    std::lock_guard lock(queue.mutex);
    queue.observer = o;
    observer = o;
}

void LineWriter::flush() {
    std::unique_lock lock(queue.mutex);
    queue.changed.wait(lock, [this] { return queue.jobs.empty() && !queue.busy; });
}

std::uint64_t LineWriter::finish(std::chrono::milliseconds limit) {
    std::unique_lock lock(queue.mutex);
    queue.changed.wait_for(lock, limit, [this] { return queue.jobs.empty() && !queue.busy; });
    queue.stopping = true;
    finishing.store(true);
    const bool interrupt = queue.writing;
    lock.unlock();
    queue.changed.notify_all();
    if (interrupt)
        device.interrupt();
    lock.lock();
    queue.changed.wait(lock, [this] { return queue.jobs.empty() && !queue.busy; });
    return queue.droppedAtStop;
}

void LineWriter::stop() {
    finish(std::chrono::milliseconds{0});
    {
        std::lock_guard lock(queue.mutex);
        queue.drained = nullptr;
        queue.ending = true;
    }
    queue.changed.notify_all();
    if (thread.joinable())
        thread.join();
}

void LineWriter::run() {
    std::unique_lock lock(queue.mutex);
    for (;;) {
        queue.changed.wait(lock, [this] { return !queue.jobs.empty() || queue.ending; });
        if (queue.jobs.empty())
            return; // ended, and nothing left to do
        WriterJob job = std::move(queue.jobs.front());
        queue.jobs.pop_front();
        const bool record = job.kind == WriterJob::Kind::Record;
        const bool drop = record && queue.stopping;
        if (record)
            --queue.queuedRecords;
        queue.writing = record && !drop;
        queue.busy = true;
        lock.unlock();
        bool lost = drop;
        if (drop)
            counts.recordsDropped.fetch_add(1, std::memory_order_relaxed);
        else if (record)
            lost = !writeRecord(job);
        else
            job.command();
        lock.lock();
        if (record && queue.observer)
            queue.observer->left(job.sequence, job.bytes, !lost);
        if (lost && queue.stopping)
            ++queue.droppedAtStop;
        queue.busy = false;
        queue.writing = false;
        if (record && queue.queuedRecords == 0 && queue.drained)
            queue.drained();
        queue.changed.notify_all();
    }
}

bool LineWriter::writeRecord(const WriterJob& job) {
    if (job.gapBefore.count() > 0) {
        // In short steps, so that the end of the program does not wait for a long spacing.
        const auto earliest = lastEnd + job.gapBefore;
        for (auto now = clock.now(); now < earliest && !finishing.load(); now = clock.now())
            clock.sleepUntil(std::min(earliest, now + std::chrono::milliseconds{50}));
    }
    for (auto now = clock.now(); now < job.notBefore && !finishing.load(); now = clock.now())
        clock.sleepUntil(std::min(job.notBefore, now + std::chrono::milliseconds{50}));
    const bool ok = device.write(job.port, reinterpret_cast<const std::uint8_t*>(job.bytes.data()),
                                 job.bytes.size());
    lastEnd = clock.now();
    if (ok) {
        counts.bytesSent.fetch_add(job.bytes.size(), std::memory_order_relaxed);
        counts.recordsSent.fetch_add(1, std::memory_order_relaxed);
    } else {
        counts.recordsDropped.fetch_add(1, std::memory_order_relaxed);
    }
    return ok;
}
