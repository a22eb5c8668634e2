// Replays a large generated NMEA file through the playback engine, at full speed, and reports
// the process's resident memory as it goes: it should stay flat whatever the file's size.
// Usage: replay_memory_bench [megabytes=100]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "BenchSupport.h"

namespace {
// Takes every record at once and keeps no spacing: the replay runs at full speed, and what
// is measured is the replay's own memory, not a queue in front of a slow line.
class CountingSink : public RecordSink {
public:
    bool submit(PortHandle, std::string bytes) override {
        bytesWritten += bytes.size();
        return true;
    }
    void wait10ms() override {}
    std::size_t bytesWritten = 0;
};

class BenchTerminal : public TerminalView {
public:
    int lineCount() const override { return lines; }
    void removeFirstLine() override { --lines; }
    void appendLine(std::string_view) override { ++lines; }
    void clearLines() override { lines = 0; }
    int lines = 0;
};

long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}
} // namespace

int main(int argc, char* argv[]) {
    const long megabytes = argc > 1 ? std::max(1L, std::atol(argv[1])) : 100;
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("tarrow-replay-" + std::to_string(getpid()));
    {
        std::ofstream out(path, std::ios::binary);
        const std::string group =
            "$GPRMB,A,0.66,L,WPT1,DST,4917.24,N,12309.57,W,1.4,052.5,150.0,V*00\r\n"
            "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
            "$GPRMC,123519,A,4807.038,N,01131.000,E,150.0,084.4,230394,003.1,W*6A\r\n";
        for (long written = 0; written < megabytes * 1024 * 1024;
             written += static_cast<long>(group.size()))
            out << group;
    }
    // The replay and its transmitter as the engine wires them, on a sink rather than the writer.
    SinkDevice line;
    LineWriter writer(line);
    SerialLink link(line, writer);
    FileSettingsStore settings("");
    SilentBoxes boxes;
    Port port(link, settings, boxes);
    Simulator simulator(port);
    CountingSink device;
    BenchTerminal terminal;
    TerminalLog log{&terminal, 12, 42};
    Transmitter transmitter(simulator.values(), link, device, log);
    Replay engine(simulator, transmitter);
    link.UsePort(3);
    engine.setRecordsPerTick(100);
    if (!engine.open(path.string()).ok) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return 1;
    }
    const long before = residentKiB();
    long peak = before;
    long ticks = 0;
    while (engine.isOpen()) {
        engine.PlaybackTick();
        if (++ticks % 100000 == 0) {
            peak = std::max(peak, residentKiB());
            std::printf("tick %ld: %zu MB sent, resident %ld KiB\n", ticks,
                        device.bytesWritten >> 20, residentKiB());
        }
    }
    peak = std::max(peak, residentKiB());
    std::filesystem::remove(path);
    std::printf("file %ld MB, %ld ticks, %zu bytes sent; resident before %ld KiB, peak %ld KiB\n",
                megabytes, ticks, device.bytesWritten, before, peak);
    return 0;
}
