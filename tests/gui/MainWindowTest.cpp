#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTextLayout>

#include "app/OutputOptionsDialog.h"
#include "emulator/AviationRecord.h"
#include "emulator/NmeaSentences.h"
#include "gui/MainWindowRig.h"

namespace {
const std::string Rmb = "$GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*40";
const std::string Rmc = "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*2F";
const std::string FirstTick = Rmb + "\r\n" + Rmc + "\r\n";

// The status bar's fields as the user reads them, after a refresh.
QStringList statusTexts(MainWindowRig& rig) {
    rig.window->refreshStatus();
    QStringList texts;
    for (const char* name :
         {"StatusPort", "StatusBaud", "StatusSent", "StatusDropped", "StatusLoad"})
        texts << rig.window->findChild<QLabel*>(name)->text();
    return texts;
}

// Where each row of the terminal stands, and whether the pane shows them all unscrolled with
// the newest as the last visible row.
QList<int> rowTops(MainWindowRig& rig) {
    QTextEdit* t = rig.ui().TerminalWin;
    QList<int> tops;
    for (QTextBlock b = t->document()->firstBlock(); b.isValid(); b = b.next())
        tops << qRound(t->document()->documentLayout()->blockBoundingRect(b).top());
    return tops;
}
bool allRowsShown(MainWindowRig& rig) {
    QTextEdit* t = rig.ui().TerminalWin;
    const QRectF last =
        t->document()->documentLayout()->blockBoundingRect(t->document()->lastBlock());
    return t->verticalScrollBar()->value() == 0 && last.bottom() <= t->viewport()->height();
}

void showAndActivate(TMainWin& w) {
    w.show();
    w.activateWindow();
    if (!QTest::qWaitForWindowActive(&w, 2000))
        w.FormActivate(); // platforms without window activation
}
} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void firstTickPutsBothSentencesOnTheLine() {
        MainWindowRig rig;
        rig.emulator.writer().flush();
        const termios t = rig.pty.slaveTermios();
        QCOMPARE(cfgetospeed(&t), static_cast<speed_t>(B4800));
        showAndActivate(*rig.window);
        QVERIFY(rig.box.shown.empty());
        QCOMPARE(rig.window->windowTitle(), QString("Tarrow GPS Receiver Emulator"));
        QCOMPARE(statusTexts(rig).last(), QString("Load -"));
        QCOMPARE(rig.readLine1(FirstTick.size()), FirstTick);
        rig.emulator.writer().flush();
        // 134 bytes of ten bits in one second of 4800 baud.
        QCOMPARE(statusTexts(rig),
                 QStringList({QString::fromStdString("COM1: " + rig.pty.slavePath + " open"),
                              "4800 baud", "Sent 134 bytes", "Dropped 0", "Load 28%"}));
        QCOMPARE(rig.terminalLines(),
                 QStringList({QString::fromStdString(Rmb), QString::fromStdString(Rmc)}));
        QCOMPARE(rig.ui().EB_Track->text(), QString("0.0"));
        QCOMPARE(rig.ui().EB_Value->text(), QString("0.0"));
        QCOMPARE(rig.ui().EB_Flow->text(), QString("10.0"));
    }

    void firstRunWritesDefaultsAndOpensCom1() {
        MainWindowRig rig(nullptr);
        QVERIFY(rig.box.shown.empty());
        std::ifstream in(rig.confPath());
        const std::string conf((std::istreambuf_iterator<char>(in)), {});
        QCOMPARE(conf, std::string("Port=1\nCompatibility=1\n"));
        QVERIFY(rig.state.portHandle != InvalidPort);
        QCOMPARE(rig.state.portIndex, std::uint8_t{0});
    }

    void storedPortThreeOpensCom3() {
        MainWindowRig rig("Port=3\nCompatibility=0\n");
        QVERIFY(rig.box.shown.empty());
        QCOMPARE(rig.state.portIndex, std::uint8_t{2});
        QVERIFY(!rig.state.compatibility);
        showAndActivate(*rig.window);
        QCOMPARE(QByteArray::fromStdString(MainWindowRig::readFrom(rig.pty3, FirstTick.size())),
                 QByteArray::fromStdString(FirstTick));
        QCOMPARE(rig.pty.drain(), std::string());
    }

    // At the opening size each record takes one row; a narrower window wraps them.
    void recordsFitOneRowAtTheOpeningSize() {
        MainWindowRig rig;
        rig.window->timer1().stop();
        showAndActivate(*rig.window);
        const EmulatorState defaults;
        for (const std::string& record : {BuildRmbSentence(defaults), BuildRmcSentence(defaults),
                                          BuildAviationRecord(defaults)})
            rig.emulator.transmitter().TransmitLine(record.c_str(), 0);
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

    void missingPortIsReportedOnceAndRecordsStillEcho() {
        MainWindowRig rig("Port=1\nCompatibility=1\n", "/nonexistent/ttyUSB0");
        QCOMPARE(rig.box.shown.size(), std::size_t{1});
        QCOMPARE(rig.box.shown[0].text,
                 std::string("Can't open COM1:\n/nonexistent/ttyUSB0: no such device. Plug the "
                             "adapter in, or choose another device in Setup → Serial Port."));
        QCOMPARE(rig.box.shown[0].caption, std::string());
        QCOMPARE(rig.state.portHandle, InvalidPort);
        showAndActivate(*rig.window);
        QTRY_COMPARE_WITH_TIMEOUT(rig.terminalLines().size(), 2, 3000);
        QCOMPARE(rig.box.shown.size(), std::size_t{1});
        QCOMPARE(statusTexts(rig),
                 QStringList({"COM1: /nonexistent/ttyUSB0 not open", "no baud rate", "Sent 0 bytes",
                              "Dropped 0", "Load -"}));
    }

    void pauseFromMenuAndCheckBoxToggleOnce() {
        MainWindowRig rig;
        showAndActivate(*rig.window);
        rig.ui().MNU_Pause->trigger();
        QVERIFY(rig.state.paused);
        QVERIFY(rig.ui().MNU_Pause->isChecked());
        QVERIFY(rig.ui().BTN_Pause->isChecked());
        QCheckBox* box = rig.ui().BTN_Pause;
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        QVERIFY(!rig.state.paused);
        QVERIFY(!rig.ui().MNU_Pause->isChecked());
        QVERIFY(!rig.ui().BTN_Pause->isChecked());
        // While paused nothing reaches the line.
        rig.ui().MNU_Pause->trigger();
        QTest::qWait(1300);
        QCOMPARE(rig.pty.drain(), std::string());
        QVERIFY(rig.terminalLines().isEmpty());
    }

    void clearScreenAndResize() {
        MainWindowRig rig;
        showAndActivate(*rig.window);
        // The designed size leaves the terminal 505 pixels, 42 lines.
        QCOMPARE(rig.ui().TerminalWin->height(), 505);
        QCOMPARE(rig.emulator.terminal().LineHeight, std::uint16_t{12});
        for (int i = 0; i < 60; ++i)
            rig.emulator.transmitter().TransmitLine(("line " + std::to_string(i)).c_str(), 0);
        const int visible = rig.emulator.terminal().VisibleLines;
        QCOMPARE(visible, 42);
        QCOMPARE(rig.terminalLines().size(), visible);
        QCOMPARE(rig.terminalLines().last(), QString("line 59"));
        // Rows exactly LineHeight apart: the 42 lines kept fill the pane, none scrolled away.
        QList<int> expected;
        for (int i = 0; i < visible; ++i)
            expected << 12 * i;
        QCOMPARE(rowTops(rig), expected);
        QVERIFY(allRowsShown(rig));

        const QPoint pause = rig.ui().BTN_Pause->mapTo(rig.window.get(), QPoint());
        rig.window->resize(rig.window->width() + 30, rig.window->height() + 120);
        QTRY_COMPARE(rig.ui().TerminalWin->height(), 505 + 120);
        QCOMPARE(static_cast<int>(rig.emulator.terminal().VisibleLines), visible + 10);
        // Pause keeps its place under the pages, at the same distance from the right edge.
        QCOMPARE(rig.ui().BTN_Pause->mapTo(rig.window.get(), QPoint()), pause + QPoint(30, 0));

        rig.window->resize(rig.window->width() - 30, rig.window->height() - 360);
        QTRY_COMPARE(rig.ui().TerminalWin->height(), 505 - 240);
        QTRY_COMPARE(static_cast<int>(rig.emulator.terminal().VisibleLines), visible - 20);
        rig.emulator.transmitter().TransmitLine("after shrink", 0);
        QCOMPARE(rig.terminalLines().size(), visible - 20);
        QVERIFY(allRowsShown(rig));

        rig.ui().MNU_ClearScreen->trigger();
        QVERIFY(rig.terminalLines().isEmpty());
        QCOMPARE(static_cast<int>(rig.emulator.terminal().VisibleLines), visible - 20);
        rig.emulator.transmitter().TransmitLine("first", 0);
        QCOMPARE(rig.terminalLines(), QStringList{"first"});
    }

    void aviationRecordIsOneTerminalLine() {
        MainWindowRig rig;
        rig.state.format = OutputFormat::Aviation;
        rig.emulator.transmitter().TransmitLine("\x02"
                                                "A\rB\x03",
                                                0);
        QCOMPARE(rig.terminalLines().size(), 1);
        QCOMPARE(rig.pty.read(5), std::string("\x02"
                                              "A\rB\x03"));
    }

    void aboutBoxAndManual() {
        MainWindowRig rig;
        rig.ui().About1->trigger();
        QCOMPARE(rig.box.shown.size(), std::size_t{1});
        QCOMPARE(rig.box.shown[0].caption, std::string("About"));
        QVERIFY(rig.box.shown[0].text.starts_with("Tarrow Version 7.1.1\r\n"));
        QVERIFY(rig.box.shown[0].text.find("Licence:") != std::string::npos);
        QVERIFY(rig.box.shown[0].text.ends_with("docs/Tarrow7.html"));
        // The manual opens in the program's own window, and its links work there.
        rig.ui().R1->trigger();
        QTextBrowser* help = rig.window->helpWindow();
        QVERIFY(help && help->isVisible());
        QVERIFY(help->toPlainText().contains("Try it") ||
                help->toPlainText().contains("Status bar"));
        QCOMPARE(rig.box.shown.size(), std::size_t{1});
    }

    // Ctrl+C copies what is selected in the terminal, and clears it when nothing is; the
    // context menu saves what the terminal shows.
    void terminalCopyAndSave() {
        MainWindowRig rig;
        rig.window->timer1().stop();
        showAndActivate(*rig.window);
        for (const char* line : {"$GPRMB,one", "$GPRMC,two"})
            rig.emulator.transmitter().TransmitLine(line, 0);
        QTextEdit* terminal = rig.ui().TerminalWin;
        terminal->setFocus();
        terminal->selectAll();
        QTest::keyClick(terminal, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("$GPRMB,one\n$GPRMC,two"));
        QCOMPARE(rig.terminalLines().size(), 2);
        const QString file = rig.dir.filePath("shown.txt");
        QVERIFY(rig.window->saveTerminal(file));
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("$GPRMB,one\n$GPRMC,two\n"));
        std::unique_ptr<QMenu> menu(rig.window->terminalMenu());
        QStringList actions;
        for (QAction* a : menu->actions())
            if (!a->isSeparator())
                actions << a->text().remove('&').section('\t', 0, 0);
        QVERIFY(actions.contains("Copy") && actions.contains("Select All") &&
                actions.contains("Save As…"));
        terminal->moveCursor(QTextCursor::End); // no selection
        QTest::keyClick(terminal, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(rig.terminalLines().isEmpty());
    }

    // A fault switched on changes the next record, the echo and the status bar; all off gives
    // the exact default records back.
    void outputOptionsActOnTheNextRecord() {
        MainWindowRig rig;
        rig.window->timer1().stop();
        showAndActivate(*rig.window);
        rig.ui().MNU_OutputOptions->trigger();
        OutputOptionsDialog& dialog = rig.window->outputOptions();
        QVERIFY(dialog.isVisible() && !dialog.isModal());
        auto* faults = rig.window->findChild<QLabel*>("StatusFaults");
        QVERIFY(!faults->isVisible());

        dialog.findChild<QCheckBox*>("FLT_Invalid")->click();
        dialog.findChild<QSpinBox*>("FLT_CutAfter")->setValue(12);
        dialog.findChild<QCheckBox*>("FLT_Cut")->click();
        QVERIFY(faults->isVisible());
        QCOMPARE(faults->text(), QString("FAULTS ON: invalid, cut:12"));
        rig.emulator.Timer1Timer();
        QCOMPARE(rig.readLine1(28), std::string("$GPRMB,V,1.2\r\n$GPRMC,11562\r\n"));
        QCOMPARE(rig.terminalLines(), QStringList({"$GPRMB,V,1.2", "$GPRMC,11562"}));

        dialog.findChild<QPushButton*>("FLT_AllOff")->click();
        QVERIFY(!faults->isVisible());
        rig.emulator.Timer1Timer();
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
