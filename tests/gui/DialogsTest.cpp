// The Calibrate and Serial Port dialogs' wiring: every Apply button, one refusal of each kind,
// the compatibility box, OK, Retry and Cancel, and the device choice.
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include "gui/DialogsRig.h"

namespace {

const char* const Standard = "Port=1\nCompatibility=0\n";
const char* const Compat = "Port=1\nCompatibility=1\n";

// The rig with the output tick stopped, so only the dialogs' sentences reach the line.
struct Rig : DialogsRig {
    explicit Rig(const char* conf = Compat) : DialogsRig(conf) { window->timer1().stop(); }
    void openCalibrate() { window->ui().MNU_Calibrate->trigger(); }
    void openSerialPort() { window->ui().SerialPort1->trigger(); }
    bool onTop() const { return calibrate.windowFlags().testFlag(Qt::WindowStaysOnTopHint); }
    void choose(int port, int baud) {
        clickIndicator(serialPort.portRows()->button(port));
        clickIndicator(serialPort.baudRows()->button(baud));
    }
    void ok() { QTest::mouseClick(serialPort.ui().BTN_OK, Qt::LeftButton); }
    // Whether another program could take the port now (it is opened exclusively).
    bool isFree(PtyPair& line) {
        emulator.writer().flush();
        PosixSerialDevice other([&](const std::string&) { return line.slavePath; });
        const PortHandle h = other.open("COM1:");
        return h != InvalidPort && other.close(h);
    }
};

// `control` is an edit typed into or a row clicked first; `after` is the edit's text
// afterwards, or whether the row is still chosen once the dialog is shown again.
const struct ApplyRow {
    const char* name;
    bool compat;
    const char *control, *keys, *button;
    const char* line;    // exactly what reaches the line
    const char* message; // a warning shown instead
    const char* after;
} Applies[] = {
    {"offset", true, "ED_Offset", " 7xyz", "Offset_Apply", "$PZCAL7,P*0F\r\n", "", "    7"},
    {"dim", false, "ED_Dim", "12", "BTN_Dim_Apply", "$PZDIM,10*67\r\n", "", "9"},
    {"course", true, "CourseRow2", "", "BTN_CGAIN_APPLY", "$PZGAN2,*5C\r\n", "", "on"},
    {"heading", false, "HeadingRow1", "", "BTN_HGain_apply", "$PZHGN,1*56\r\n", "", "on"},
    {"type", false, "TypeRow1", "", "BTN_Type_Apply", "$PZTST,1*44\r\n", "", "on"},
    {"bright", false, "OKbrightRow1", "", "BTN_OKDIM_APPLY", "$PZEQP,255*50\r\n", "", "on"},
    {"waypoints", false, "EM_numbVP", "21", "BTN_numbWP", "$PZVWP,20*75\r\n", "", "20"},
    // The mask drops the letter, the length limit the last digits, the upper bound the rest.
    {"anticipation", false, "EM_anticipation", "2x0045", "BTN_anticipation", "$PZADV,127*41\r\n",
     "", "127"},
    {"max angle", false, "EM_maxAngle", "99", "BTN_maxAngle", "$PZMXA,90*7B\r\n", "", "90"},
    {"max time", false, "EM_maxTime", "-4", "BTN_maxTime", "$PZMXD,0*47\r\n", "", " 0"},
    {"heading refused", true, "HeadingRow3", "", "BTN_HGain_apply", "", Coupler::NotForOldCouplers,
     "off"},
    {"max time refused", true, "EM_maxTime", "7", "BTN_maxTime", "", Coupler::OnlyForCamlinks, "7"},
};

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void applySendsItsSentenceOrRefuses_data() {
        QTest::addColumn<int>("row");
        for (const ApplyRow& r : Applies)
            QTest::newRow(r.name) << static_cast<int>(&r - Applies);
    }
    void applySendsItsSentenceOrRefuses() {
        QFETCH(int, row);
        const ApplyRow& r = Applies[row];
        Rig rig(r.compat ? Compat : Standard);
        rig.openCalibrate();
        QVERIFY(rig.onTop() && !rig.calibrate.isModal());
        auto* edit = rig.calibrate.findChild<QLineEdit*>(r.control);
        auto* radio = rig.calibrate.findChild<QRadioButton*>(r.control);
        if (edit)
            typeInto(edit, r.keys);
        else
            clickIndicator(radio);
        // Only Heading Gain takes the dialog off top while its warning is up.
        bool topWhileShown = false;
        rig.box.whileShown = [&] { topWhileShown = rig.onTop() && rig.calibrate.isVisible(); };
        QTest::mouseClick(rig.calibrate.findChild<QPushButton*>(r.button), Qt::LeftButton);
        // Two bytes more than expected: a line end where none belongs would show.
        QCOMPARE(rig.pty.read(std::strlen(r.line) + 2, 300), std::string(r.line));
        QCOMPARE(rig.box.shown.size(), std::size_t{*r.message ? 1u : 0u});
        if (*r.message) {
            QCOMPARE(rig.box.shown[0].text + "/" + rig.box.shown[0].caption,
                     std::string(r.message) + "/Warning");
            QCOMPARE(topWhileShown, std::strcmp(r.button, "BTN_HGain_apply") != 0);
        }
        QVERIFY(rig.onTop() && rig.calibrate.isVisible());
        if (edit) {
            QCOMPARE(edit->text(), QString(r.after));
        } else {
            QTest::mouseClick(rig.calibrate.ui().BTN_Done, Qt::LeftButton);
            rig.openCalibrate();
            QCOMPARE(radio->isChecked() ? "on" : "off", r.after);
        }
    }

