// Runs the real fuel-flow timer at flow 10.0 (an RTS edge every 2 ms) while the emulator does
// three kinds of work, and reports the edges beside a reference thread that sleeps to the same
// 2 ms grid in the same run:
//   simulator  the Simulator page sending its sentences once a tick;
//   playback   the File page replaying a generated file, 25 records a tick, looping;
//   stalled    the same replay into a line that takes nothing more, so that every write waits
//              for its deadline.
// The port is a pseudo-terminal opened through the program's own POSIX device; a thread reads
// its master side in the first two phases and stops reading for the third.
// For the window's thread it reports how late a repeating 10 ms precise timer fires, beside the
// same timer in an event loop that has nothing else to do.
// Usage: flow_pulse_bench [seconds_per_phase=5] [stall_seconds=seconds_per_phase]
#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

#include "BenchSupport.h"
#include "app/MainWindow.h"
#include "line/PosixSerialDevice.h"
#include "ui_MainWindow.h"

namespace {

using namespace std::chrono_literals;

// A pseudo-terminal for the emulator's port. A thread reads the master side while the line
// should flow; when it stops, the line fills and the emulator's writes wait.
class PtyLine {
public:
    PtyLine() {
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        slavePath = name;
        // Our own descriptor of the slave side takes no lock, so the emulator's exclusive
        // open still succeeds; it is only used to fill the line.
        ::fcntl(slave, F_SETFL, ::fcntl(slave, F_GETFL) | O_NONBLOCK);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~PtyLine() {
        stopReading();
        ::close(slave);
        ::close(master);
    }
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    const std::string& path() const { return slavePath; }

    void startReading() {
        if (reader.joinable())
            return;
        reading.store(true);
        reader = std::thread([this] { drain(); });
    }
    void stopReading() {
        reading.store(false);
        if (reader.joinable())
            reader.join();
    }
    // Writes until the line takes no more; the kernel moves bytes to the master side a little
    // later, so it tries again until a pause brings no more room.
    std::size_t fill() {
        char block[4096];
        std::memset(block, 'x', sizeof block);
        std::size_t total = 0;
        for (;;) {
            std::size_t round = 0;
            for (;;) {
                const ssize_t n = ::write(slave, block, sizeof block);
                if (n > 0) {
                    round += static_cast<std::size_t>(n);
                    continue;
                }
                if (n < 0 && errno == EINTR)
                    continue;
                break;
            }
            total += round;
            if (round == 0)
                return total;
            std::this_thread::sleep_for(50ms);
        }
    }

private:
    void drain() {
        char buffer[4096];
        while (reading.load()) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            while (::read(master, buffer, sizeof buffer) > 0) {
            }
        }
    }

    int master = -1;
    int slave = -1;
    std::string slavePath;
    std::atomic<bool> reading{false};
    std::thread reader;
};

// How late a repeating 10 ms precise timer fires on the thread that owns it. It was due 10 ms
// after its previous due time, or, as Qt reschedules a timer that fell a whole interval
// behind, 10 ms after it last fired.
class TimerLateness : public QObject {
public:
    TimerLateness() {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(10);
        connect(&timer, &QTimer::timeout, this, [this] { fired(); });
    }
    // On the owning thread.
    void start() {
        due = BenchClock::now() + 10ms;
        timer.start();
    }
    void stop() { timer.stop(); }
    std::vector<double> take() {
        std::vector<double> fresh;
        std::lock_guard lock(mutex);
        fresh.swap(late);
        return fresh;
    }

private:
    void fired() {
        const Stamp now = BenchClock::now();
        {
            std::lock_guard lock(mutex);
            late.push_back(milliseconds(now - due));
        }
        due += 10ms;
        if (due < now)
            due = now + 10ms;
    }

