// The main window on a real X display with a window manager (run through with-desktop):
// when activation runs, what the desktop shows as captions, the Exit shortcut, and menus that
// leave typed text alone.
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

    // Opening a menu, by Alt or by the mouse, is not leaving the edit for another control:
    // Escape gives the edit back with the typed text unapplied. Going on from the menu to
    // another control applies it.
    void menusLeaveTypedTextAlone() {
        MainWindowRig rig;
        auto& ui = rig.ui();
        rig.window->timer1().stop();
        QVERIFY(activate(*rig.window));
        RunLoop& loop = rig.emulator.runLoop();
        const auto nextTickSends = [&](const char* speed) {
            rig.emulator.writer().flush();
            rig.pty.drain();
            loop.serve(loop.nextTick());
            rig.emulator.writer().flush();
            return rig.pty.drain().find(std::string(",W,") + speed + ",000.0,") !=
                   std::string::npos;
        };
        QMenuBar* bar = rig.window->menuBar();
        const auto altKey = [&] {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Alt, Qt::AltModifier);
        };
        const auto helpByMouse = [&] {
            QTest::mouseClick(bar, Qt::LeftButton, {},
                              bar->actionGeometry(ui.MNU_Help->menuAction()).center());
            QTRY_VERIFY(ui.MNU_Help->isVisible());
            QTest::keyClick(ui.MNU_Help, Qt::Key_Escape);
        };
        ui.EB_Speed->setFocus();
        ui.EB_Speed->selectAll();
        QTest::keyClicks(ui.EB_Speed, "200");
        for (const auto& open :
             {std::function<void()>(altKey), std::function<void()>(helpByMouse)}) {
            open();
            QTRY_COMPARE(QApplication::focusWidget(), bar);
            QTest::keyClick(bar, Qt::Key_Escape);
            QTRY_COMPARE(QApplication::focusWidget(), ui.EB_Speed);
            QCOMPARE(ui.EB_Speed->text(), QString("200"));
            QVERIFY(nextTickSends("150.0"));
        }
        altKey();
        QTRY_COMPARE(QApplication::focusWidget(), bar);
        QTest::mouseClick(ui.EB_Track, Qt::LeftButton);
        QTRY_COMPARE(QApplication::focusWidget(), ui.EB_Track);
        QVERIFY(nextTickSends("200.0"));
    }
};

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
