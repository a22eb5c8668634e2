// The main window as main() builds it, set going as a user would for a long run: fuel flow
// on, the File page replaying a recording in a loop, output unpaused. It then runs until it
// is closed or killed; bench/window_soak starts it under Xvfb and samples it from outside.
// Message boxes go to standard error instead of the screen, so nothing waits for a click.
// With WINDOW_SOAK_HEAP set, the bytes malloc has handed out and not had back are written to
// that file every few seconds: resident memory alone cannot tell a leak from pages the
// allocator keeps.
// A period shorter than the File page's whole seconds packs hours of ticks into minutes.
// Usage: window_soak FILE [PERIOD_SECONDS]
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <optional>
#include <string>

#include "app/CalibrateDialog.h"
#include "app/MainWindow.h"
#include "app/SerialPortDialog.h"
#include "app/WidgetHelpers.h"
#include "engine/Emulator.h"
#include "engine/MessageBoxSeam.h"
#include "line/PosixSerialDevice.h"
#include "settings/SettingsStore.h"
#include "ui_MainWindow.h"

namespace {
class StderrBoxes : public MessageBoxSeam {
public:
    MsgResult show(const std::string& text, const std::string& caption, MsgIcon,
                   MsgButtons) override {
        std::fprintf(stderr, "window_soak: box \"%s\": %s\n", caption.c_str(), text.c_str());
        return MsgResult::Ok;
    }
};
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "Usage: window_soak FILE [PERIOD_SECONDS]\n");
        return 2;
    }
    const std::string file = argv[1];
    const double period = argc == 3 ? std::atof(argv[2]) : 0.0;
    SetApplicationTitle();
    StderrBoxes boxes;
    FileSettingsStore settings(FileSettingsStore::ConfigHomeFromEnvironment());
    PosixSerialDevice device(
        [&settings](const std::string& name) { return settings.devicePath(name); });
    Emulator emulator(device, settings, boxes);
    TMainWin window(emulator);
    TCalibrate calibrate(emulator);
    TFRM_SerialPort serialPort(emulator);
    window.setDialogs(&calibrate, &serialPort);
    window.openDialog() = [file](const std::string&, int) {
        return std::optional<std::string>(file);
    };
    window.show();
    QTimer::singleShot(500, &window, [&window, &emulator, period] {
        Ui::TMainWin& ui = window.ui();
        ui.BTN_FlowEna->click();
        ui.TAB_main->setCurrentIndex(1); // pauses, as the page does
        ui.CheckBoxLoop->click();
        ui.BTN_OpenFile->click();
        ui.BTN_Pause->click();
        if (period > 0.0 && !emulator.runLoop().setPeriod(period).ok)
            std::fprintf(stderr, "window_soak: the run loop refused a period of %g s\n", period);
        std::fprintf(stderr, "window_soak: replaying %s, fuel flow %s, %s\n",
                     ui.FileName->text().toLocal8Bit().constData(),
                     ui.BTN_FlowEna->isChecked() ? "on" : "off",
                     ui.BTN_Pause->isChecked() ? "paused" : "running");
    });
    QTimer heap;
    if (const char* path = std::getenv("WINDOW_SOAK_HEAP")) {
        QObject::connect(&heap, &QTimer::timeout, [path] {
            const struct mallinfo2 m = mallinfo2();
            std::ofstream(path) << (m.uordblks + m.hblkhd) / 1024 << '\n';
        });
        heap.start(5000);
    }
    return app.exec();
}
