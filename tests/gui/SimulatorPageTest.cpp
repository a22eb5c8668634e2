// The Simulator page's wiring on real widgets and a pseudo-terminal; the rules are core tests.
#include <QLocale>
#include <QTest>
#include <QToolButton>
#include <clocale>

#include "emulator/AviationRecord.h"
#include "gui/MainWindowRig.h"

namespace {
void activate(MainWindowRig& rig) {
    rig.window->show();
    rig.window->activateWindow();
    if (!QTest::qWaitForWindowActive(rig.window.get(), 2000))
        rig.window->FormActivate();
}

void typeAndEnter(QLineEdit* edit, const char* text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

void click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// The line's speed once the baud changes handed to the line writer have been made.
speed_t lineSpeed(MainWindowRig& rig) {
    rig.emulator.writer().flush();
    const termios t = rig.pty.slaveTermios();
    return cfgetospeed(&t);
}
} // namespace

class SimulatorPageTest : public QObject {
    Q_OBJECT
private slots:
    void formatEditsStepsAndBoxes() {
        MainWindowRig rig;
        activate(rig);
        auto& ui = rig.ui();
        QCOMPARE(lineSpeed(rig), speed_t{B4800});
        click(ui.Format_Aviation);
        QCOMPARE(lineSpeed(rig), speed_t{B9600});
        // The Aviation record leaves byte for byte, without CR LF.
        const std::string record = BuildAviationRecord(rig.state);
        QCOMPARE(MainWindowRig::readFrom(rig.pty, record.size()), record);
        click(ui.Format_NmeaV2);
        QCOMPARE(lineSpeed(rig), speed_t{B4800});

        rig.state.baudChoice = 3;
        rig.link.SetBaud(3);
        click(ui.Format_Aviation);
        QCOMPARE(rig.state.format, OutputFormat::Aviation);
        QCOMPARE(lineSpeed(rig), speed_t{B19200});

        click(ui.XTE_Value);
        QCOMPARE(QApplication::focusWidget(), ui.EB_Value);
        click(ui.BTN_FlowEna);
        QCOMPARE(rig.emulator.flowTimer().period(), 2);
        // edit, text typed and Enter, step button clicked next, text shown, focus after Enter
        const std::tuple<QLineEdit*, const char*, QAbstractButton*, const char*, QWidget*> rows[] =
            {
                {ui.EB_Value, "12", nullptr, "9.99", ui.XTE_Value},
                {ui.EB_Track, "-12.3", nullptr, "347.7", ui.BTN_Heading},
                {ui.EB_Speed, "600", ui.UpDown3->downButton(), "499", nullptr},
                {ui.EB_Flow, "4", nullptr, "4.0", ui.EB_Flow},
                {ui.EB_Flow, nullptr, ui.UpDown4->upButton(), "4.1", nullptr},
                {ui.EB_Value, "0.1", ui.UpDown1->upButton(), "0.20", nullptr},
                {ui.EB_Value, nullptr, ui.UpDown1->upButton(), "0.30", nullptr},
                {ui.EB_Track, "359.5", ui.UpDown2->upButton(), "0.5", nullptr},
                {ui.EB_Track, nullptr, ui.UpDown2->downButton(), "359.5", nullptr},
            };
        for (const auto& [edit, typed, step, shown, focus] : rows) {
            if (typed)
                typeAndEnter(edit, typed);
            if (step)
                QTest::mouseClick(step, Qt::LeftButton);
            QCOMPARE(edit->text(), QString(shown));
            if (focus)
                QCOMPARE(QApplication::focusWidget(), focus);
        }
        QCOMPARE(rig.state.speed, 499.0f);
        QCOMPARE(rig.emulator.flowTimer().period(), 5); // 22 / 4.1

        click(ui.BTN_Course);
        QVERIFY(!ui.GroupXTE->isEnabled() && !ui.EB_Value->isEnabled() && !rig.state.courseOn);
        click(ui.BTN_Heading);
        QVERIFY(!ui.EB_Track->isEnabled() && !ui.EB_Speed->isEnabled() && !rig.state.headingOn);
        click(ui.BTN_FlowEna);
        QVERIFY(!rig.emulator.flowTimer().enabled() && !ui.EB_Flow->isEnabled());
    }

    void commaLocaleEdits() {
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
            QSKIP("de_DE.UTF-8 locale not installed");
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        {
            MainWindowRig rig;
            activate(rig);
            auto& ui = rig.ui();
            click(ui.XTE_Value);
            typeAndEnter(ui.EB_Value, "2,5");
            QCOMPARE(ui.EB_Value->text(), QString("2,50"));
            QCOMPARE(rig.state.xteValue, 2.5f);
            typeAndEnter(ui.EB_Speed, "1.500"); // grouping is refused, not read as 1500
            QCOMPARE(rig.box.shown.size(), std::size_t{1});
            QCOMPARE(rig.state.speed, 150.0f);
            rig.pty.drain();
            const std::string rmb =
                "$GPRMB,A,2.500,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*5F\r\n";
            QCOMPARE(MainWindowRig::readFrom(rig.pty, rmb.size()).substr(0, rmb.size()), rmb);
        }
        QLocale::setDefault(QLocale::c());
        std::setlocale(LC_ALL, "C");
    }
};

QTEST_MAIN(SimulatorPageTest)
#include "SimulatorPageTest.moc"
