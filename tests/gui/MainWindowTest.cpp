// The main window's wiring on real widgets and a pseudo-terminal: each control reaches its
// handler and the engine, each output reaches its widget. The rules are the core's tests.
#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolButton>
#include <clocale>
#include <functional>

#include "app/OutputOptionsDialog.h"
#include "formats/AviationRecord.h"
#include "formats/NmeaSentences.h"
#include "gui/MainWindowRig.h"

namespace {
const std::string Rmb = "$GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*40";
const std::string Rmc = "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*2F";
const std::string FirstTick = Rmb + "\r\n" + Rmc + "\r\n";

QStringList statusTexts(MainWindowRig& rig) {
    rig.window->refreshStatus();
    QStringList texts;
    for (const char* name :
         {"StatusPort", "StatusBaud", "StatusSent", "StatusDropped", "StatusLoad"})
        texts << rig.window->findChild<QLabel*>(name)->text();
    return texts;
}

void showAndActivate(TMainWin& w) {
    w.show();
    w.activateWindow();
    if (!QTest::qWaitForWindowActive(&w, 2000))
        w.FormActivate(); // platforms without window activation
}

void typeAndEnter(QLineEdit* edit, const char* text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

speed_t lineSpeed(MainWindowRig& rig) {
    rig.emulator.writer().flush();
    const termios t = rig.pty.slaveTermios();
    return cfgetospeed(&t);
}
} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void firstTickPutsBothSentencesOnTheLine() {
        MainWindowRig rig;
        QCOMPARE(lineSpeed(rig), speed_t{B4800});
        showAndActivate(*rig.window);
        QVERIFY(rig.box.shown.empty());
        QCOMPARE(rig.window->windowTitle(), QString("Tarrow GPS Receiver Emulator"));
        QCOMPARE(rig.readLine1(FirstTick.size()), FirstTick);
        rig.emulator.writer().flush();
        // 134 bytes of ten bits in one second of 4800 baud.
        QCOMPARE(statusTexts(rig),
                 QStringList({QString::fromStdString("COM1: " + rig.pty.slavePath + " open"),
                              "4800 baud", "Sent 134 bytes", "Dropped 0", "Load 28%"}));
        QCOMPARE(rig.terminalLines(),
                 QStringList({QString::fromStdString(Rmb), QString::fromStdString(Rmc)}));
        QCOMPARE(rig.ui().EB_Value->text(), QString("0.0"));
        QCOMPARE(rig.ui().EB_Flow->text(), QString("10.0"));
    }

    void missingPortIsReportedOnceAndRecordsStillEcho() {
        MainWindowRig rig("Port=1\nCompatibility=1\n", "/nonexistent/ttyUSB0");
        QCOMPARE(rig.box.texts(), std::vector<std::string>{
                                      "Can't open COM1:\n/nonexistent/ttyUSB0: no such device. "
                                      "Plug the adapter in, or choose another device in Setup → "
                                      "Serial Port."});
        showAndActivate(*rig.window);
        QTRY_COMPARE_WITH_TIMEOUT(rig.terminalLines().size(), 2, 3000);
        QCOMPARE(rig.box.shown.size(), std::size_t{1});
        QCOMPARE(statusTexts(rig).mid(0, 2),
                 QStringList({"COM1: /nonexistent/ttyUSB0 not open", "no baud rate"}));
    }

