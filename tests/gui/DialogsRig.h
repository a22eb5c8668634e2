#pragma once
// The main window rig with the Calibrate and Serial Port dialogs wired in as main() does.
#include "app/CalibrateDialog.h"
#include "app/SerialPortDialog.h"
#include "gui/MainWindowRig.h"
#include "ui_CalibrateDialog.h"
#include "ui_SerialPortDialog.h"

struct DialogsRig : MainWindowRig {
    explicit DialogsRig(const char* conf = "Port=1\nCompatibility=1\n")
        : MainWindowRig(conf), calibrate(emulator), serialPort(emulator) {
        window->setDialogs(&calibrate, &serialPort);
    }
    std::string confText() const {
        std::ifstream in(confPath());
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }
    TCalibrate calibrate;
    TFRM_SerialPort serialPort;
};

inline void typeInto(QLineEdit* edit, const char* keys) {
    edit->clear();
    QTest::keyClicks(edit, keys);
}
