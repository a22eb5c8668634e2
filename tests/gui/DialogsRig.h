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

// The caption and hint of every control, "caption|hint", joined by "/" in creation order.
// Fails on a caption the style's text area of its control cannot hold whole.
inline QString textsOf(QWidget* dialog) {
    QStringList all;
    for (QWidget* w : dialog->findChildren<QWidget*>()) {
        auto* group = qobject_cast<QGroupBox*>(w);
        QString caption = group ? group->title() : w->property("text").toString();
        const QString hint = w->toolTip().isEmpty() ? QString() : "|" + w->toolTip();
        if (!caption.isEmpty() || !hint.isEmpty())
            all << caption + hint;
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
            all << "CLIPPED " + w->objectName();
    }
    return all.join('/');
}
