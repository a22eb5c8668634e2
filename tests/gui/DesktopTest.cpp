// The main window on a real X display with a window manager (run through with-desktop):
// when activation runs, what the desktop shows as captions, and the Exit shortcut.
#include "app/WidgetHelpers.h"
#include "gui/MainWindowRig.h"

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

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SetApplicationTitle(); }

    // Activation rewrites the edits from the stored values; only coming back from one of the
    // two dialogs may do that, not a message box, not another window. The desktop shows each
    // window's own caption, and Ctrl+X in an edit exits rather than cuts.
    void activationCaptionsAndExit() {
        MainWindowRig rig;
        auto& ui = rig.ui();
        QVERIFY(activate(*rig.window));
        QTRY_COMPARE(desktopTitle(*rig.window), QString("Tarrow GPS Receiver Emulator"));
        press(ui.XTE_Value);
        typeAndEnter(ui.EB_Value, "1.25");
        // A refused value: the box comes and goes, and the rejected text stays as typed.
        rig.box.whileShown = [] {
            QMessageBox box(QMessageBox::Warning, "error", "not a number");
            QTimer::singleShot(300, &box, &QMessageBox::accept);
            box.exec();
        };
        typeAndEnter(ui.EB_Track, "abc");
        QCOMPARE(rig.box.shown.size(), std::size_t{1});
        QTRY_VERIFY(rig.window->isActiveWindow());
        QWidget other; // away to another window and back
        other.resize(200, 100);
        QVERIFY(activate(other) && activate(*rig.window));
        QCOMPARE(ui.EB_Value->text(), QString("1.25")); // activation would show "1.3"
        QCOMPARE(ui.EB_Track->text(), QString("abc"));

        const std::tuple<QAction*, QWidget*, QAbstractButton*, const char*> dialogs[] = {
            {ui.MNU_Calibrate, rig.calibrate.get(), rig.calibrate->ui().BTN_Done, "Calibrate"},
            {ui.SerialPort1, rig.serialPort.get(), rig.serialPort->ui().BTN_CANCEL, "Serial Port"}};
        for (const auto& [open, dialog, close, title] : dialogs) {
            ui.EB_Value->setText("1.25");
            ui.EDIT_SecPause->setText("5");
            open->trigger();
            QTRY_VERIFY(dialog->isActiveWindow());
            QTRY_COMPARE(desktopTitle(*dialog), QString(title));
            press(close);
            QTRY_VERIFY(rig.window->isActiveWindow());
            QTRY_COMPARE(ui.EB_Value->text(), QString("1.3"));
            QCOMPARE(ui.EB_Track->text() + " " + ui.EDIT_SecPause->text(), QString("0.0 1"));
        }

        ui.EB_Speed->setFocus();
        ui.EB_Speed->selectAll();
        QTest::keyClick(ui.EB_Speed, Qt::Key_X, Qt::ControlModifier);
        QTRY_VERIFY(!rig.window->isVisible());
        QCOMPARE(ui.EB_Speed->text(), QString("150")); // not cut
    }
};

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
