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
        : MainWindowRig(conf), calibrate(services, window->transmitter()), serialPort(services) {
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

// True when the style's text area of the control holds its whole caption.
inline bool captionFits(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        QStyleOptionButton option;
        option.initFrom(b);
        option.text = b->text();
        const QStyle::SubElement area = b->inherits("QRadioButton") ? QStyle::SE_RadioButtonContents
                                        : b->inherits("QCheckBox")  ? QStyle::SE_CheckBoxContents
                                                                    : QStyle::SE_PushButtonContents;
        const QRect r = b->style()->subElementRect(area, &option, b);
        QString shown = b->text();
        shown.remove('&');
        return r.width() >= b->fontMetrics().horizontalAdvance(shown);
    }
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->width() >= l->fontMetrics().horizontalAdvance(l->text());
    return true;
}
