// Runs the real main window's output tick for a number of ticks and reports how steady it is,
// beside a reference thread that sleeps to the same ideal deadlines with clock_nanosleep:
//  - the tick-to-tick periods (min, median, p99, max, standard deviation);
//  - each tick's offset from its ideal time, first deadline + k * period, and the offset of the
//    last tick (the accumulated drift);
//  - the drift rate: the slope of a least-squares line through the offsets, in ms per tick,
//    and that slope taken to one hour, each with its standard error.
// A tick is a Timer1 shot after which the emulator's next deadline has moved on. Its time is
// taken twice: when the window's handler has returned, and when the tick's first record
// reaches the device on the line writer's thread.
//
// Scaling down: an hour at 1 s is 3600 ticks; even 600 take 10 minutes. The deadlines sit on a
// fixed grid, so a late tick does not move the next one, and offsets only add up if the
// schedule runs at the wrong rate. A rate error shows as a slope of offset against tick number,
// which N ticks measure well enough: its standard error falls as N^-1.5. The per-hour figure is
// that slope times the ticks in an hour; it is an extrapolation of a rate, not an observation.
// What a short run cannot show: rare stalls it happens to miss (the worst offset of a long
// run), and the monotonic clock against civil time, since the ticks and the reference both
// run on CLOCK_MONOTONIC.
// The period is given to the engine's run loop as asked, fractions of a second included.
// Usage: tick_period_bench [ticks=30] [period_ms=1000]
#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BenchSupport.h"
#include "app/MainWindow.h"

namespace {

struct Fit {
    double slope = 0, slopeError = 0; // ms per tick
};

// Least squares through (k, offset).
Fit fitLine(const std::vector<double>& k, const std::vector<double>& y) {
    const double n = static_cast<double>(k.size());
    if (k.size() < 3)
        return {std::nan(""), std::nan("")};
    double mk = 0, my = 0;
    for (std::size_t i = 0; i < k.size(); ++i) {
        mk += k[i];
        my += y[i];
    }
    mk /= n;
    my /= n;
    double sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < k.size(); ++i) {
        sxx += (k[i] - mk) * (k[i] - mk);
        sxy += (k[i] - mk) * (y[i] - my);
    }
    Fit f;
    f.slope = sxy / sxx;
    double ssr = 0;
    for (std::size_t i = 0; i < k.size(); ++i) {
        const double r = y[i] - my - f.slope * (k[i] - mk);
        ssr += r * r;
    }
    f.slopeError = std::sqrt(ssr / (n - 2) / sxx);
    return f;
}

// One way of timing the ticks, set against the ideal grid.
struct Column {
    std::vector<double> periods; // ms between consecutive ticks
    std::vector<double> index;   // grid index of each tick
    std::vector<double> offsets; // ms after its ideal time
    Fit fit;

    Column(const std::vector<Stamp>& at, Stamp first, double periodMs, std::size_t ticks) {
        for (const Stamp t : at) {
            const double since = milliseconds(t - first);
            // The nearest deadline: a skipped one would otherwise shift every later offset.
            const double k = std::max(0.0, std::round(since / periodMs));
            if (index.size() == ticks)
                break;
            index.push_back(k);
            offsets.push_back(since - k * periodMs);
        }
        for (std::size_t i = 1; i < index.size(); ++i)
            periods.push_back(periodMs * (index[i] - index[i - 1]) + offsets[i] - offsets[i - 1]);
        fit = fitLine(index, offsets);
    }
    double deviation() const {
        if (periods.size() < 2)
            return std::nan("");
        double m = 0, s = 0;
        for (double p : periods)
            m += p;
        m /= static_cast<double>(periods.size());
        for (double p : periods)
            s += (p - m) * (p - m);
        return std::sqrt(s / static_cast<double>(periods.size() - 1));
    }
};

// The first write of each tick: writes closer than half a period to the one before belong to
// the same tick.
std::vector<Stamp> firstWrites(const std::vector<Stamp>& writes, double periodMs) {
    std::vector<Stamp> out;
    for (std::size_t i = 0; i < writes.size(); ++i)
        if (i == 0 || milliseconds(writes[i] - writes[i - 1]) > periodMs / 2)
            out.push_back(writes[i]);
    return out;
}

