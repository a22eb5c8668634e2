// A replay that outruns its line: 25 records a tick, one tick a second, on a line that carries
// 480 bytes a second (4800 baud, ten bits a byte). The line is a device whose every write takes
// as long as the bytes take at that rate, as a UART without a buffer would. Reports what the
// line carried against what it can carry, the records delivered a second, the records dropped,
// whether they arrived in the file's order, and how far the ticks stretched.
// Usage: line_overload_bench [seconds=30] [bytes_per_second=480] [records_per_tick=25]
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

#include "BenchSupport.h"

namespace {

class PacedDevice : public SerialDevice {
public:
    explicit PacedDevice(double rate) : bytesPerSecond(rate) {}
    PortHandle open(const std::string&) override { return 3; }
    bool getLineState(PortHandle, LineState& out) override {
        out.baudRate = 4800;
        return true;
    }
    bool setLineState(PortHandle, const LineState&) override { return true; }
    bool getTimeouts(PortHandle, Timeouts&) override { return true; }
    bool setTimeouts(PortHandle, const Timeouts&) override { return true; }
    bool lineControl(PortHandle, LineControl) override { return true; }
    bool close(PortHandle) override { return true; }
    void interrupt() override { cut.store(true); }
    bool write(PortHandle, const std::uint8_t* data, std::size_t count) override {
        if (cut.load())
            return false;
        std::this_thread::sleep_for(
            std::chrono::duration<double>(static_cast<double>(count) / bytesPerSecond));
        std::lock_guard lock(mutex);
        received.append(reinterpret_cast<const char*>(data), count);
        return true;
    }
    std::string take() {
        std::lock_guard lock(mutex);
        return received;
    }

private:
    double bytesPerSecond;
    std::atomic<bool> cut{false};
    std::mutex mutex;
    std::string received;
};

} // namespace

int main(int argc, char* argv[]) {
    const double seconds = argc > 1 ? std::max(5.0, std::atof(argv[1])) : 30.0;
    const double rate = argc > 2 ? std::max(10.0, std::atof(argv[2])) : 480.0;
    const int perTick = argc > 3 ? std::clamp(std::atoi(argv[3]), 1, 100) : 25;
    std::string dirTemplate =
        (std::filesystem::temp_directory_path() / "tarrow-overload-XXXXXX").string();
    if (::mkdtemp(dirTemplate.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path dir = dirTemplate;
    const std::filesystem::path file = dir / "route.nmea";
    {
        // Numbered sentences, so that a hole or a swap shows in what the line carried.
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < 100000; ++i)
            out << "$GPRMB,A,0.66,L,WPT1,DST,4917.24,N,12309.57,W," << i
                << ",052.5,150.0,V*00\r\n";
    }
    PacedDevice device(rate);
    BenchEmulator bench(device, dir);
    Emulator& e = bench.emulator;
    std::mutex mutex;
    std::condition_variable woken;
    bool wake = false;
    e.onWake([&] {
        std::lock_guard lock(mutex);
        wake = true;
        woken.notify_all();
    });
    e.start();
    e.runLoop().showPage(Page::File);
    e.replay().setTrigger("");
    e.replay().setRecordsPerTick(perTick);
    e.replay().open(file.string());
    const Stamp start = BenchClock::now();
    const Stamp end = start + std::chrono::duration_cast<BenchClock::duration>(
                                  std::chrono::duration<double>(seconds));
    std::printf("line_overload_bench: %.0f s, line %.0f bytes/s, %d records a tick, period 1 s\n",
                seconds, rate, perTick);
    std::fflush(stdout);
    for (Stamp now = start; now < end; now = BenchClock::now()) {
        const Stamp next = std::min(e.serve(now), end);
        std::unique_lock lock(mutex);
        woken.wait_until(lock, next, [&] { return wake; });
        wake = false;
    }
    const double elapsed = milliseconds(BenchClock::now() - start) / 1000.0;
    const std::uint64_t ticks = e.runLoop().ticksServed();
    const std::uint64_t droppedAtEnd = e.shutdown();
    const std::string wire = device.take();

    std::size_t records = 0, outOfOrder = 0;
    long expected = 0;
    for (std::size_t at = 0; (at = wire.find("W,", at)) != std::string::npos; at += 2) {
        const long n = std::strtol(wire.c_str() + at + 2, nullptr, 10);
        outOfOrder += n != expected;
        expected = n + 1;
        ++records;
    }
    const auto& counts = e.writer().counters();
    std::printf("%-40s %12.1f\n", "line capacity bytes/s", rate);
    std::printf("%-40s %12.1f\n", "carried bytes/s", static_cast<double>(wire.size()) / elapsed);
    std::printf("%-40s %12.1f %%\n", "line used",
                100.0 * static_cast<double>(wire.size()) / elapsed / rate);
    std::printf("%-40s %12.2f\n", "records delivered a second",
                static_cast<double>(records) / elapsed);
    std::printf("%-40s %12.2f\n", "records offered a second", static_cast<double>(perTick));
    std::printf("%-40s %12zu\n", "records delivered", records);
    std::printf("%-40s %12llu\n", "records dropped while running",
                static_cast<unsigned long long>(counts.recordsDropped.load() - droppedAtEnd));
    std::printf("%-40s %12llu\n", "records still waiting at the end, dropped",
                static_cast<unsigned long long>(droppedAtEnd));
    std::printf("%-40s %12zu\n", "holes or swaps in the file's order", outOfOrder);
    std::printf("%-40s %12llu (%.2f s each)\n", "ticks served",
                static_cast<unsigned long long>(ticks), elapsed / static_cast<double>(ticks));
    std::filesystem::remove_all(dir);
    return 0;
}