    QTimer timer{this};
    Stamp due{};
    std::mutex mutex;
    std::vector<double> late;
};

// A timer of the same kind in a thread whose event loop runs nothing else.
class IdleLoop {
public:
    IdleLoop() {
        probe = new TimerLateness;
        probe->moveToThread(&thread);
        thread.start();
        QMetaObject::invokeMethod(
            probe, [p = probe] { p->start(); }, Qt::BlockingQueuedConnection);
    }
    ~IdleLoop() {
        QMetaObject::invokeMethod(
            probe, [p = probe] { delete p; }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    }
    IdleLoop(const IdleLoop&) = delete;
    IdleLoop& operator=(const IdleLoop&) = delete;
    std::vector<double> take() { return probe->take(); }

private:
    QThread thread;
    TimerLateness* probe = nullptr;
};

// A plain event loop: QTest::qWait would sleep in 10 ms steps between events.
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

std::string withChecksum(const std::string& body) {
    unsigned sum = 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

// A route recording: RMB and RMC, which the replay sends, among sentences it only paces.
std::size_t writeRecording(const std::string& path, int groups) {
    std::ofstream out(path, std::ios::binary);
    std::size_t lines = 0;
    char body[160];
    for (int g = 0; g < groups; ++g) {
        const int h = 12 + g / 3600 % 12, m = g / 60 % 60, s = g % 60;
        const double xte = 0.01 * (g % 200);
        std::snprintf(body, sizeof body,
                      "GPRMB,A,%.2f,%c,WPT%d,WPT%d,4917.24,N,12309.57,W,%.1f,052.5,150.0,V", xte,
                      g % 2 ? 'L' : 'R', g / 100, g / 100 + 1, 20.0 - 0.001 * g);
        out << withChecksum(body);
        std::snprintf(body, sizeof body,
                      "GPGGA,%02d%02d%02d,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", h, m,
                      s);
        out << withChecksum(body);
        std::snprintf(body, sizeof body,
                      "GPRMC,%02d%02d%02d,A,4807.038,N,01131.000,E,150.0,%05.1f,230394,003.1,W", h,
                      m, s, 0.1 * (g % 3600));
        out << withChecksum(body);
        lines += 3;
        if (g % 4 == 0) {
            out << withChecksum("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1");
            out << withChecksum("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K");
            lines += 2;
        }
    }
    return lines;
}

struct Series {
    std::vector<Stamp> at;
    std::vector<double> gaps;
    double rate = 0; // edges / 2 per second
    explicit Series(std::vector<Stamp> stamps) : at(std::move(stamps)), gaps(intervalsMs(at)) {
        const double span = at.size() > 1 ? milliseconds(at.back() - at.front()) / 1000.0 : 0;
        rate = span > 0 ? static_cast<double>(at.size() - 1) / 2.0 / span : std::nan("");
    }
    long longGaps() const {
        return std::count_if(gaps.begin(), gaps.end(), [](double g) { return g > 10.0; });
    }
};

struct Phase {
    std::string name;
    double seconds = 0;
    Series pulses{{}};
    Series reference{{}};
    std::vector<double> windowLate;
    std::vector<double> idleLate;
    LineStatus before, after;
    std::uint64_t refused = 0;
};

void printPhase(const Phase& p, double nominal) {
    std::printf("\n== %s: %.2f s measured\n", p.name.c_str(), p.seconds);
    std::printf("  %-26s %12s %12s\n", "", "pulses", "reference");
    std::printf("  %-26s %12.3f %12.3f\n", "nominal rate /s", nominal, nominal);
    std::printf("  %-26s %12.3f %12.3f\n", "measured rate /s", p.pulses.rate, p.reference.rate);
    std::printf("  %-26s %+12.3f %+12.3f\n", "deviation %", 100.0 * (p.pulses.rate / nominal - 1),
                100.0 * (p.reference.rate / nominal - 1));
    std::printf("  %-26s %12zu %12zu\n", "edges / wake-ups", p.pulses.at.size(),
                p.reference.at.size());
    std::printf("  %-26s %12.3f %12.3f\n", "interval median ms", percentile(p.pulses.gaps, 0.5),
                percentile(p.reference.gaps, 0.5));
    std::printf("  %-26s %12.3f %12.3f\n", "interval p99 ms", percentile(p.pulses.gaps, 0.99),
                percentile(p.reference.gaps, 0.99));
    std::printf("  %-26s %12.3f %12.3f\n", "interval max ms", maximum(p.pulses.gaps),
                maximum(p.reference.gaps));
    std::printf("  %-26s %12ld %12ld\n", "gaps > 10 ms", p.pulses.longGaps(),
                p.reference.longGaps());
    std::printf("  %-26s %12.3f\n", "p99 ratio pulses/reference",
                percentile(p.pulses.gaps, 0.99) / percentile(p.reference.gaps, 0.99));
    std::printf("  %-26s %12s %12s\n", "10 ms timer late", "window", "idle loop");
    std::printf("  %-26s %12.3f %12.3f\n", "  p50 ms", percentile(p.windowLate, 0.5),
                percentile(p.idleLate, 0.5));
    std::printf("  %-26s %12.3f %12.3f\n", "  p99 ms", percentile(p.windowLate, 0.99),
                percentile(p.idleLate, 0.99));
    std::printf("  %-26s %12.3f %12.3f\n", "  max ms", maximum(p.windowLate), maximum(p.idleLate));
    std::printf("  %-26s %12zu %12zu\n", "  firings", p.windowLate.size(), p.idleLate.size());
    std::printf("  line: %llu bytes sent (total %llu), %llu records dropped (total %llu), "
                "load %d%%, RTS changes refused by the device %llu\n",
                static_cast<unsigned long long>(p.after.bytesSent - p.before.bytesSent),
                static_cast<unsigned long long>(p.after.bytesSent),
                static_cast<unsigned long long>(p.after.recordsDropped - p.before.recordsDropped),
                static_cast<unsigned long long>(p.after.recordsDropped), p.after.loadPercent,
                static_cast<unsigned long long>(p.refused));
}

} // namespace

int main(int argc, char* argv[]) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int stallSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : seconds;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const std::string recording = dir.filePath("route.nmea").toStdString();
    const std::size_t lines = writeRecording(recording, 2000);

