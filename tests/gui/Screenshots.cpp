// Pictures of the main window and the dialogs for the manual, taken on the offscreen platform
// from the real windows on a pseudo-terminal, as the GUI tests build them.
//
//   QT_QPA_PLATFORM=offscreen screenshots DIRECTORY
//
// Writes main-simulator.png, main-faults.png, main-file.png, calibrate.png, serial-port.png and
// output-options.png into DIRECTORY (scripts/screenshots runs it for docs/images).
#include "gui/MainWindowRig.h"

namespace {

// The pictures in order, each once the event loop has run for 300 ms and the terminal holds
// `lines` lines (10 s at most); the lines are read all the while, as a full line would drop
// records and say so in the status bar.
bool shoot(const QDir& dir) {
    MainWindowRig rig;
    TMainWin& window = *rig.window;
    Ui::TMainWin& ui = rig.ui();
    const auto shot = [&](QWidget* widget, const char* name, qsizetype lines = 0) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 300 ||
               (rig.terminalLines().size() < lines && clock.elapsed() < 10000)) {
            QTest::qWait(20);
            rig.pty.drain();
            rig.pty3.drain();
        }
        const QPixmap picture = widget->grab();
        const bool saved = rig.terminalLines().size() >= lines && picture.save(dir.filePath(name));
        std::fprintf(saved ? stdout : stderr, "%s %s: %dx%d, %lld lines in the terminal\n",
                     saved ? "wrote" : "screenshots: did not write", qPrintable(dir.filePath(name)),
                     picture.width(), picture.height(),
                     static_cast<long long>(rig.terminalLines().size()));
        return saved;
    };
    // The same pictures on every machine: COM1 reads as the adapter it stands for, not this
    // run's pseudo-terminal, and the Serial Port dialog looks at a machine without devices.
    window.statusRefresh().stop();
    QTimer status;
    QObject::connect(&status, &QTimer::timeout, &window, [&] {
        LineStatusTexts texts = StatusTexts(rig.emulator.lineStatus());
        texts.portDevice = "/dev/ttyUSB0";
        window.showStatus(texts);
    });
    status.start(250);
    QTemporaryDir noDevices;
    rig.serialPort->setDeviceRoot(noDevices.path().toStdString());
    showAndActivate(window);
    // The Simulator page as it starts: a few ticks of $GPRMB and $GPRMC.
    bool ok = shot(&window, "main-simulator.png", 8);
    ui.MNU_Calibrate->trigger();
    ok &= shot(rig.calibrate.get(), "calibrate.png");
    rig.calibrate->ui().BTN_Done->click();

    // COM2 to COM4 on the devices they open by default, as a fresh installation shows them.
    std::ofstream(rig.confPath()) << Compat
                                  << "[Devices]\nCOM1=/dev/ttyUSB0\nCOM2=/dev/ttyUSB1\n"
                                     "COM3=/dev/ttyS0\nCOM4=/dev/ttyS1\n";
    ui.SerialPort1->trigger();
    ok &= shot(rig.serialPort.get(), "serial-port.png");
    rig.serialPort->ui().BTN_CANCEL->click();

    // Two faults: every third record with a wrong checksum, and every record flagged invalid.
    ui.MNU_OutputOptions->trigger();
    OutputOptionsDialog& options = window.outputOptions();
    options.findChild<QSpinBox*>("FLT_ChecksumEvery")->setValue(3);
    options.findChild<QCheckBox*>("FLT_Checksum")->setChecked(true);
    options.findChild<QCheckBox*>("FLT_Invalid")->setChecked(true);
    ok &= shot(&options, "output-options.png");
    options.close();
    ok &= shot(&window, "main-faults.png", rig.terminalLines().size() + 6); // three ticks
    options.allFaultsOff();

    // The File page replaying the NMEA sample, after a clear screen; taken after the third
    // tick (a $GPRMB and a $GPRMC each), when the calculated speed is the approach's 90 knots
    // (the second tick's is computed against no range at all).
    ui.TAB_main->setCurrentIndex(1); // pauses the output
    const std::string sample = TARROW_SAMPLES_SOURCE_DIR "/approach.nmea";
    window.openDialog() = [sample](const std::string&, int) { return std::optional(sample); };
    ui.BTN_OpenFile->click();
    ui.MNU_ClearScreen->trigger();
    ui.BTN_Pause->click(); // release it
    ok &= shot(&window, "main-file.png", 6);
    window.close();
    return ok;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2 || !QDir().mkpath(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "usage: screenshots DIRECTORY (made if missing)\n");
        return 2;
    }
    return shoot(QDir(QString::fromLocal8Bit(argv[1]))) ? 0 : 1;
}
