// The main window on a real X display with a window manager (run through with-desktop):
// when activation runs, what the desktop shows as captions, and the Exit shortcut.
#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QTest>

#include "app/WidgetHelpers.h"
#include "gui/DialogsRig.h"

namespace {

bool activate(QWidget& w) {
    w.show();
    w.raise();
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w, 5000);
}

// The title the window manager shows, as the X server holds it.
QString desktopTitle(QWidget& w) {
    QProcess xprop;
    xprop.start("xprop", {"-id", QString::number(w.winId()), "_NET_WM_NAME"});
    xprop.waitForFinished(5000);
    const QString out = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    const qsizetype quote = out.indexOf('"');
    return quote < 0 ? out : out.mid(quote + 1).chopped(1);
}

void typeAndEnter(QLineEdit* edit, const char* text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void captionsStandAlone() {
        DialogsRig rig;
        QVERIFY(activate(*rig.window));
        rig.ui().MNU_Calibrate->trigger();
        rig.ui().SerialPort1->trigger();
        QTRY_VERIFY(rig.calibrate.isVisible() && rig.serialPort.isVisible());
        QTRY_COMPARE(desktopTitle(*rig.window), QString("Tarrow GPS Receiver Emulator"));
        QTRY_COMPARE(desktopTitle(rig.calibrate), QString("Calibrate"));
        QTRY_COMPARE(desktopTitle(rig.serialPort), QString("Serial Port"));
    }

    // Activation rewrites the edits from the stored values; only coming back from one of the
    // two dialogs may do that, not a message box, not another window.
    void activationOnlyOnReturnFromTheDialogs() {
        DialogsRig rig;
        rig.window->timer1().stop();
        auto& ui = rig.ui();
        QVERIFY(activate(*rig.window));
        QTest::mouseClick(ui.XTE_Value, Qt::LeftButton, {}, QPoint(6, ui.XTE_Value->height() / 2));
        typeAndEnter(ui.EB_Value, "1.25");
        QCOMPARE(ui.EB_Value->text(), QString("1.25")); // activation would show "1.3"

        // A refused value: the box comes and goes, and the rejected text stays as typed.
        rig.box.whileShown = [] {
            QMessageBox box(QMessageBox::Warning, "error", "not a number");
            QTimer::singleShot(300, &box, &QMessageBox::accept);
            box.exec();
        };
        typeAndEnter(ui.EB_Track, "abc");
        QCOMPARE(rig.box.shown.size(), std::size_t{1});
        QTRY_VERIFY(rig.window->isActiveWindow());
        QCOMPARE(ui.EB_Track->text(), QString("abc"));
        QCOMPARE(ui.EB_Value->text(), QString("1.25"));

        // Away to another window and back.
        QWidget other;
        other.setWindowTitle("other");
        other.resize(200, 100);
        QVERIFY(activate(other));
        QVERIFY(activate(*rig.window));
        QCOMPARE(ui.EB_Value->text(), QString("1.25"));
        QCOMPARE(ui.EB_Track->text(), QString("abc"));

        // Back from each dialog: the edits show the stored values again.
        const auto returnFrom = [&](QWidget& dialog, QAbstractButton* close) {
            ui.EB_Value->setText("1.25");
            ui.UpDown_sec->setPosition(5);
            ui.EDIT_SecPause->setText("5");
            QVERIFY(activate(dialog));
            QTest::mouseClick(close, Qt::LeftButton);
            QTRY_VERIFY(rig.window->isActiveWindow());
            QTRY_COMPARE(ui.EB_Value->text(), QString("1.3"));
            QCOMPARE(ui.EB_Track->text(), QString("0.0"));
            QCOMPARE(ui.EDIT_SecPause->text(), QString("1"));
        };
        returnFrom(rig.calibrate, rig.calibrate.ui().BTN_Done);
        returnFrom(rig.serialPort, rig.serialPort.ui().BTN_CANCEL);
    }

    void ctrlXExitsFromAnEdit() {
        MainWindowRig rig;
        QVERIFY(activate(*rig.window));
        rig.ui().EB_Speed->setFocus();
        rig.ui().EB_Speed->selectAll();
        QTest::keyClick(rig.ui().EB_Speed, Qt::Key_X, Qt::ControlModifier);
        QTRY_VERIFY(!rig.window->isVisible());
        QCOMPARE(rig.ui().EB_Speed->text(), QString("150")); // not cut
    }
};

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    SetApplicationTitle();
    DesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DesktopTest.moc"