    // One row per control of the Simulator page: what the user does, and where it shows.
    void everySimulatorControlReachesTheEngine() {
        MainWindowRig rig;
        rig.window->timer1().stop();
        showAndActivate(*rig.window);
        auto& ui = rig.ui();
        const SimulatorValues& v = rig.emulator.simulator().values();
        const auto click = [](QAbstractButton* b) { clickIndicator(b); };
        const std::tuple<const char*, std::function<void()>, std::function<bool()>> rows[] = {
            {"XTE Value", [&] { click(ui.XTE_Value); },
             [&] {
                 return v.xteMode == XteMode::Value && QApplication::focusWidget() == ui.EB_Value;
             }},
            {"EB_Value", [&] { typeAndEnter(ui.EB_Value, "12"); },
             [&] { return v.xteValue == 9.99f && ui.EB_Value->text() == "9.99"; }},
            {"UpDown1", [&] { QTest::mouseClick(ui.UpDown1->downButton(), Qt::LeftButton); },
             [&] { return ui.EB_Value->text() == "9.89"; }},
            {"EB_Track", [&] { typeAndEnter(ui.EB_Track, "-12.3"); },
             [&] {
                 return v.trackTenths == 3477 && QApplication::focusWidget() == ui.BTN_Heading;
             }},
            {"UpDown2", [&] { QTest::mouseClick(ui.UpDown2->upButton(), Qt::LeftButton); },
             [&] { return ui.EB_Track->text() == "348.7"; }},
            {"EB_Speed", [&] { typeAndEnter(ui.EB_Speed, "600"); }, [&] { return v.speed == 500; }},
            {"UpDown3", [&] { QTest::mouseClick(ui.UpDown3->downButton(), Qt::LeftButton); },
             [&] { return ui.EB_Speed->text() == "499"; }},
            {"BTN_Course", [&] { click(ui.BTN_Course); },
             [&] { return !v.courseOn && !ui.GroupXTE->isEnabled(); }},
            {"BTN_Heading", [&] { click(ui.BTN_Heading); },
             [&] { return !v.headingOn && !ui.EB_Track->isEnabled(); }},
            {"Format", [&] { click(ui.Format_Aviation); },
             [&] { return v.format == OutputFormat::Aviation && lineSpeed(rig) == B9600; }},
            {"BTN_FlowEna", [&] { click(ui.BTN_FlowEna); },
             [&] {
                 return rig.emulator.pulses().enabled() && rig.emulator.pulses().period() == 2;
             }},
            {"EB_Flow", [&] { typeAndEnter(ui.EB_Flow, "4"); },
             [&] { return rig.emulator.pulses().period() == 5; }},
            {"UpDown4", [&] { QTest::mouseClick(ui.UpDown4->downButton(), Qt::LeftButton); },
             [&] { return ui.EB_Flow->text() == "3.9" && rig.emulator.pulses().period() == 5; }},
        };
        for (const auto& [name, act, shows] : rows) {
            act();
            QVERIFY2(shows(), name);
        }
        // A refused text: one box, nothing changes.
        typeAndEnter(ui.EB_Flow, "fast");
        QCOMPARE(rig.emulator.pulses().period(), 5);
        QCOMPARE(rig.box.texts(),
                 std::vector<std::string>{"'fast' is not a valid floating point value"});
    }

    void commaLocaleEdits() {
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
            QSKIP("de_DE.UTF-8 locale not installed");
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        {
            MainWindowRig rig;
            showAndActivate(*rig.window);
            clickIndicator(rig.ui().XTE_Value);
            typeAndEnter(rig.ui().EB_Value, "2,5");
            QCOMPARE(rig.ui().EB_Value->text(), QString("2,50"));
            typeAndEnter(rig.ui().EB_Speed, "1.500"); // grouping is refused, not read as 1500
            QCOMPARE(rig.emulator.simulator().values().speed, 150.0f);
            rig.pty.drain();
            const std::string rmb =
                "$GPRMB,A,2.500,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*5F\r\n";
            QCOMPARE(MainWindowRig::readFrom(rig.pty, rmb.size()).substr(0, rmb.size()), rmb);
        }
        QLocale::setDefault(QLocale::c());
        std::setlocale(LC_ALL, "C");
    }