    // The box is stored and rules the next Apply's layout; showing the dialog again presets it
    // from the engine, but only from hidden to shown.
    void compatibilityBoxAndTheOpeningPreset() {
        Rig rig(Standard);
        rig.openCalibrate();
        auto& ui = rig.calibrate.ui();
        clickIndicator(ui.CHKBOX_Compat);
        QVERIFY(rig.emulator.coupler().settings().compatibility && rig.box.shown.empty());
        QVERIFY(rig.confText().starts_with(Compat));
        QTest::mouseClick(ui.Offset_Apply, Qt::LeftButton);
        QCOMPARE(rig.pty.read(15, 300), std::string("$PZCAL0,P*08\r\n"));
        ui.ED_Offset->setText("77");
        rig.openCalibrate(); // already showing: only comes to the front
        QCOMPARE(ui.ED_Offset->text(), QString("77"));
        QTest::keyClick(&rig.calibrate, Qt::Key_Escape); // hides, as Done and the close box
        QVERIFY(rig.calibrate.isHidden());
        rig.openCalibrate();
        QCOMPARE(ui.ED_Offset->text(), QString("    0"));
    }

    // OK switches to COM3 (opened before COM1 closes) and stores it; the ticks follow.
    void switchingToCom3() {
        Rig rig("Port=1\n");
        rig.window->timer1().start();
        rig.openSerialPort();
        QCOMPARE(rig.serialPort.portRows()->checkedId(), 0);
        rig.choose(2, 0);
        QTest::keyClick(&rig.serialPort, Qt::Key_Return); // OK is the default button
        QVERIFY(rig.serialPort.isHidden() && rig.box.shown.empty());
        QCOMPARE(rig.emulator.port().portIndex, std::uint8_t{2});
        QVERIFY(rig.confText().starts_with("Port=3\n"));
        QVERIFY(rig.isFree(rig.pty) && !rig.isFree(rig.pty3));
        QVERIFY(MainWindowRig::readFrom(rig.pty3, 10).starts_with("$GPRMB"));
    }

    // Retry leaves the dialog as it was; Cancel keeps the old port, applies the baud choice
    // and closes.
    void portThatWillNotOpen() {
        Rig rig;
        rig.box.answers = {MsgResult::Retry, MsgResult::Cancel};
        rig.openSerialPort();
        rig.choose(1, 3);
        rig.ok();
        QVERIFY(rig.box.shown.at(0).text.starts_with("Can't open COM2:\n/nonexistent/tty2: no"));
        QCOMPARE(rig.box.shown[0].buttons, MsgButtons::RetryCancel);
        QVERIFY(rig.serialPort.isVisible() && rig.emulator.port().baudChoice == 0);
        rig.ok();
        QVERIFY(rig.box.shown.size() == 2 && rig.serialPort.isHidden());
        QCOMPARE(rig.emulator.port().portIndex, std::uint8_t{0});
        rig.emulator.writer().flush();
        const termios t = rig.pty.slaveTermios();
        QCOMPARE(cfgetospeed(&t), speed_t{B19200});
        QTest::keyClick(&rig.serialPort, Qt::Key_Escape);
    }

    // A port given a virtual device opens on it; the port and its device are stored together;
    // Cancel changes nothing.
    void deviceChoiceAndCancel() {
        Rig rig;
        rig.openSerialPort();
        auto& ui = rig.serialPort.ui();
        QCOMPARE(ui.PortDevice1->text(), QString("COM2: /nonexistent/tty2 (absent)"));
        rig.choose(2, 2);
        QTest::mouseClick(ui.BTN_CANCEL, Qt::LeftButton);
        QVERIFY(rig.serialPort.isHidden() && rig.isFree(rig.pty3));
        rig.openSerialPort();
        QCOMPARE(rig.serialPort.portRows()->checkedId(), 0);
        rig.choose(1, 0);
        ui.DeviceChoice->setCurrentIndex(ui.DeviceChoice->findText("virtual (pseudo-terminal)"));
        rig.ok();
        QVERIFY(rig.serialPort.isHidden() && rig.box.shown.empty());
        QVERIFY(rig.confText().find("\nCOM2=pty\nCOM3=") != std::string::npos);
        const std::string link = rig.dir.path().toStdString() + "/links/COM2";
        const int client = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(client >= 0);
        rig.emulator.output().TransmitLine("$GPRMB", 0);
        rig.emulator.writer().flush();
        char got[16] = {};
        QCOMPARE(::read(client, got, sizeof got), ssize_t{8});
        ::close(client);
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
