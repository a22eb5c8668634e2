// Runs the real main window's output timer for a number of ticks and reports how steady it is:
// the distribution of tick-to-tick periods and the drift of the last tick from its ideal time.
// Usage: tick_period_bench [ticks=30] [period_ms=1000]
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BenchSupport.h"
#include "app/AppServices.h"
#include "app/MainWindow.h"
#include "app/MessageBoxSeam.h"
#include "app/SettingsStore.h"
#include "emulator/EmulatorState.h"
#include "serial/SerialLink.h"

int main(int argc, char* argv[]) {
    const int ticks = argc > 1 ? std::max(2, std::atoi(argv[1])) : 30;
    const int periodMs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir config;
    BenchServices bench(config.path().toStdString());
    TMainWin window(bench.services);
    window.show();
    window.FormActivate();
    window.timer1().setInterval(periodMs);
    window.timer1().start();

    QElapsedTimer clock;
    std::vector<double> at; // ms since start, one per tick
    clock.start();
    QObject::connect(&window.timer1(), &QTimer::timeout, [&] {
        at.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (static_cast<int>(at.size()) == ticks)
            app.quit();
    });
    app.exec();

    std::vector<double> periods;
    for (std::size_t i = 1; i < at.size(); ++i)
        periods.push_back(at[i] - at[i - 1]);
    const double drift = at.back() - static_cast<double>(ticks) * periodMs;
    std::printf("ticks %d, period %d ms\n", ticks, periodMs);
    std::printf("tick-to-tick ms: min %.3f  median %.3f  p99 %.3f  max %.3f\n",
                *std::min_element(periods.begin(), periods.end()), percentile(periods, 0.5),
                percentile(periods, 0.99), *std::max_element(periods.begin(), periods.end()));
    std::printf("last tick at %.3f ms, ideal %d ms, accumulated drift %+.3f ms\n", at.back(),
                ticks * periodMs, drift);
    return 0;
}