    // The File page's controls, a replay through the window, and its read-outs.
    void filePageControlsAndAReplay() {
        MainWindowRig rig;
        showAndActivate(*rig.window);
        auto& ui = rig.ui();
        RunLoop& loop = rig.emulator.runLoop();
        Replay& replay = rig.emulator.replay();
        ui.TAB_main->setCurrentIndex(1);
        QVERIFY(loop.page() == Page::File && loop.isPaused() && ui.BTN_Pause->isChecked());
        clickIndicator(ui.FileType_Aviation);
        QVERIFY(!replay.fileIsNmea());
        clickIndicator(ui.FileType_Nmea);
        clickIndicator(ui.CheckBoxLoop);
        QVERIFY(replay.loops());
        QTest::mouseClick(ui.UpDown_lps->downButton(), Qt::LeftButton);
        QVERIFY(replay.recordsPerTickSetting() == 24 && ui.EDIT_chunks->text() == "24");
        ui.EDIT_trigger->clear();
        QTest::keyClicks(ui.EDIT_trigger, "gprmb");
        QCOMPARE(replay.triggerText(), std::string("GPRMB"));
        QTest::mouseClick(ui.UpDown_sec->upButton(), Qt::LeftButton);
        QCOMPARE(ui.EDIT_SecPause->text(), QString("2"));
        QTRY_COMPARE_WITH_TIMEOUT(loop.periodSeconds(), 2.0, 2500);

        const std::string file = TARROW_TEST_DATA_DIR "/playback/groups_crlf.nmea";
        rig.window->openDialog() = [file](const std::string& filter, int index) {
            const bool asked = filter == FilePage::OpenDialogFilter && index == 1;
            return asked ? std::optional<std::string>(file) : std::nullopt;
        };
        QTest::mouseClick(ui.BTN_OpenFile, Qt::LeftButton);
        QCOMPARE(ui.FileName->text(), QString("groups_crlf.nmea"));
        QCOMPARE(ui.BTN_OpenFile->text(), QString("Close file"));
        rig.pty.drain();
        clickIndicator(ui.BTN_Pause);
        const std::string tick1 =
            "$GPRMC,123517,A,4807.038,N,01131.000,E,145.0,084.4,230394,003.1,W*60\r\n"
            "$GPRMB,A,0.66,L,WPT1,DST,4917.24,N,12309.57,W,1.4,052.5,150.0,V*00\r\n"
            "$GPRMC,123519,A,4807.038,N,01131.000,E,150.0,084.4,230394,003.1,W*6A\r\n";
        QCOMPARE(MainWindowRig::readFrom(rig.pty, tick1.size(), 4000), tick1);
        QCOMPARE(ui.EDIT_speed->text(), QString(" 150.0kt"));
        QCOMPARE(ui.EDIT_range->text(), QString("  1.40nm"));
        QCOMPARE(ui.EDIT_WaypointID->text(), QString("DST"));
        QTest::mouseClick(ui.BTN_OpenFile, Qt::LeftButton);
        QVERIFY(!replay.isOpen() && ui.FileName->text().isEmpty());
        ui.TAB_main->setCurrentIndex(0);
        QVERIFY(loop.page() == Page::Simulator && !loop.isPaused()); // as before the File page
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
        QCOMPARE(types->itemText(1), QString("All files (*.*)"));
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
    }

    void pauseFromMenuAndCheckBoxToggleOnce() {
        MainWindowRig rig;
        showAndActivate(*rig.window);
        rig.ui().MNU_Pause->trigger();
        QVERIFY(rig.emulator.runLoop().isPaused() && rig.ui().BTN_Pause->isChecked());
        clickIndicator(rig.ui().BTN_Pause);
        QVERIFY(!rig.emulator.runLoop().isPaused() && !rig.ui().MNU_Pause->isChecked());
    }

    // The terminal keeps as many lines as its height holds, rows LineHeight apart, unscrolled;
    // Clear Screen empties it.
    void clearScreenAndResize() {
        MainWindowRig rig;
        rig.window->timer1().stop();
        showAndActivate(*rig.window);
        QCOMPARE(rig.ui().TerminalWin->height(), 505);
        for (int i = 0; i < 60; ++i)
            rig.emulator.output().TransmitLine(("line " + std::to_string(i)).c_str(), 0);
        QCOMPARE(rig.terminalLines().size(), 42);
        const QTextDocument* doc = rig.ui().TerminalWin->document();
        QCOMPARE(qRound(doc->documentLayout()->blockBoundingRect(doc->lastBlock()).top()), 41 * 12);
        rig.window->resize(rig.window->width(), rig.window->height() + 120);
        QTRY_COMPARE(static_cast<int>(rig.emulator.terminal().VisibleLines), 52);
        rig.ui().MNU_ClearScreen->trigger();
        QVERIFY(rig.terminalLines().isEmpty());
        rig.emulator.output().TransmitLine("first", 0);
        QCOMPARE(rig.terminalLines(), QStringList{"first"});
    }

