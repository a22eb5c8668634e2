// Live time on the UTC grid: how soon after its grid point (a whole second, or a multiple of a
// shorter period) each tick's record starts to leave, beside a thread in the same run that
// sleeps to absolute CLOCK_REALTIME deadlines with clock_nanosleep(TIMER_ABSTIME) and stamps
// its wake-ups. The reference sleeps to the half-periods between the ticks, so the two never
// wake together on a machine with few cores. The records go to a device that stamps each
// write on CLOCK_REALTIME and checks that the record's time field is the grid point it left
// after. The emulator is driven as tarrow-cli drives it: serve, then sleep to the deadline
// it returns on CLOCK_MONOTONIC.
// Usage: live_time_bench [ticks=60] [period_ms=1000]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "BenchSupport.h"

namespace {

using Utc = std::chrono::system_clock;

// Milliseconds past the last multiple of `period` (plus `phase`) since the epoch.
double pastGrid(Utc::time_point t, std::chrono::nanoseconds period,
                std::chrono::nanoseconds phase) {
    const auto ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()) - phase;
    return static_cast<double>((ns % period).count()) / 1e6;
}

std::string hhmmss(Utc::time_point t) {
    const std::time_t s = Utc::to_time_t(t);
    std::tm tm{};
    gmtime_r(&s, &tm);
    char b[32];
    std::snprintf(b, sizeof b, "%02d%02d%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    return b;
}

class StampingDevice : public SinkDevice {
public:
    explicit StampingDevice(std::chrono::nanoseconds p) : period(p) {}
    bool write(PortHandle h, const std::uint8_t* data, std::size_t count) override {
        const Utc::time_point now = Utc::now();
        const std::string text(reinterpret_cast<const char*>(data), count);
        if (text.starts_with("$GPRMC,")) {
            std::lock_guard lock(mutex);
            offsets.push_back(pastGrid(now, period, {}));
            // The record belongs to the grid point it left after.
            const auto grid =
                now - std::chrono::duration_cast<Utc::duration>(
                          std::chrono::nanoseconds(static_cast<long long>(offsets.back() * 1e6)));
            const auto cs =
                std::chrono::duration_cast<std::chrono::milliseconds>(grid.time_since_epoch())
                    .count() %
                1000 / 10;
            char fraction[8];
            std::snprintf(fraction, sizeof fraction, ".%02d", static_cast<int>(cs));
            if (text.substr(7, 9) != hhmmss(grid) + fraction)
                ++wrongTime;
        }
        return SinkDevice::write(h, data, count);
    }
    std::mutex mutex;
    std::vector<double> offsets;
    int wrongTime = 0;

private:
    std::chrono::nanoseconds period;
};

void sleepMonotonic(Stamp until) {
    const auto ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(until.time_since_epoch()).count();
    timespec at{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) != 0) {
    }
}

void report(const char* what, const std::vector<double>& v) {
    std::printf("%-34s n=%zu p50 %.3f ms  p90 %.3f ms  p99 %.3f ms  max %.3f ms\n", what, v.size(),
                percentile(v, 0.5), percentile(v, 0.9), percentile(v, 0.99), maximum(v));
}

} // namespace

int main(int argc, char* argv[]) {
    const int ticks = argc > 1 ? std::max(5, std::atoi(argv[1])) : 60;
    const int periodMs = argc > 2 ? std::clamp(std::atoi(argv[2]), 10, 10000) : 1000;
    const std::chrono::nanoseconds period = std::chrono::milliseconds(periodMs);
    std::string dirTemplate =
        (std::filesystem::temp_directory_path() / "tarrow-livetime-XXXXXX").string();
    if (!mkdtemp(dirTemplate.data())) {
        std::fprintf(stderr, "live_time_bench: cannot make a directory under %s\n",
                     std::filesystem::temp_directory_path().c_str());
        return 1;
    }
    StampingDevice device(period);
    {
        BenchEmulator bench(device, dirTemplate);
        Emulator& e = bench.emulator;
        e.start();
        e.simulator().setCourse(false);
        e.simulator().setHeading(true);
        e.runLoop().setPeriod(static_cast<double>(periodMs) / 1000.0);
        FaultSettings live;
        live.liveTime = true;
        e.setFaults(live);

        std::vector<double> reference;
        reference.reserve(static_cast<std::size_t>(ticks) + 8);
        std::atomic<bool> stop{false};
        std::thread baseline([&] {
            const auto half = period / 2;
            auto next = Utc::now() -
                        std::chrono::duration_cast<Utc::duration>(std::chrono::nanoseconds(
                            static_cast<long long>(pastGrid(Utc::now(), period, half) * 1e6))) +
                        period;
            while (!stop.load()) {
                const auto ns =
                    std::chrono::duration_cast<std::chrono::nanoseconds>(next.time_since_epoch())
                        .count();
                timespec at{static_cast<time_t>(ns / 1'000'000'000),
                            static_cast<long>(ns % 1'000'000'000)};
                while (clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &at, nullptr) != 0) {
                }
                reference.push_back(pastGrid(Utc::now(), period, half));
                next += period;
            }
        });
        while (e.runLoop().ticksServed() < static_cast<std::uint64_t>(ticks) + 1)
            sleepMonotonic(e.serve(BenchClock::now()));
        stop.store(true);
        baseline.join();
        e.shutdown();

        std::lock_guard lock(device.mutex);
        std::vector<double> offsets(device.offsets.begin() + 1, device.offsets.end());
        std::printf("live_time_bench: %d ticks of %d ms, departure after the UTC grid point\n",
                    ticks, periodMs);
        report("tarrow (record's write begins)", offsets);
        report("clock_nanosleep(REALTIME, ABSTIME)", reference);
        std::printf("ratio of p99: %.2f; records whose time field is not their grid point: %d\n",
                    percentile(offsets, 0.99) / percentile(reference, 0.99), device.wrongTime);
    }
    std::filesystem::remove_all(dirTemplate);
    return 0;
}
