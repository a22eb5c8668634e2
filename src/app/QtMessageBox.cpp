#include "app/QtMessageBox.h"

#include <QApplication>
#include <QMessageBox>

MsgResult QtMessageBox::show(const std::string& text, const std::string& caption, MsgIcon icon,
                             MsgButtons buttons) {
    // Owned by the active window, so a box raised from a stay-on-top dialog shows above it.
    QMessageBox box(QApplication::activeWindow());
    box.setText(QString::fromStdString(text));
    box.setWindowTitle(caption.empty() ? QApplication::applicationDisplayName()
                                       : QString::fromStdString(caption));
    switch (icon) {
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgIcon::None:
        break;
    }
    if (buttons == MsgButtons::RetryCancel) {
        box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int pressed = box.exec();
    if (pressed == QMessageBox::Retry)
        return MsgResult::Retry;
    if (pressed == QMessageBox::Cancel)
        return MsgResult::Cancel;
    return MsgResult::Ok;
}
