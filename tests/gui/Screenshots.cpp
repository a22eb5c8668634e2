// Pictures of the main window and the dialogs for the manual, taken on the offscreen platform
// from the real windows on a pseudo-terminal, as the GUI tests build them.
//
//   QT_QPA_PLATFORM=offscreen screenshots DIRECTORY
//
// Writes main-simulator.png, main-faults.png, main-file.png, calibrate.png, serial-port.png and
// output-options.png into DIRECTORY (scripts/screenshots runs it for docs/images).
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include "app/OutputOptionsDialog.h"
#include "gui/DialogsRig.h"

#ifndef TARROW_TEST_DATA_DIR
#error "TARROW_TEST_DATA_DIR must name tests/data"
#endif

namespace {

// Runs the event loop for `ms`, reading what reaches the two pseudo-terminals so the line never
// backs up (a full line would drop records and say so in the status bar).
void settle(MainWindowRig& rig, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QTest::qWait(20);
        rig.pty.drain();
        rig.pty3.drain();
    }
}

// Waits until the terminal holds at least `lines` lines; false (and a note) after 10 s.
bool waitForLines(MainWindowRig& rig, qsizetype lines, const char* picture) {
    QElapsedTimer clock;
    clock.start();
    while (rig.terminalLines().size() < lines) {
        if (clock.elapsed() > 10000) {
            std::fprintf(stderr, "screenshots: %s: the terminal holds %lld lines, not %lld\n",
                         picture, static_cast<long long>(rig.terminalLines().size()),
                         static_cast<long long>(lines));
            return false;
        }
        settle(rig, 50);
    }
    return true;
}

// The status bar shows what the line did up to its last refresh, four times a second.
void refresh(MainWindowRig& rig) {
    rig.window->refreshStatus();
    settle(rig, 300);
}

bool save(QWidget* widget, const QDir& dir, const char* name) {
    const QString path = dir.filePath(name);
    const QPixmap picture = widget->grab();
    if (picture.isNull() || !picture.save(path, "PNG")) {
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s  %dx%d  %lld bytes\n", qPrintable(path), picture.width(), picture.height(),
                static_cast<long long>(QFileInfo(path).size()));
    return true;
}

// The devices COM2 to COM4 open by default, in place of the test rig's missing ones, so the
// Serial Port dialog shows what a fresh installation shows for them. COM1 stays the
// pseudo-terminal the window opened.
void defaultDevicesForOtherPorts(const MainWindowRig& rig) {
    std::ofstream(rig.confPath()) << "Port=1\nCompatibility=1\n[Devices]\nCOM1="
                                  << rig.pty.slavePath
                                  << "\nCOM2=/dev/ttyUSB1\nCOM3=/dev/ttyS0\nCOM4=/dev/ttyS1\n";
}

bool shoot(const QDir& dir) {
    DialogsRig rig;
    TMainWin& window = *rig.window;
    Ui::TMainWin& ui = rig.ui();
    bool ok = true;

    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window, 2000))
        window.FormActivate();

    // The Simulator page as it starts: a few ticks of $GPRMB and $GPRMC.
    ok &= waitForLines(rig, 8, "main-simulator.png");
    refresh(rig);
    ok &= save(&window, dir, "main-simulator.png");

    ui.MNU_Calibrate->trigger();
    settle(rig, 300);
    ok &= save(&rig.calibrate, dir, "calibrate.png");
    QTest::mouseClick(rig.calibrate.ui().BTN_Done, Qt::LeftButton);

    defaultDevicesForOtherPorts(rig);
    ui.SerialPort1->trigger();
    settle(rig, 300);
    ok &= save(&rig.serialPort, dir, "serial-port.png");
    QTest::mouseClick(rig.serialPort.ui().BTN_CANCEL, Qt::LeftButton);

    // Two faults: every third record with a wrong checksum, and every record flagged invalid.
    ui.MNU_OutputOptions->trigger();
    OutputOptionsDialog& options = window.outputOptions();
    options.findChild<QSpinBox*>("FLT_ChecksumEvery")->setValue(3);
    options.findChild<QCheckBox*>("FLT_Checksum")->setChecked(true);
    options.findChild<QCheckBox*>("FLT_Invalid")->setChecked(true);
    settle(rig, 300);
    ok &= save(&options, dir, "output-options.png");
    options.close();
    const qsizetype before = rig.terminalLines().size();
    ok &= waitForLines(rig, before + 6, "main-faults.png"); // three ticks with the faults on
    refresh(rig);
    ok &= save(&window, dir, "main-faults.png");
    options.allFaultsOff();

    // The File page replaying a sample recording in a loop, after a clear screen; taken after
    // the third tick, when the read-outs show the closing speed between the second and third
    // range (the second is computed against no range at all, and the loop's return to the first
    // range gives a negative one).
    ui.TAB_main->setCurrentIndex(1); // pauses the output
    const std::string sample = TARROW_TEST_DATA_DIR "/playback/groups_crlf.nmea";
    window.openDialog() = [sample](const std::string&, int) {
        return std::optional<std::string>(sample);
    };
    QTest::mouseClick(ui.BTN_OpenFile, Qt::LeftButton);
    if (ui.FileName->text().isEmpty()) {
        std::fprintf(stderr, "screenshots: cannot open %s\n", sample.c_str());
        ok = false;
    }
    clickIndicator(ui.CheckBoxLoop);
    ui.MNU_ClearScreen->trigger();
    clickIndicator(ui.BTN_Pause); // release it
    // 3 + 2 + 3 records: the third tick wraps round to the start.
    ok &= waitForLines(rig, 8, "main-file.png");
    refresh(rig);
    ok &= save(&window, dir, "main-file.png");

    window.close();
    return ok;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshots DIRECTORY\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "screenshots: cannot make %s\n", argv[1]);
        return 1;
    }
    return shoot(QDir(out)) ? 0 : 1;
}
