#pragma once
// The main window rig with the Calibrate and Serial Port dialogs wired in as main() does.
#include <QStyle>
#include <QStyleOptionButton>

#include "coupler/CalibrateDialog.h"
#include "gui/MainWindowRig.h"
#include "serial/SerialPortDialog.h"
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

// A check box or radio button takes clicks on its indicator, not anywhere in its rectangle.
inline void clickIndicator(QAbstractButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    const bool radio = button->inherits("QRadioButton");
    const QRect indicator = button->style()->subElementRect(
        radio ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator, &option, button);
    QTest::mouseClick(button, Qt::LeftButton, {}, indicator.center());
}

inline void typeInto(QLineEdit* edit, const char* keys) {
    edit->clear();
    QTest::keyClicks(edit, keys);
}