void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char* argv[]) {
    const int ticks = argc > 1 ? std::max(3, std::atoi(argv[1])) : 30;
    const int periodMsAsked = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 100000) : 1000;
    const double periodMs = periodMsAsked;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir config;
    SinkDevice device;
    BenchEmulator bench(device, config.path().toStdString());
    Emulator& emulator = bench.emulator;
    TMainWin window(emulator);
    window.show();
    for (int i = 0; i < 100 && !window.isActiveWindow(); ++i)
        runFor(10);
    // The new period counts from the next tick's deadline on.
    emulator.runLoop().setPeriod(periodMs / 1000.0);
    const Stamp first = emulator.runLoop().nextTick();
    DeadlineThread reference(std::chrono::milliseconds(periodMsAsked), first);

    std::vector<Stamp> handled;
    handled.reserve(static_cast<std::size_t>(ticks));
    Stamp seen = first;
    // Connected after the window's own handler, so it runs once the tick has been served.
    QObject::connect(&window.timer1(), &QTimer::timeout, &window, [&] {
        const Stamp now = BenchClock::now();
        const Stamp next = emulator.runLoop().nextTick();
        if (next == seen)
            return; // an early shot, aimed again
        seen = next;
        handled.push_back(now);
        if (static_cast<int>(handled.size()) == ticks)
            QTimer::singleShot(300, &app, &QCoreApplication::quit); // the last record's write
    });
    std::printf("tick_period_bench: %d ticks, period %d ms; about %.0f s\n", ticks, periodMsAsked,
                ticks * periodMs / 1000.0);
    std::fflush(stdout);
    app.exec();
    window.timer1().stop();

    const auto n = static_cast<std::size_t>(ticks);
    const Column tick(handled, first, periodMs, n);
    const Column wire(firstWrites(device.writes.take(), periodMs), first, periodMs, n);
    const Column ref(reference.log().take(), first, periodMs, n);
    const Column* columns[] = {&tick, &wire, &ref};

    std::printf("\n%-34s %14s %14s %14s\n", "", "tick handled", "first record", "reference");
    const auto row = [&](const char* label, auto figure) {
        std::printf("%-34s", label);
        for (const Column* c : columns)
            std::printf(" %14.3f", figure(*c));
        std::printf("\n");
    };
    row("ticks seen", [](const Column& c) { return static_cast<double>(c.offsets.size()); });
    row("tick-to-tick min ms", [](const Column& c) {
        return c.periods.empty() ? std::nan("")
                                 : *std::min_element(c.periods.begin(), c.periods.end());
    });
    row("tick-to-tick median ms", [](const Column& c) { return percentile(c.periods, 0.5); });
    row("tick-to-tick p99 ms", [](const Column& c) { return percentile(c.periods, 0.99); });
    row("tick-to-tick max ms", [](const Column& c) { return maximum(c.periods); });
    row("tick-to-tick std dev ms", [](const Column& c) { return c.deviation(); });
    row("offset from ideal median ms", [](const Column& c) { return percentile(c.offsets, 0.5); });
    row("offset from ideal p99 ms", [](const Column& c) { return percentile(c.offsets, 0.99); });
    row("offset from ideal max ms", [](const Column& c) { return maximum(c.offsets); });
    row("last tick offset (drift) ms",
        [](const Column& c) { return c.offsets.empty() ? std::nan("") : c.offsets.back(); });
    row("drift slope ms/tick", [](const Column& c) { return c.fit.slope; });
    row("  standard error ms/tick", [](const Column& c) { return c.fit.slopeError; });
    const double perHour = 3600.0 * 1000.0 / periodMs;
    row("slope x ticks/hour ms", [&](const Column& c) { return c.fit.slope * perHour; });
    row("  standard error ms", [&](const Column& c) { return c.fit.slopeError * perHour; });
    std::printf("(ideal tick k = first deadline + k * %d ms; %.0f ticks in an hour; the emulator's "
                "period at the end: %.3f ms)\n",
                periodMsAsked, perHour, emulator.runLoop().periodSeconds() * 1000.0);
    window.close();
    return 0;
}
