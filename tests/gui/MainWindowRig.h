#pragma once
// The real main window on a pseudo-terminal with a temporary configuration directory.
#include <QAbstractButton>
#include <QElapsedTimer>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <memory>

#include "app/MainWindow.h"
#include "core/Fakes.h"
#include "core/PtyPair.h"
#include "engine/Emulator.h"
#include "line/PosixSerialDevice.h"
#include "settings/SettingsStore.h"
#include "ui_MainWindow.h"

struct MainWindowRig {
    // conf: the text of Tarrow.conf, or nullptr for a first run without one.
    // com1: the device COM1 opens; empty = the pseudo-terminal.
    explicit MainWindowRig(const char* conf = "Port=1\nCompatibility=1\n", std::string com1 = {}) {
        const std::string home = dir.path().toStdString();
        const std::string devices = "[Devices]\nCOM1=" + (com1.empty() ? pty.slavePath : com1) +
                                    "\nCOM2=/nonexistent/tty2\nCOM3=" + pty3.slavePath +
                                    "\nCOM4=/nonexistent/tty4\n";
        std::filesystem::create_directories(home + "/Brackwater Associates");
        std::ofstream(home + "/Brackwater Associates/Tarrow.conf") << (conf ? conf : "") << devices;
        if (!conf) {
            // A first run has no file; keep the device map apart from the settings then.
            deviceMapHome = home + "/devices";
            std::filesystem::create_directories(deviceMapHome + "/Brackwater Associates");
            std::filesystem::rename(home + "/Brackwater Associates/Tarrow.conf",
                                    deviceMapHome + "/Brackwater Associates/Tarrow.conf");
            std::filesystem::remove_all(home + "/Brackwater Associates");
        }
        window = std::make_unique<TMainWin>(emulator);
    }

    Ui::TMainWin& ui() { return window->ui(); }
    std::string confPath() const {
        return dir.path().toStdString() + "/Brackwater Associates/Tarrow.conf";
    }

    // Waits for `count` bytes on a line while the event loop runs the timers.
    static std::string readFrom(PtyPair& line, std::size_t count, int timeoutMs = 3000) {
        std::string got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < count && clock.elapsed() < timeoutMs) {
            QTest::qWait(20);
            got += line.drain();
        }
        return got;
    }
    std::string readLine1(std::size_t count, int timeoutMs = 3000) {
        return readFrom(pty, count, timeoutMs);
    }

    QStringList terminalLines() const {
        const QString text = window->ui().TerminalWin->toPlainText();
        return text.isEmpty() ? QStringList() : text.split('\n');
    }

    QTemporaryDir dir;
    PtyPair pty;
    PtyPair pty3;
    std::string deviceMapHome;
    FileSettingsStore settings{dir.path().toStdString()};
    PosixSerialDevice device{[this](const std::string& name) {
                                 return FileSettingsStore(deviceMapHome.empty()
                                                              ? dir.path().toStdString()
                                                              : deviceMapHome)
                                     .devicePath(name);
                             },
                             dir.path().toStdString() + "/links"};
    FakeMessageBox box;
    Emulator emulator{device, settings, box};
    std::unique_ptr<TMainWin> window;
};

// A check box or radio button takes clicks on its indicator, not anywhere in its rectangle.
inline void clickIndicator(QAbstractButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    const bool radio = button->inherits("QRadioButton");
    const QRect indicator = button->style()->subElementRect(
        radio ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator, &option, button);
    QTest::mouseClick(button, Qt::LeftButton, {}, indicator.center());
}