    // At the opening size each record takes one row; a narrower window wraps them.
    void recordsFitOneRowAtTheOpeningSize() {
        MainWindowRig rig;
        rig.window->timer1().stop();
        showAndActivate(*rig.window);
        const SimulatorValues defaults;
        for (const std::string& record : {BuildRmbSentence(defaults), BuildRmcSentence(defaults),
                                          BuildAviationRecord(defaults)})
            rig.emulator.output().TransmitLine(record.c_str(), 0);
        const auto rows = [&rig] {
            QList<int> counts;
            for (QTextBlock b = rig.ui().TerminalWin->document()->firstBlock(); b.isValid();
                 b = b.next())
                counts << b.layout()->lineCount();
            return counts;
        };
        QTRY_COMPARE(rows(), QList<int>({1, 1, 1}));
        rig.window->resize(rig.window->width() - 150, rig.window->height());
        QTRY_VERIFY(rows().first() > 1);
    }

    void aboutManualCopyAndSave() {
        MainWindowRig rig;
        rig.window->timer1().stop();
        rig.ui().About1->trigger();
        QCOMPARE(rig.box.shown.at(0).caption, std::string("About"));
        QVERIFY(rig.box.shown[0].text.starts_with("Tarrow Version 7.1.1\r\n"));
        rig.ui().R1->trigger();
        QVERIFY(rig.window->helpWindow() && rig.window->helpWindow()->isVisible());
        showAndActivate(*rig.window);
        for (const char* line : {"$GPRMB,one", "$GPRMC,two"})
            rig.emulator.output().TransmitLine(line, 0);
        QTextEdit* terminal = rig.ui().TerminalWin;
        terminal->setFocus();
        terminal->selectAll();
        QTest::keyClick(terminal, Qt::Key_C, Qt::ControlModifier); // copies what is selected
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("$GPRMB,one\n$GPRMC,two"));
        const QString file = rig.dir.filePath("shown.txt");
        QVERIFY(rig.window->saveTerminal(file));
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("$GPRMB,one\n$GPRMC,two\n"));
        terminal->moveCursor(QTextCursor::End);
        QTest::keyClick(terminal, Qt::Key_C, Qt::ControlModifier); // and clears without one
        QVERIFY(rig.terminalLines().isEmpty());
    }

    // A fault switched on changes the next record and the status bar; all off gives the
    // default records back.
    void outputOptionsReachTheNextTick() {
        MainWindowRig rig;
        rig.window->timer1().stop();
        showAndActivate(*rig.window);
        rig.ui().MNU_OutputOptions->trigger();
        OutputOptionsDialog& dialog = rig.window->outputOptions();
        auto* faults = rig.window->findChild<QLabel*>("StatusFaults");
        dialog.findChild<QCheckBox*>("FLT_Invalid")->click();
        dialog.findChild<QSpinBox*>("FLT_CutAfter")->setValue(12);
        dialog.findChild<QCheckBox*>("FLT_Cut")->click();
        QCOMPARE(faults->text(), QString("FAULTS ON: invalid, cut:12"));
        RunLoop& loop = rig.emulator.runLoop();
        loop.serve(loop.nextTick());
        QCOMPARE(rig.readLine1(28), std::string("$GPRMB,V,1.2\r\n$GPRMC,11562\r\n"));
        dialog.findChild<QPushButton*>("FLT_AllOff")->click();
        QVERIFY(!faults->isVisible());
        rig.emulator.writer().flush();
        loop.serve(loop.nextTick());
        QCOMPARE(rig.readLine1(FirstTick.size()), FirstTick);
    }

    void exitClosesThePort() {
        MainWindowRig rig;
        showAndActivate(*rig.window);
        rig.ui().Exit1->trigger();
        QVERIFY(!rig.window->isVisible());
        PosixSerialDevice other([&](const std::string&) { return rig.pty.slavePath; });
        const PortHandle again = other.open("COM1:");
        QVERIFY(again != InvalidPort);
        other.close(again);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