    PtyLine line;
    line.startReading();
    PosixSerialDevice posix([&line](const std::string&) { return line.path(); });
    // Room for every edge of the run at 500 a second, so recording never allocates.
    const auto capacity = static_cast<std::size_t>(2 * seconds + stallSeconds + 30) * 600;
    RtsRecordingDevice device(posix, capacity);
    BenchEmulator bench(device, dir.path().toStdString());
    Emulator& emulator = bench.emulator;
    TMainWin window(emulator);
    window.show();
    Ui::TMainWin& ui = window.ui();
    // Activation rewrites the Simulator page's edits: let it come before they are set.
    for (int i = 0; i < 100 && !window.isActiveWindow(); ++i)
        runFor(10);
    if (!emulator.lineStatus().open) {
        std::fprintf(stderr, "the pseudo-terminal %s did not open\n", line.path().c_str());
        return 1;
    }

    ui.EB_Flow->setEnabled(true);
    ui.EB_Flow->setText(QLocale().toString(10.0, 'f', 1));
    ui.BTN_FlowEna->setChecked(true);
    // The check box's own handler, as a click runs it.
    QMetaObject::invokeMethod(ui.BTN_FlowEna, "clicked", Q_ARG(bool, true));
    const int period = emulator.pulses().period();
    if (!emulator.pulses().enabled()) {
        std::fprintf(stderr, "the fuel-flow timer did not start\n");
        return 1;
    }
    const double nominal = 1000.0 / (2.0 * period);

    DeadlineThread reference(std::chrono::milliseconds(period),
                             BenchClock::now() + std::chrono::milliseconds(period), capacity);
    TimerLateness windowLoop;
    windowLoop.start();
    IdleLoop idleLoop;

    std::printf("flow_pulse_bench: flow %.1f, period %d ms, nominal %.3f pulses/s; port %s on %s\n",
                static_cast<double>(emulator.fuelFlow().fuelFlow()), period, nominal,
                emulator.lineStatus().portName.c_str(), line.path().c_str());
    std::printf("phases: simulator %d s, playback %d s, stalled %d s; recording of %zu lines\n",
                seconds, seconds, stallSeconds, lines);

