// Runs the real FlowTimer of the main window at several flow values against a recording serial
// device and reports, for each, the nominal and measured pulse rate and the spread of the
// edge-to-edge intervals. Usage: flow_pulse_bench [seconds_per_flow=3]
#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "BenchSupport.h"
#include "app/AppServices.h"
#include "app/MainWindow.h"
#include "app/SettingsStore.h"
#include "emulator/FuelFlow.h"
#include "serial/SerialLink.h"
#include "ui_MainWindow.h"

int main(int argc, char* argv[]) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir config;
    BenchServices bench(config.path().toStdString());
    SinkDevice& device = bench.device;
    TMainWin window(bench.services);
    window.show();
    window.FormActivate();
    window.ui().MNU_Pause->trigger(); // records off; the pulses do not care

    std::printf("%-6s %-9s %-14s %-14s %-10s %-10s %-10s\n", "flow", "period", "nominal/s",
                "measured/s", "median ms", "p99 ms", "max ms");
    for (const char* flow : {"10.0", "5.0", "2.0", "1.0", "0.1"}) {
        window.ui().EB_Flow->setEnabled(true);
        window.ui().EB_Flow->setText(flow);
        window.ui().BTN_FlowEna->setChecked(true);
        device.edges.clear();
        // The check box's own handler, as a click runs it.
        QMetaObject::invokeMethod(window.ui().BTN_FlowEna, "clicked", Q_ARG(bool, true));
        // A plain event loop: QTest::qWait would sleep in 10 ms steps between events.
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        window.ui().BTN_FlowEna->setChecked(false);
        QMetaObject::invokeMethod(window.ui().BTN_FlowEna, "clicked", Q_ARG(bool, false));
        const int period = window.flowTimer().interval();
        std::vector<double> gaps;
        for (std::size_t i = 1; i < device.edges.size(); ++i)
            gaps.push_back(
                std::chrono::duration<double, std::milli>(device.edges[i] - device.edges[i - 1])
                    .count());
        if (gaps.empty()) {
            std::printf("%-6s no edges\n", flow);
            continue;
        }
        const double span =
            std::chrono::duration<double>(device.edges.back() - device.edges.front()).count();
        const double measured = static_cast<double>(gaps.size()) / 2.0 / span;
        std::printf("%-6s %-9d %-14.2f %-14.2f %-10.3f %-10.3f %-10.3f\n", flow, period,
                    1000.0 / (2.0 * period), measured, percentile(gaps, 0.5),
                    percentile(gaps, 0.99), *std::max_element(gaps.begin(), gaps.end()));
    }
    return 0;
}
