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

void typeAndEnter(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

void clickIndicator(QAbstractButton* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

speed_t lineSpeed(PtyPair& pty) {
    const termios t = pty.slaveTermios();
    return cfgetospeed(&t);
}
} // namespace

class SimulatorPageTest : public QObject {
    Q_OBJECT
private slots:
    void typingAndEnterInEachEdit() {
        MainWindowRig rig;
        activate(rig);
        auto& ui = rig.ui();
        clickIndicator(ui.XTE_Value);
        struct Row {
            QLineEdit* edit;
            QString typed;
            QString shown;
            QWidget* focusAfter;
        };
        const Row rows[] = {
            {ui.EB_Value, "12", "9.99", ui.XTE_Value},
            {ui.EB_Value, "-0.5", "-0.50", ui.XTE_Value},
            {ui.EB_Track, "12.37", "12.3", ui.BTN_Heading},
            {ui.EB_Track, "-12.3", "347.7", ui.BTN_Heading},
            {ui.EB_Track, "725", "5.0", ui.BTN_Heading},
            {ui.EB_Speed, "150.4", "150", ui.BTN_Heading},
            {ui.EB_Speed, "600", "500", ui.BTN_Heading},
        };
        for (const auto& r : rows) {
            typeAndEnter(r.edit, r.typed);
            QCOMPARE(r.edit->text(), r.shown);
            QCOMPARE(QApplication::focusWidget(), r.focusAfter);
        }
        QCOMPARE(rig.state.xteValue, -0.5f);
        QCOMPARE(rig.state.trackTenths, 50.0f);
        QCOMPARE(rig.state.speed, 500.0f);
    }

    void refusedTextNamesItAndChangesNothing() {
        MainWindowRig rig;
        activate(rig);
        auto& ui = rig.ui();
        typeAndEnter(ui.EB_Speed, "fast");
        QCOMPARE(rig.box.shown.size(), std::size_t{1});
        QVERIFY(rig.box.shown[0].text.find("'fast'") != std::string::npos);
        QCOMPARE(ui.EB_Speed->text(), QString("fast"));
        QCOMPARE(rig.state.speed, 150.0f);
        QCOMPARE(QApplication::focusWidget(), ui.EB_Speed);
    }

    void stepButtonsAndEnableRules() {
        MainWindowRig rig;
        activate(rig);
        auto& ui = rig.ui();
        clickIndicator(ui.XTE_Value);
        typeAndEnter(ui.EB_Value, "0.1");
        QTest::mouseClick(ui.UpDown1->upButton(), Qt::LeftButton);
        QTest::mouseClick(ui.UpDown1->upButton(), Qt::LeftButton);
        QCOMPARE(ui.EB_Value->text(), QString("0.30"));
        typeAndEnter(ui.EB_Track, "359.5");
        QTest::mouseClick(ui.UpDown2->upButton(), Qt::LeftButton);
        QCOMPARE(ui.EB_Track->text(), QString("0.5"));
        QTest::mouseClick(ui.UpDown2->downButton(), Qt::LeftButton);
        QCOMPARE(ui.EB_Track->text(), QString("359.5"));

        clickIndicator(ui.XTE_Right);
        QCOMPARE(rig.state.xteMode, XteMode::Right);
        QVERIFY(!ui.EB_Value->isEnabled());
        clickIndicator(ui.XTE_Value);
        QCOMPARE(rig.state.xteMode, XteMode::Value);
        QVERIFY(ui.EB_Value->isEnabled());
        QCOMPARE(QApplication::focusWidget(), ui.EB_Value);
        clickIndicator(ui.BTN_Course);
        QVERIFY(!rig.state.courseOn);
        QVERIFY(!ui.GroupXTE->isEnabled());
        QVERIFY(!ui.EB_Value->isEnabled());
        QVERIFY(ui.UpDown1->isEnabled());
        clickIndicator(ui.BTN_Heading);
        QVERIFY(!rig.state.headingOn);
        QVERIFY(!ui.EB_Track->isEnabled());
        QVERIFY(!ui.EB_Speed->isEnabled());
        // Both sentences off: an NMEA tick sends nothing.
        QTest::qWait(1200);
        QCOMPARE(rig.pty.drain(), std::string());
    }

    void formatSwitchFollowsBaudOnlyWhileAuto() {
        MainWindowRig rig;
        activate(rig);
        auto& ui = rig.ui();
        QCOMPARE(lineSpeed(rig.pty), static_cast<speed_t>(B4800));
        clickIndicator(ui.Format_Aviation);
        QCOMPARE(rig.state.format, OutputFormat::Aviation);
        QCOMPARE(lineSpeed(rig.pty), static_cast<speed_t>(B9600));
        // The Aviation record leaves byte for byte, without CR LF.
        const std::string record = BuildAviationRecord(rig.state);
        QCOMPARE(record.size(), std::size_t{55});
        QCOMPARE(MainWindowRig::readFrom(rig.pty, 55), record);
        QTest::qWait(100);
        QCOMPARE(rig.pty.drain(), std::string());
        clickIndicator(ui.Format_NmeaV2);
        QCOMPARE(lineSpeed(rig.pty), static_cast<speed_t>(B4800));

        rig.state.baudChoice = 3;
        rig.link.SetBaud(3);
        clickIndicator(ui.Format_Aviation);
        QCOMPARE(rig.state.format, OutputFormat::Aviation);
        QCOMPARE(lineSpeed(rig.pty), static_cast<speed_t>(B19200));
        QVERIFY(rig.box.shown.empty());
    }

    void fuelFlowTogglesRtsPeriod() {
        MainWindowRig rig;
        activate(rig);
        auto& ui = rig.ui();
        QVERIFY(!ui.EB_Flow->isEnabled());
        QVERIFY(!rig.window->flowTimer().isActive());
        clickIndicator(ui.BTN_FlowEna);
        QVERIFY(rig.window->flowTimer().isActive());
        QVERIFY(ui.EB_Flow->isEnabled());
        QCOMPARE(rig.window->flowTimer().interval(), 2);
        typeAndEnter(ui.EB_Flow, "4");
        QCOMPARE(ui.EB_Flow->text(), QString("4.0"));
        QCOMPARE(rig.window->flowTimer().interval(), 5);
        const bool before = rig.link.RtsRaised;
        QTest::qWait(50);
        clickIndicator(ui.BTN_FlowEna);
        QVERIFY(!rig.window->flowTimer().isActive());
        const bool stopped = rig.link.RtsRaised;
        QTest::qWait(50);
        QCOMPARE(rig.link.RtsRaised, stopped);
        Q_UNUSED(before);
    }

    void commaLocaleEdits() {
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
            QSKIP("de_DE.UTF-8 locale not installed");
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        {
            MainWindowRig rig;
            activate(rig);
            auto& ui = rig.ui();
            clickIndicator(ui.XTE_Value);
            typeAndEnter(ui.EB_Value, "2,5");
            QCOMPARE(ui.EB_Value->text(), QString("2,50"));
            QCOMPARE(rig.state.xteValue, 2.5f);
            typeAndEnter(ui.EB_Speed, "1.500"); // grouping is refused, not read as 1500
            QCOMPARE(rig.box.shown.size(), std::size_t{1});
            QCOMPARE(rig.state.speed, 150.0f);
            rig.pty.drain();
            const std::string rmb =
                "$GPRMB,A,2.500,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*5F\r\n";
            QCOMPARE(QByteArray::fromStdString(MainWindowRig::readFrom(rig.pty, rmb.size()).substr(0, rmb.size())),
                     QByteArray::fromStdString(rmb));
        }
        QLocale::setDefault(QLocale::c());
        std::setlocale(LC_ALL, "C");
    }
};

QTEST_MAIN(SimulatorPageTest)
#include "SimulatorPageTest.moc"
