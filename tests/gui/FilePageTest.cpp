#include <QComboBox>
#include <QFileDialog>
#include <QListView>
#include <QTest>
#include <QToolButton>
#include <fstream>

#include "gui/MainWindowRig.h"

namespace {
const std::string Data = TARROW_TEST_DATA_DIR "/playback/";

void activate(MainWindowRig& rig) {
    rig.window->show();
    rig.window->activateWindow();
    if (!QTest::qWaitForWindowActive(rig.window.get(), 2000))
        rig.window->FormActivate();
}

// The dialog seam gives `path` only when asked with the page's filter and index.
void chooseFile(MainWindowRig& rig, const std::string& path) {
    rig.window->openDialog() = [path](const std::string& filter, int index) {
        const bool asked = filter == FilePage::OpenDialogFilter && index == 1;
        return asked ? std::optional<std::string>(path) : std::nullopt;
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
        clickIndicator(ui.Format_Aviation);
        ui.TAB_main->setCurrentIndex(1);
        QVERIFY(ui.BTN_Pause->isChecked() && rig.state.paused);
        QCOMPARE(rig.state.format, OutputFormat::NmeaV3); // the NMEA file type's format
        rig.emulator.writer().flush();
        const termios line = rig.pty.slaveTermios(); // and its baud rate, over Aviation's
        QCOMPARE(cfgetospeed(&line), speed_t{B4800});

        chooseFile(rig, Data + "groups_crlf.nmea");
        QTest::mouseClick(ui.BTN_OpenFile, Qt::LeftButton);
        QCOMPARE(ui.FileName->text(), QString("groups_crlf.nmea"));
        rig.pty.drain();
        QTest::qWait(1200);
        QCOMPARE(rig.pty.drain(), std::string()); // paused on entering the page

        clickIndicator(ui.BTN_Pause);
        const std::string tick1 =
            "$GPRMC,123517,A,4807.038,N,01131.000,E,145.0,084.4,230394,003.1,W*60\r\n"
            "$GPRMB,A,0.66,L,WPT1,DST,4917.24,N,12309.57,W,1.4,052.5,150.0,V*00\r\n"
            "$GPRMC,123519,A,4807.038,N,01131.000,E,150.0,084.4,230394,003.1,W*6A\r\n";
        QCOMPARE(MainWindowRig::readFrom(rig.pty, tick1.size()), tick1);
        QCOMPARE(ui.EDIT_speed->text(), QString(" 150.0kt"));
        QCOMPARE(ui.EDIT_range->text(), QString("  1.40nm"));
        QCOMPARE(ui.EDIT_WaypointID->text(), QString("DST"));

        QTRY_VERIFY_WITH_TIMEOUT(!rig.state.fileOpen, 6000); // no Loop: closes at the end
        QCOMPARE(ui.BTN_OpenFile->text(), QString("Open file"));
        QCOMPARE(ui.FileName->text(), QString());
        QCOMPARE(ui.EDIT_calc_spd->text(), QString(" 360.0kt"));

        ui.TAB_main->setCurrentIndex(0);
        QVERIFY(!rig.state.paused); // running before the File page: running again
        ui.MNU_Pause->trigger();
        ui.TAB_main->setCurrentIndex(1);
        clickIndicator(ui.BTN_Pause); // paused before, released on the File page
        ui.TAB_main->setCurrentIndex(0);
        QVERIFY(ui.BTN_Pause->isChecked() && rig.state.paused);
    }

    void pauseSecondsTakesEffectAtTheNextTick() {
        MainWindowRig rig;
        activate(rig);
        auto& ui = rig.ui();
        ui.TAB_main->setCurrentIndex(1);
        QTest::mouseClick(ui.UpDown_sec->upButton(), Qt::LeftButton);
        QCOMPARE(ui.EDIT_SecPause->text(), QString("2"));
        QCOMPARE(rig.emulator.tickPeriodMilliseconds(), 1000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.emulator.tickPeriodMilliseconds(), 2000, 2500);

        // A refused pause text is replaced by the position; a refused record count is left alone.
        const std::pair<const char*, int> seconds[] = {
            {"99", 99}, {"1", 1}, {"100", 1}, {"0", 1}, {"99999999999", 1}};
        for (const auto& [text, position] : seconds) {
            ui.EDIT_SecPause->setText(text);
            QCOMPARE(ui.UpDown_sec->position(), position);
            QCOMPARE(ui.EDIT_SecPause->text(), QString::number(position));
        }
        const std::pair<const char*, int> records[] = {{"150", 100}, {"0", 100}, {"1", 1}};
        for (const auto& [text, position] : records) {
            ui.EDIT_chunks->setText(text);
            QCOMPARE(ui.UpDown_lps->position(), position);
        }
    }

    void aviationFileAndFailedOpens() {
        MainWindowRig rig;
        activate(rig);
        auto& ui = rig.ui();
        ui.TAB_main->setCurrentIndex(1);
        for (const std::string& path : {std::string("/no/such/file.txt"), Data}) {
            chooseFile(rig, path); // missing, or a directory: ignored without a message
            QTest::mouseClick(ui.BTN_OpenFile, Qt::LeftButton);
            QVERIFY(!rig.state.fileOpen);
        }
        rig.window->openDialog() = [](const std::string&, int) { return std::nullopt; };
        QTest::mouseClick(ui.BTN_OpenFile, Qt::LeftButton); // cancelled
        QVERIFY(!rig.state.fileOpen && rig.box.shown.empty());

        clickIndicator(ui.FileType_Aviation);
        QCOMPARE(rig.state.format, OutputFormat::Aviation);
        chooseFile(rig, Data + "two_records.avi");
        QTest::mouseClick(ui.BTN_OpenFile, Qt::LeftButton);
        rig.pty.drain();
        clickIndicator(ui.BTN_Pause);
        // The first record, STX to the lone CR after ETX, with LFs dropped and nothing added.
        const std::string record = "\x02"
                                   "AN 99 3456\rBW 444 4322\rC090\rD150\rE00123\rGL0125\r"
                                   "I3333\rKABCDE\r\x03\r";
        QCOMPARE(MainWindowRig::readFrom(rig.pty, record.size()), record);
        QTest::mouseClick(ui.BTN_OpenFile, Qt::LeftButton); // closes without a dialog
        QCOMPARE(ui.FileName->text(), QString());
    }

    // The filters read as the page names them; "All files" lists files without a dot too.
    void openDialogFilters() {
        QTemporaryDir dir;
        for (const char* name : {"route.txt", "route", "route.nmea"})
            std::ofstream(dir.filePath(name).toStdString()) << "$GPRMB\n";
        const auto dialog = MakeOpenDialog(FilePage::OpenDialogFilter, 1);
        dialog->setOption(QFileDialog::DontUseNativeDialog, true);
        dialog->setDirectory(dir.path());
        const auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        QVERIFY(types);
        QCOMPARE(types->itemText(0), QString("Text files (*.txt)"));
        QCOMPARE(types->itemText(1), QString("All files (*.*)"));
        QCOMPARE(types->itemText(2), QString("NMEA logs (*.nmea *.nmc *.log *.txt)"));
        QCOMPARE(types->itemText(3), QString("Aviation records (*.avi)"));
        const auto shown = [&dialog] {
            const auto* view = dialog->findChild<QListView*>("listView");
            QStringList names;
            for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
                names << view->model()->index(row, 0, view->rootIndex()).data().toString();
            names.sort();
            return names;
        };
        dialog->show();
        QTRY_COMPARE(shown(), QStringList({"route.txt"}));
        dialog->selectNameFilter(QtNameFilters(FilePage::OpenDialogFilter)[1]);
        QTRY_COMPARE(shown(), QStringList({"route", "route.nmea", "route.txt"}));
        dialog->selectNameFilter(QtNameFilters(FilePage::OpenDialogFilter)[2]);
        QTRY_COMPARE(shown(), QStringList({"route.nmea", "route.txt"}));
    }
};

QTEST_MAIN(FilePageTest)
#include "FilePageTest.moc"