    std::vector<Phase> phases;
    const auto measure = [&](const char* name, int forSeconds) {
        runFor(500); // let the change settle before measuring
        (void)device.edges.take();
        (void)reference.log().take();
        (void)windowLoop.take();
        (void)idleLoop.take();
        Phase p;
        p.name = name;
        p.before = emulator.lineStatus();
        const std::uint64_t refusedBefore = device.refused.load();
        const Stamp start = BenchClock::now();
        runFor(forSeconds * 1000);
        p.seconds = milliseconds(BenchClock::now() - start) / 1000.0;
        p.pulses = Series(device.edges.take());
        p.reference = Series(reference.log().take());
        p.windowLate = windowLoop.take();
        p.idleLate = idleLoop.take();
        p.after = emulator.lineStatus();
        p.refused = device.refused.load() - refusedBefore;
        printPhase(p, nominal);
        std::fflush(stdout);
        phases.push_back(std::move(p));
    };

    // (a) The Simulator page, output running.
    if (emulator.runLoop().isPaused())
        ui.MNU_Pause->trigger();
    measure("simulator", seconds);

    // (b) The File page replaying the recording, no trigger, looping so that it never ends.
    window.openDialog() = [recording](const std::string&, int) {
        return std::optional<std::string>(recording);
    };
    ui.TAB_main->setCurrentIndex(1); // pauses the output
    ui.EDIT_trigger->setText("");
    if (!ui.CheckBoxLoop->isChecked())
        ui.CheckBoxLoop->click();
    ui.BTN_OpenFile->click();
    if (emulator.runLoop().isPaused())
        ui.MNU_Pause->trigger();
    if (!emulator.replay().isOpen() || emulator.runLoop().isPaused() ||
        !emulator.replay().loops()) {
        std::fprintf(stderr, "the replay did not start (open %d, paused %d, loop %d)\n",
                     emulator.replay().isOpen(), emulator.runLoop().isPaused(),
                     emulator.replay().loops());
        return 1;
    }
    std::printf("\nreplay: %d records per tick, tick %d ms, trigger \"%s\"\n",
                ui.UpDown_lps->position(),
                static_cast<int>(emulator.runLoop().periodSeconds() * 1000),
                ui.EDIT_trigger->text().toStdString().c_str());
    measure("playback", seconds);

    // (c) The same replay into a line nobody reads any more.
    line.stopReading();
    const std::size_t filled = line.fill();
    std::printf("\nline stalled: the master side is no longer read; %zu more bytes filled it\n",
                filled);
    measure("stalled", stallSeconds);

    line.startReading(); // so that the writer's waiting write ends at once
    std::printf("\n== summary (pulses beside reference)\n");
    std::printf("%-10s %8s %9s %9s %9s %9s %9s %9s %7s %10s %10s\n", "phase", "rate/s", "dev %",
                "p50 ms", "p99 ms", "ref p99", "max ms", "ref max", "ratio", "gaps>10ms",
                "win p99");
    for (const Phase& p : phases)
        std::printf("%-10s %8.3f %+9.3f %9.3f %9.3f %9.3f %9.3f %9.3f %7.3f %5ld/%-4ld %10.3f\n",
                    p.name.c_str(), p.pulses.rate, 100.0 * (p.pulses.rate / nominal - 1),
                    percentile(p.pulses.gaps, 0.5), percentile(p.pulses.gaps, 0.99),
                    percentile(p.reference.gaps, 0.99), maximum(p.pulses.gaps),
                    maximum(p.reference.gaps),
                    percentile(p.pulses.gaps, 0.99) / percentile(p.reference.gaps, 0.99),
                    p.pulses.longGaps(), p.reference.longGaps(), percentile(p.windowLate, 0.99));

    ui.BTN_FlowEna->setChecked(false);
    QMetaObject::invokeMethod(ui.BTN_FlowEna, "clicked", Q_ARG(bool, false));
    windowLoop.stop();
    window.close(); // stops the tick and closes the port, as the program does on exit
    return 0;
}
