// The Calibrate and Serial Port dialogs' wiring: every Apply button, one refusal of each kind,
// the compatibility box and the opening preset, OK, Cancel and the device choice.
#include "gui/MainWindowRig.h"

namespace {

const char* const Standard = "Port=1\nCompatibility=0\n";

// The output tick stopped, so only the dialogs' sentences reach the line.
struct Rig : MainWindowRig {
    explicit Rig(const char* conf = Compat) : MainWindowRig(conf) { window->timer1().stop(); }
    void openCalibrate() { window->ui().MNU_Calibrate->trigger(); }
    bool onTop() const { return calibrate->windowFlags().testFlag(Qt::WindowStaysOnTopHint); }
    // Opens the Serial Port dialog and clicks a port's and a baud rate's row.
    void choose(int port, int baud) {
        window->ui().SerialPort1->trigger();
        press(serialPort->portRows()->button(port));
        press(serialPort->baudRows()->button(baud));
    }
};

// An edit is typed into, a row clicked. `line` is what reaches the line, or the warning shown
// instead; `after` the edit's text, or whether the row is still chosen once shown again.
const struct ApplyRow {
    const char *conf, *control, *keys, *button, *line, *after;
} Applies[] = {
    {Compat, "ED_Offset", "7", "Offset_Apply", "$PZCAL7,P*0F\r\n", "    7"},
    {Standard, "ED_Dim", "3", "BTN_Dim_Apply", "$PZDIM,4*52\r\n", "3"},
    {Compat, "CourseRow2", "", "BTN_CGAIN_APPLY", "$PZGAN2,*5C\r\n", "on"},
    {Standard, "HeadingRow1", "", "BTN_HGain_apply", "$PZHGN,1*56\r\n", "on"},
    {Standard, "TypeRow1", "", "BTN_Type_Apply", "$PZTST,1*44\r\n", "on"},
    {Standard, "OKbrightRow1", "", "BTN_OKDIM_APPLY", "$PZEQP,255*50\r\n", "on"},
    {Standard, "EM_numbVP", "7", "BTN_numbWP", "$PZVWP,7*40\r\n", " 7"},
    // The mask drops the letter, the length limit the last digits.
    {Standard, "EM_anticipation", "1x2345", "BTN_anticipation", "$PZADV,123*45\r\n", "123"},
    {Standard, "EM_maxAngle", "45", "BTN_maxAngle", "$PZMXA,45*73\r\n", "45"},
    {Standard, "EM_maxTime", "5", "BTN_maxTime", "$PZMXD,5*42\r\n", " 5"},
    {Compat, "HeadingRow3", "", "BTN_HGain_apply", Coupler::NotForOldCouplers, "off"},
    {Compat, "EM_maxTime", "7", "BTN_maxTime", Coupler::OnlyForCamlinks, "7"},
};

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void applySendsItsSentenceOrRefuses_data() {
        QTest::addColumn<int>("row");
        for (const ApplyRow& r : Applies)
            QTest::addRow("%s %s", r.control, r.conf == Compat ? "compat" : "standard")
                << static_cast<int>(&r - Applies);
    }
    void applySendsItsSentenceOrRefuses() {
        QFETCH(int, row);
        const ApplyRow& r = Applies[row];
        const bool refused = r.line[0] != '$';
        Rig rig(r.conf);
        rig.openCalibrate();
        QVERIFY(rig.onTop() && !rig.calibrate->isModal());
        auto* edit = rig.calibrate->findChild<QLineEdit*>(r.control);
        auto* radio = rig.calibrate->findChild<QRadioButton*>(r.control);
        if (edit)
            edit->clear(), QTest::keyClicks(edit, r.keys);
        else
            press(radio);
        // Only Heading Gain takes the dialog off top while its warning is up.
        bool topWhileShown = false;
        rig.box.whileShown = [&] { topWhileShown = rig.onTop() && rig.calibrate->isVisible(); };
        press(rig.calibrate->findChild<QPushButton*>(r.button));
        // Two bytes more than expected: a line end where none belongs would show.
        QCOMPARE(rig.pty.read(std::strlen(r.line) + 2, 300), std::string(refused ? "" : r.line));
        QCOMPARE(rig.box.texts(), std::vector<std::string>(refused, r.line));
        QVERIFY(!refused || (rig.box.shown[0].caption == "Warning" &&
                             topWhileShown == (std::strcmp(r.button, "BTN_HGain_apply") != 0)));
        QVERIFY(rig.onTop() && rig.calibrate->isVisible());
        if (!edit) {
            press(rig.calibrate->ui().BTN_Done);
            rig.openCalibrate();
        }
        QCOMPARE(edit ? edit->text() : radio->isChecked() ? "on" : "off", QString(r.after));
    }

    // The box rules the next Apply's layout; showing the dialog again presets it from the
    // engine, but only from hidden to shown.
    void compatibilityBoxAndTheOpeningPreset() {
        Rig rig(Standard);
        rig.openCalibrate();
        auto& ui = rig.calibrate->ui();
        press(ui.CHKBOX_Compat);
        press(ui.Offset_Apply);
        QCOMPARE(rig.pty.read(15, 300), std::string("$PZCAL0,P*08\r\n")); // the compatible layout
        QVERIFY(rig.box.shown.empty());
        ui.ED_Offset->setText("77");
        rig.openCalibrate(); // already showing: only comes to the front
        QCOMPARE(ui.ED_Offset->text(), QString("77"));
        QTest::keyClick(rig.calibrate.get(), Qt::Key_Escape); // hides, as Done and the close box
        rig.openCalibrate();
        QCOMPARE(ui.ED_Offset->text(), QString("    0"));
    }

    // Cancel changes nothing; a port that will not open asks, and Cancel there keeps the old
    // port with the new rate; OK (the default button) switches to COM3; a port given a virtual
    // device opens on it.
    void serialPortChoices() {
        Rig rig;
        auto& ui = rig.serialPort->ui();
        rig.choose(2, 2);
        QCOMPARE(ui.PortDevice1->text(), QString("COM2: /nonexistent/tty2 (absent)"));
        press(ui.BTN_CANCEL);
        QVERIFY(rig.serialPort->isHidden() && rig.emulator.port().portIndex == 0);
        rig.box.answers = {MsgResult::Cancel};
        rig.window->ui().SerialPort1->trigger();
        QCOMPARE(rig.serialPort->portRows()->checkedId(), 0); // the engine's, not the cancelled
        rig.choose(1, 3);
        press(ui.BTN_OK);
        QVERIFY(rig.box.shown.at(0).text.starts_with("Can't open COM2:\n/nonexistent/tty2: no"));
        QVERIFY(rig.serialPort->isHidden() && rig.emulator.port().portIndex == 0 &&
                rig.emulator.port().baudChoice == 3);
        rig.choose(2, 0);
        QTest::keyClick(rig.serialPort.get(), Qt::Key_Return);
        QVERIFY(rig.serialPort->isHidden() && rig.emulator.port().portIndex == 2);
        rig.choose(1, 0);
        ui.DeviceChoice->setCurrentIndex(ui.DeviceChoice->findText("virtual (pseudo-terminal)"));
        press(ui.BTN_OK);
        QVERIFY(rig.serialPort->isHidden() && rig.emulator.port().portIndex == 1);
        QVERIFY(QFileInfo(rig.dir.filePath("links/COM2")).isSymLink() && rig.box.shown.size() == 1);
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
