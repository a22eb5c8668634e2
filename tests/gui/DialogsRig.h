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

// The controls whose caption the style's text area cannot hold whole, by object name.
inline QStringList clippedCaptions(QWidget* dialog) {
    QStringList clipped;
    for (QWidget* w : dialog->findChildren<QWidget*>()) {
        QString caption = w->property("text").toString();
        QRect area = w->rect();
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            QStyleOptionButton option;
            option.initFrom(b);
            option.text = b->text();
            const auto text = b->inherits("QRadioButton") ? QStyle::SE_RadioButtonContents
                              : b->inherits("QCheckBox")  ? QStyle::SE_CheckBoxContents
                                                          : QStyle::SE_PushButtonContents;
            area = b->style()->subElementRect(text, &option, b);
        } else if (!qobject_cast<QLabel*>(w)) {
            continue;
        }
        if (area.width() < w->fontMetrics().horizontalAdvance(caption.remove('&')))
            clipped << w->objectName();
    }
    return clipped;
}
