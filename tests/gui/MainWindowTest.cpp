// The main window's wiring on real widgets and a pseudo-terminal: each control reaches its
// handler and the engine, each output reaches its widget. The rules are the core's tests.
#include "control/ControlProtocol.h"
#include "formats/AviationRecord.h"
#include "gui/MainWindowRig.h"

namespace {
const std::string Rmb = "$GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*40";
const std::string Rmc = "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*2F";
const std::string FirstTick = Rmb + "\r\n" + Rmc + "\r\n";

// The status bar's fields, each followed by "|"; whole, as their tool tips hold them.
QString statusBar(MainWindowRig& rig) {
    rig.window->refreshStatus();
    QString texts;
    for (const QLabel* label : rig.ui().StatusBar1->findChildren<QLabel*>()) {
        const auto* field = dynamic_cast<const StatusField*>(label);
        texts += (field ? field->wholeText() : label->text()) + "|";
    }
    return texts;
}

// What the user does with a control: types `input` and Enter into an edit; clicks an arrow
// ("up" or "down"), a button or a box; picks a menu item; chooses page `input`.
void use(QObject* control, const char* input) {
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        typeAndEnter(edit, input);
    else if (auto* arrows = qobject_cast<StepButtons*>(control))
        press(*input == 'u' ? arrows->upButton() : arrows->downButton());
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        press(button);
    else if (auto* action = qobject_cast<QAction*>(control))
        action->trigger();
    else
        qobject_cast<QTabWidget*>(control)->setCurrentIndex(std::atoi(input));
}
} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    // The first tick on the line, in the status bar and the terminal; then a fault switched on
    // changes the next record and the status bar, and all off gives the default records back.
    void startUpAndOutputOptions() {
        MainWindowRig rig;
        QCOMPARE(rig.lineSpeed(), speed_t{B4800});
        showAndActivate(*rig.window);
        std::string line; // the first tick, from Timer1
        QTRY_COMPARE(line += rig.pty.drain(), FirstTick);
        rig.window->timer1().stop();
        rig.emulator.writer().flush();
        QCOMPARE(statusBar(rig),
                 QString::fromStdString("COM1: " + rig.pty.slavePath +
                                        " open|4800 baud|Sent 134 bytes|Dropped 0|Load 28%|||"));
        QCOMPARE(rig.terminalLines(), QString::fromStdString(Rmb + "\n" + Rmc).split('\n'));
        QVERIFY(rig.ui().EB_Value->text() == "0.0" && rig.ui().EB_Flow->text() == "10.0" &&
                rig.box.shown.empty());

        rig.ui().MNU_OutputOptions->trigger();
        OutputOptionsDialog& dialog = rig.window->outputOptions();
        press(dialog.findChild<QCheckBox*>("FLT_Invalid"));
        dialog.findChild<QSpinBox*>("FLT_CutAfter")->setValue(12);
        press(dialog.findChild<QCheckBox*>("FLT_Cut"));
        QVERIFY(statusBar(rig).endsWith("|FAULTS ON: invalid, cut:12||"));
        RunLoop& loop = rig.emulator.runLoop();
        loop.serve(loop.nextTick());
        QCOMPARE(rig.pty.read(28), std::string("$GPRMB,V,1.2\r\n$GPRMC,11562\r\n"));
        press(dialog.findChild<QPushButton*>("FLT_AllOff"));
        QVERIFY(!rig.window->findChild<QLabel*>("StatusFaults")->isVisible());
        rig.emulator.writer().flush();
        loop.serve(loop.nextTick());
        QCOMPARE(rig.pty.read(FirstTick.size()), FirstTick);

        // A position of its own, moving, and an added sentence after the two.
        dialog.findChild<QDoubleSpinBox*>("OPT_Latitude")->setValue(-33.5);
        press(dialog.findChild<QPushButton*>("OPT_SetPosition"));
        press(dialog.findChild<QCheckBox*>("OPT_ZDA"));
        press(dialog.findChild<QCheckBox*>("OPT_Moving"));
        QVERIFY(rig.emulator.simulator().isMoving());
        rig.emulator.writer().flush();
        loop.serve(loop.nextTick());
        const std::string added =
            Rmb + "\r\n$GPRMC,115622.34,A,3330.0000,S,12240.2000,W,150.0,000.0,061195,7.0,E,A*33" +
            "\r\n$GPZDA,115622.34,06,11,1995,00,00*60\r\n";
        QCOMPARE(rig.pty.read(added.size()), added);

        press(dialog.findChild<QCheckBox*>("OPT_AllSentences"));
        dialog.findChild<QComboBox*>("OPT_Pace")->setCurrentIndex(2);
        const Replay& replay = rig.emulator.replay();
        QVERIFY(replay.sendsAllSentences() && replay.pace() == ReplayPace::None);
    }

    // A change from the control socket shows in the edits and check boxes as if typed, so the
    // next activation, which reads the check boxes back, keeps it.
    void aControlRequestShowsInTheControls() {
        MainWindowRig rig;
        rig.window->timer1().stop();
        showAndActivate(*rig.window);
        ControlProtocol protocol(rig.emulator, "tarrow", "test");
        protocol.onChanged([&rig] { rig.window->showEngineValues(); });
        ClientState client;
        const std::string answer = protocol.handle(
            R"({"cmd":"set","xte":-0.5,"track":12.3,"speed":99,"heading":false,"format":"aviation"})",
            client);
        QVERIFY2(answer.find(R"("ok":true)") != std::string::npos, answer.c_str());
        protocol.handle(R"({"cmd":"pause","on":true})", client);
        protocol.handle(R"({"cmd":"flow","on":true,"rate":2.5})", client);
        auto& ui = rig.ui();
        QCOMPARE(ui.EB_Value->text(), QLocale().toString(-0.5, 'f', 2));
        QCOMPARE(ui.EB_Track->text(), QLocale().toString(12.3, 'f', 1));
        QCOMPARE(ui.EB_Speed->text(), QString("99"));
        QVERIFY(ui.XTE_Value->isChecked() && ui.EB_Value->isEnabled());
        QVERIFY(ui.Format_Aviation->isChecked());
        QVERIFY(!ui.BTN_Heading->isChecked() && !ui.EB_Track->isEnabled());
        QVERIFY(ui.BTN_Pause->isChecked() && ui.BTN_FlowEna->isChecked());
        QCOMPARE(ui.EB_Flow->text(), QLocale().toString(2.5, 'f', 1));
        rig.window->FormActivate();
        QVERIFY(!rig.emulator.simulator().values().headingOn);

        // A replay asked for shows its page and settings, which the tab's change must not undo.
        protocol.handle(R"({"cmd":"replay","file":")" TARROW_TEST_DATA_DIR
                        R"(/playback/groups_lf.nmea","trigger":"gprmc","records":7,"loop":true})",
                        client);
        QCOMPARE(ui.TAB_main->currentIndex(), 1);
        QCOMPARE(ui.EDIT_chunks->text(), QString("7"));
        QCOMPARE(ui.EDIT_trigger->text(), QString("GPRMC"));
        QVERIFY(ui.CheckBoxLoop->isChecked() && ui.BTN_OpenFile->text() == "Close file");
        const Replay& replay = rig.emulator.replay();
        QVERIFY(replay.recordsPerTickSetting() == 7 && replay.triggerText() == "GPRMC");
        QVERIFY(replay.loops() && replay.isOpen());
        protocol.handle(R"({"cmd":"replay_stop"})", client);
        QCOMPARE(ui.TAB_main->currentIndex(), 0);
        QVERIFY(!rig.emulator.replay().isOpen());
    }

    // One row per control of both pages, the tabs and the menus, in turn: what the user does
    // with it, and where that shows once the next tick is served.
    void everyControlReachesTheEngine() {
        MainWindowRig rig;
        rig.window->timer1().stop();
        showAndActivate(*rig.window);
        auto& ui = rig.ui();
        const SimulatorValues& v = rig.emulator.simulator().values();
        const PulseTimer& pulses = rig.emulator.pulses();
        RunLoop& loop = rig.emulator.runLoop();
        Replay& replay = rig.emulator.replay();
        const auto focused = [](QWidget* w) { return QApplication::focusWidget() == w; };
        const std::string file = TARROW_TEST_DATA_DIR "/playback/groups_crlf.nmea";
        rig.window->openDialog() = [file](const std::string& filter, int index) {
            const bool asked = filter == FilePage::OpenDialogFilter && index == 1;
            return asked ? std::optional<std::string>(file) : std::nullopt;
        };
        const auto text = [](auto* widget, const char* is) { return widget->text() == is; };
        const auto paused = [&] { return loop.isPaused() && ui.BTN_Pause->isChecked(); };
        // clang-format off
        const std::tuple<QObject*, const char*, std::function<bool()>> rows[] = {
            {ui.XTE_Value, "", [&] { return v.xteMode == XteMode::Value && focused(ui.EB_Value); }},
            {ui.EB_Value, "1.5", [&] { return v.xteValue == 1.5f && text(ui.EB_Value, "1.50"); }},
            {ui.UpDown1, "down", [&] { return text(ui.EB_Value, "1.40"); }},
            {ui.EB_Track, "12.3", [&] { return v.trackTenths == 123 && focused(ui.BTN_Heading); }},
            {ui.UpDown2, "up", [&] { return text(ui.EB_Track, "13.3"); }},
            {ui.EB_Speed, "200", [&] { return v.speed == 200; }},
            {ui.UpDown3, "down", [&] { return text(ui.EB_Speed, "199"); }},
            {ui.BTN_Course, "", [&] { return !v.courseOn && !ui.GroupXTE->isEnabled(); }},
            {ui.BTN_Heading, "", [&] { return !v.headingOn && !ui.EB_Track->isEnabled(); }},
            {ui.Format_Aviation, "",
             [&] { return v.format == OutputFormat::Aviation && rig.lineSpeed() == B9600; }},
            {ui.BTN_FlowEna, "", [&] { return pulses.enabled() && pulses.period() == 2; }},
            {ui.EB_Flow, "4", [&] { return pulses.period() == 5; }},
            {ui.UpDown4, "down", [&] { return text(ui.EB_Flow, "3.9"); }},
            {ui.EB_Flow, "fast", [&] { return pulses.period() == 5 && rig.box.texts() ==
                 std::vector<std::string>{"'fast' is not a valid floating point value"}; }},
            {ui.MNU_Pause, "", paused},
            {ui.MNU_ClearScreen, "", [&] { return rig.terminalLines().isEmpty(); }},
            {ui.TAB_main, "1", [&] { return loop.page() == Page::File && paused(); }},
            {ui.FileType_Aviation, "", [&] { return !replay.fileIsNmea(); }},
            {ui.FileType_Nmea, "", [&] { return replay.fileIsNmea(); }},
            {ui.CheckBoxLoop, "", [&] { return replay.loops(); }},
            {ui.UpDown_lps, "down",
             [&] { return replay.recordsPerTickSetting() == 24 && text(ui.EDIT_chunks, "24"); }},
            {ui.EDIT_trigger, "gprmc", [&] { return replay.triggerText() == "GPRMC"; }},
            {ui.UpDown_sec, "up",
             [&] { return text(ui.EDIT_SecPause, "2") && loop.periodSeconds() == 2; }},
            {ui.BTN_OpenFile, "", [&] { return text(ui.FileName, "groups_crlf.nmea") &&
                                               text(ui.BTN_OpenFile, "Close file"); }},
            // The trigger ends the replay's first tick before the second $GPRMC, at 150.0 kt.
            {ui.BTN_Pause, "", [&] { return !ui.MNU_Pause->isChecked() && ui.EDIT_speed->text() +
                 ui.EDIT_range->text() + ui.EDIT_WaypointID->text() == " 145.0kt  1.40nmDST"; }},
            {ui.BTN_OpenFile, "", [&] { return !replay.isOpen() && text(ui.FileName, ""); }},
            {ui.TAB_main, "0", [&] { return loop.page() == Page::Simulator && paused(); }},
            {ui.About1, "", [&] { return rig.box.shown.back().caption == "About"; }},
            {ui.R1, "",
             [&] { return rig.window->helpWindow() && rig.window->helpWindow()->isVisible(); }},
        };
        // clang-format on
        for (const auto& [control, input, shows] : rows) {
            use(control, input);
            rig.emulator.writer().flush(); // else the tick waits for the line
            loop.serve(loop.nextTick());
            rig.pty.drain();
            QVERIFY2(shows(), qPrintable(control->objectName() + " " + input));
        }
    }

    // A missing port: one box, the status bar says so, and the records still echo. Numbers are
    // typed with the user's decimal separator and no grouping: "1.500" is refused, not 1500.
    void missingPortAndCommaLocale() {
        MainWindowRig rig(Compat, "/nonexistent/ttyUSB0");
        showAndActivate(*rig.window);
        QTRY_COMPARE_WITH_TIMEOUT(rig.terminalLines().size(), 2, 3000);
        QVERIFY(
            rig.box.shown.size() == 1 &&
            rig.box.shown[0].text.starts_with("Can't open COM1:\n/nonexistent/ttyUSB0: no such"));
        QVERIFY(statusBar(rig).startsWith("COM1: /nonexistent/ttyUSB0 not open|no baud rate|"));
        // The rate cannot follow the format on no port; the box says what opens one.
        press(rig.ui().Format_Aviation);
        QCOMPARE(rig.box.shown.back().text,
                 std::string("Unable to configure the serial port\nCOM1: is not open: plug the "
                             "adapter in, or choose a device in Setup → Serial Port."));
        rig.box.shown.pop_back();
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
            QSKIP("de_DE.UTF-8 locale not installed");
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        press(rig.ui().XTE_Value);
        typeAndEnter(rig.ui().EB_Value, "2,5");
        typeAndEnter(rig.ui().EB_Speed, "1.500");
        QLocale::setDefault(QLocale::c());
        std::setlocale(LC_ALL, "C");
        QCOMPARE(rig.ui().EB_Value->text(), QString("2,50"));
        QCOMPARE(rig.emulator.simulator().values().xteValue, 2.5f);
        QCOMPARE(rig.emulator.simulator().values().speed, 150.0f);
        QCOMPARE(rig.box.shown.size(), std::size_t{2});
    }

    // The filters read as the page names them; the first lists the recordings too, "All
    // files" files without a dot. The first time the dialog shows the samples; afterwards the
    // folder it is given.
    void openDialogFilters() {
        const auto dialog = MakeOpenDialog(FilePage::OpenDialogFilter, 1);
        dialog->setOption(QFileDialog::DontUseNativeDialog, true);
        const auto* model = dialog->findChild<QFileSystemModel*>();
        const auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo");
        QCOMPARE(combo->itemText(0), QString("Text files (*.txt)"));
        QCOMPARE(combo->itemText(1), QString("All files (*.*)"));
        const auto listed = [&] {
            const QModelIndex root = model->index(dialog->directory().absolutePath());
            QStringList names;
            for (int row = 0; row < model->rowCount(root); ++row)
                if (!model->isDir(model->index(row, 0, root)))
                    names << model->index(row, 0, root).data().toString();
            names.sort();
            return names;
        };
        dialog->show();
        QTRY_COMPARE(listed(), QStringList({"approach.avi", "approach.nmea"}));
        dialog->selectNameFilter(QtNameFilters(FilePage::OpenDialogFilter)[1]);
        QCOMPARE(model->nameFilters(), QStringList{"*"});
        dialog->hide();
        // Cancelled in another folder, the dialog opens there the next time.
        QTemporaryDir elsewhere;
        QTimer::singleShot(0, [&elsewhere] {
            auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(shown);
            shown->setDirectory(elsewhere.path());
            shown->reject();
        });
        QString folder;
        QCOMPARE(RunQtOpenDialog(FilePage::OpenDialogFilter, 1, folder), std::nullopt);
        QCOMPARE(folder, QDir(elsewhere.path()).absolutePath());
        QCOMPARE(MakeOpenDialog(FilePage::OpenDialogFilter, 1, folder)->directory().absolutePath(),
                 folder);
    }

    // As many lines as the terminal's height holds, rows LineHeight apart, unscrolled; a record
    // takes one row at the opening width and wraps in a narrower window; nothing of the trimmed
    // lines is kept. Copy and save, Ctrl+C clearing, and Exit freeing the port.
    void terminalAndMenus() {
        MainWindowRig rig;
        rig.window->timer1().stop();
        showAndActivate(*rig.window);
        QTextEdit* terminal = rig.ui().TerminalWin;
        const QTextDocument* doc = terminal->document();
        const auto rows = [doc] {
            QList<int> counts;
            for (QTextBlock b = doc->begin(); b != doc->end(); b = b.next())
                counts << b.layout()->lineCount();
            return counts;
        };
        const auto send = [&rig](const std::string& line) {
            rig.emulator.output().TransmitLine(line.c_str(), 0);
        };
        for (const std::string& record : {Rmb, Rmc, BuildAviationRecord(SimulatorValues())})
            send(record);
        QTRY_COMPARE(rows(), QList<int>({1, 1, 1}));
        QCOMPARE(terminal->height(), 505);
        for (int i = 0; i < 60; ++i)
            send("line " + std::to_string(i));
        QCOMPARE(rig.terminalLines().size(), 42);
        QCOMPARE(qRound(doc->documentLayout()->blockBoundingRect(doc->lastBlock()).top()), 41 * 12);
        rig.window->resize(rig.window->width() - 150, rig.window->height() + 120);
        QTRY_COMPARE(static_cast<int>(rig.emulator.terminal().VisibleLines), 52);
        send(Rmb);
        QTRY_VERIFY(doc->lastBlock().layout()->lineCount() > 1);
        terminal->setFocus();
        terminal->moveCursor(QTextCursor::End);
        QTest::keyClick(terminal, Qt::Key_C, Qt::ControlModifier); // nothing selected: clears
        QVERIFY(rig.terminalLines().isEmpty());
        send("$GPRMB,one");
        send("$GPRMC,two");
        QCOMPARE(doc->availableUndoSteps(), 0); // lines come and go without a trace kept
        terminal->selectAll();
        QTest::keyClick(terminal, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("$GPRMB,one\n$GPRMC,two"));
        QFile saved(rig.dir.filePath("shown.txt"));
        QVERIFY(rig.window->saveTerminal(saved.fileName()) && saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("$GPRMB,one\n$GPRMC,two\n"));
        rig.ui().Exit1->trigger();
        QVERIFY(!rig.window->isVisible());
        PosixSerialDevice other([&](const std::string&) { return rig.pty.slavePath; });
        QVERIFY(other.open("COM1:") != InvalidPort); // free for another program
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
