#include <QTest>
#include <QToolButton>

#include "gui/MainWindowRig.h"

namespace {
const std::string Data = TARROW_TEST_DATA_DIR "/playback/";

void activate(MainWindowRig& rig) {
    rig.window->show();
    rig.window->activateWindow();
    if (!QTest::qWaitForWindowActive(rig.window.get(), 2000))
        rig.window->FormActivate();
}

void clickIndicator(QAbstractButton* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

void chooseFile(MainWindowRig& rig, const std::string& path) {
    rig.window->openDialog() = [path](const std::string& filter, int index) {
        return filter == "Text files (*.txt)|*.txt|All files (*.*)|*.*" && index == 1
                   ? std::optional<std::string>(path)
                   : std::nullopt;
    };
}
} // namespace

class FilePageTest : public QObject {
    Q_OBJECT
private slots:
    void replaysGroupsAndClosesAtTheEnd() {
        MainWindowRig rig;
        activate(rig);
        auto& ui = rig.ui();
        ui.TAB_main->setCurrentIndex(1);
        QVERIFY(rig.state.paused);
        QVERIFY(ui.BTN_Pause->isChecked());
        QVERIFY(ui.MNU_Pause->isChecked());
        QCOMPARE(rig.state.format, OutputFormat::NmeaV3);
        QVERIFY(ui.FileType_Nmea->isChecked());

        chooseFile(rig, Data + "groups_crlf.nmea");
        QTest::mouseClick(ui.BTN_OpenFile, Qt::LeftButton);
        QCOMPARE(ui.BTN_OpenFile->text(), QString("Close file"));
        QCOMPARE(ui.FileName->text(), QString("groups_crlf.nmea"));
        rig.pty.drain();
        QTest::qWait(1200);
        QCOMPARE(rig.pty.drain(), std::string()); // paused on entering the page

        clickIndicator(ui.BTN_Pause);
        QVERIFY(!rig.state.paused);
        const std::string tick1 =
            "$GPRMC,123517,A,4807.038,N,01131.000,E,145.0,084.4,230394,003.1,W*60\r\n"
            "$GPRMB,A,0.66,L,WPT1,DST,4917.24,N,12309.57,W,1.4,052.5,150.0,V*00\r\n"
            "$GPRMC,123519,A,4807.038,N,01131.000,E,150.0,084.4,230394,003.1,W*6A\r\n";
        QCOMPARE(MainWindowRig::readFrom(rig.pty, tick1.size()), tick1);
        QCOMPARE(ui.EDIT_speed->text(), QString(" 150.0kt"));
        QCOMPARE(ui.EDIT_range->text(), QString("  1.40nm"));
        QCOMPARE(ui.EDIT_WaypointID->text(), QString("DST"));

        QTRY_VERIFY_WITH_TIMEOUT(!rig.state.fileOpen, 6000);
        QCOMPARE(ui.BTN_OpenFile->text(), QString("Open file"));
        QCOMPARE(ui.FileName->text(), QString());
        QCOMPARE(ui.EDIT_calc_spd->text(), QString(" 360.0kt"));
        rig.pty.drain();
        QTest::qWait(1200);
        QCOMPARE(rig.pty.drain(), std::string());

        ui.TAB_main->setCurrentIndex(0);
        QVERIFY(!rig.state.paused); // running before the File page: running again
        QVERIFY(!ui.BTN_Pause->isChecked());
    }

    void pageSwitchRestoresAnEarlierPause() {
        MainWindowRig rig;
        activate(rig);
        auto& ui = rig.ui();
        ui.MNU_Pause->trigger();
        ui.TAB_main->setCurrentIndex(1);
        clickIndicator(ui.BTN_Pause); // released on the File page
        QVERIFY(!rig.state.paused);
        ui.TAB_main->setCurrentIndex(0);
        QVERIFY(rig.state.paused);
        QVERIFY(ui.MNU_Pause->isChecked());
        QVERIFY(ui.BTN_Pause->isChecked());
    }

    void pauseSecondsTakesEffectAtTheNextTick() {
        MainWindowRig rig;
        activate(rig);
        auto& ui = rig.ui();
        ui.TAB_main->setCurrentIndex(1);
        QTest::mouseClick(ui.UpDown_sec->upButton(), Qt::LeftButton);
        QCOMPARE(ui.EDIT_SecPause->text(), QString("2"));
        QVERIFY(rig.state.intervalPending);
        QCOMPARE(rig.window->timer1().interval(), 1000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.window->timer1().interval(), 2000, 2500);
        QVERIFY(!rig.state.intervalPending);

        QTest::mouseClick(ui.UpDown_lps->downButton(), Qt::LeftButton);
        QCOMPARE(ui.EDIT_chunks->text(), QString("24"));
    }

    void cancelledDialogAndAviationType() {
        MainWindowRig rig;
        activate(rig);
        auto& ui = rig.ui();
        ui.TAB_main->setCurrentIndex(1);
        rig.window->openDialog() = [](const std::string&, int) { return std::nullopt; };
        QTest::mouseClick(ui.BTN_OpenFile, Qt::LeftButton);
        QVERIFY(!rig.state.fileOpen);
        QCOMPARE(ui.BTN_OpenFile->text(), QString("Open file"));

        clickIndicator(ui.FileType_Aviation);
        QVERIFY(!rig.state.fileTypeNmea);
        QCOMPARE(rig.state.format, OutputFormat::Aviation);
        QVERIFY(ui.Format_Aviation->isChecked());
        chooseFile(rig, Data + "two_records.avi");
        QTest::mouseClick(ui.BTN_OpenFile, Qt::LeftButton);
        QVERIFY(rig.state.fileOpen);
        clickIndicator(ui.BTN_Pause);
        // The first record, STX to the lone CR after ETX, with LFs dropped and nothing added.
        const std::string got = MainWindowRig::readFrom(rig.pty, 3);
        QCOMPARE(got.substr(0, 1), std::string("\x02"));
        QVERIFY(got.find('\n') == std::string::npos);
        QTest::mouseClick(ui.BTN_OpenFile, Qt::LeftButton); // closes without a dialog
        QVERIFY(!rig.state.fileOpen);
        QCOMPARE(ui.FileName->text(), QString());
    }
};

QTEST_MAIN(FilePageTest)
#include "FilePageTest.moc"
