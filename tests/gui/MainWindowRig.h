#pragma once
// The real main window with its Calibrate and Serial Port dialogs, wired as main() does, on
// pseudo-terminals (COM1, COM3; COM2 and COM4 are missing) with a temporary configuration.
#include <QtTest>
#include <QtWidgets>
#include <fstream>

#include "app/CalibrateDialog.h"
#include "app/MainWindow.h"
#include "app/OutputOptionsDialog.h"
#include "app/SerialPortDialog.h"
#include "core/Fakes.h"
#include "core/PtyPair.h"
#include "engine/Emulator.h"
#include "line/PosixSerialDevice.h"
#include "settings/SettingsStore.h"
#include "ui_CalibrateDialog.h"
#include "ui_MainWindow.h"
#include "ui_SerialPortDialog.h"

inline const char* const Compat = "Port=1\nCompatibility=1\n";

struct MainWindowRig {
    // com1: the device COM1 opens; empty for the pseudo-terminal.
    explicit MainWindowRig(const char* conf = Compat, std::string com1 = {}) {
        std::filesystem::create_directories(dir.filePath("Brackwater Associates").toStdString());
        std::ofstream(confPath()) << conf
                                  << "[Devices]\nCOM1=" << (com1.empty() ? pty.slavePath : com1)
                                  << "\nCOM2=/nonexistent/tty2\nCOM3=" << pty3.slavePath
                                  << "\nCOM4=/nonexistent/tty4\n";
        window = std::make_unique<TMainWin>(emulator);
        calibrate = std::make_unique<TCalibrate>(emulator);
        serialPort = std::make_unique<TFRM_SerialPort>(emulator);
        window->setDialogs(calibrate.get(), serialPort.get());
    }

    Ui::TMainWin& ui() { return window->ui(); }
    std::string confPath() const {
        return dir.filePath("Brackwater Associates/Tarrow.conf").toStdString();
    }
    QStringList terminalLines() const {
        return window->ui().TerminalWin->toPlainText().split('\n', Qt::SkipEmptyParts);
    }
    speed_t lineSpeed() {
        emulator.writer().flush();
        const termios t = pty.slaveTermios();
        return cfgetospeed(&t);
    }

    QTemporaryDir dir;
    PtyPair pty, pty3;
    FileSettingsStore settings{dir.path().toStdString()};
    PosixSerialDevice device{[this](const std::string& name) { return settings.devicePath(name); },
                             dir.path().toStdString() + "/links"};
    FakeMessageBox box;
    Emulator emulator{device, settings, box};
    std::unique_ptr<TMainWin> window;
    std::unique_ptr<TCalibrate> calibrate;
    std::unique_ptr<TFRM_SerialPort> serialPort;
};

// The first display runs activation; platforms without window activation call it directly.
inline void showAndActivate(TMainWin& w) {
    w.show();
    w.activateWindow();
    if (!QTest::qWaitForWindowActive(&w, 2000))
        w.FormActivate();
}

inline void typeAndEnter(QLineEdit* edit, const char* text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

// What a user's mouse does: a check box or radio button takes the click on its indicator (a
// stretched one ignores clicks beside its tick box and text), a push button in its middle.
inline void press(QAbstractButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    const bool radio = button->inherits("QRadioButton");
    const bool box = radio || button->inherits("QCheckBox");
    const QRect indicator = button->style()->subElementRect(
        radio ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator, &option, button);
    QTest::mouseClick(button, Qt::LeftButton, {},
                      box ? indicator.center() : button->rect().center());
}
