#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <fcntl.h>
#include <unistd.h>

#include "gui/DialogsRig.h"

namespace {

const std::string Tick = "$GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*40\r\n"
                         "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*2F\r\n";

// COM1 and COM3 are pseudo-terminals; COM2 and COM4 name devices that do not exist.
struct SerialRig : DialogsRig {
    explicit SerialRig(const char* conf = "Port=1\nCompatibility=1\n") : DialogsRig(conf) {}
    Ui::TFRM_SerialPort& ui() { return serialPort.ui(); }
    void open() { window->ui().SerialPort1->trigger(); }
    void choose(int port, int baud) {
        clickIndicator(serialPort.portRows()->button(port));
        clickIndicator(serialPort.baudRows()->button(baud));
    }
    void ok() { QTest::mouseClick(ui().BTN_OK, Qt::LeftButton); }
    std::optional<std::int32_t> storedPort() {
        FileSettingsStore reread(dir.path().toStdString());
        reread.open(false);
        return reread.readInt("Port");
    }
    // Both look once the line writer has made the baud changes and closes handed to it.
    int speed(PtyPair& line) {
        emulator.writer().flush();
        const termios t = line.slaveTermios();
        return static_cast<int>(cfgetospeed(&t));
    }
    // Whether another program could take the port now (it is opened exclusively).
    bool isFree(PtyPair& line) {
        emulator.writer().flush();
        PosixSerialDevice other([&](const std::string&) { return line.slavePath; });
        const PortHandle h = other.open("COM1:");
        return h != InvalidPort && other.close(h);
    }
};

} // namespace

class SerialPortDialogTest : public QObject {
    Q_OBJECT
private slots:
    void windowAndTexts() {
        SerialRig rig("Port=3\nCompatibility=1\n");
        TFRM_SerialPort& d = rig.serialPort;
        QCOMPARE(d.windowTitle(), QString("Serial Port"));
        QVERIFY(d.windowFlags().testFlag(Qt::WindowStaysOnTopHint) && d.isHidden());
        QVERIFY(rig.ui().BTN_OK->isDefault() && !rig.ui().BTN_CANCEL->autoDefault());
        // The opening names each port's device and selects the current port and baud choice.
        rig.open();
        QCOMPARE(rig.ui().PortRow2->toolTip(), "Choose which serial port to use\nCOM3: opens " +
                                                   QString::fromStdString(rig.pty3.slavePath));
        QCOMPARE(d.portRows()->checkedId(), 2);
        QCOMPARE(d.baudRows()->checkedId(), 0);
    }

    // With the settings file missing, the warning comes after COM3 is open and before COM1 is
    // closed, so a failure to open COM3 would have left COM1 working.
    void switchingToCom3() {
        for (const bool fileMissing : {false, true}) {
            SerialRig rig(fileMissing ? nullptr : "Port=1\n"); // nullptr: the devices kept apart
            if (fileMissing)
                std::filesystem::remove(rig.confPath());
            bool bothHeld = false;
            rig.box.whileShown = [&] { bothHeld = !rig.isFree(rig.pty) && !rig.isFree(rig.pty3); };
            rig.window->show();
            rig.window->FormActivate(); // both sentences on, as when the user has seen the window
            rig.open();
            rig.choose(2, 0);
            QTest::keyClick(&rig.serialPort, Qt::Key_Return); // OK is the default button
            QVERIFY(rig.serialPort.isHidden());
            QCOMPARE(rig.box.shown.size(), std::size_t{fileMissing ? 1u : 0u});
            if (fileMissing)
                QVERIFY(bothHeld && rig.box.shown[0].text == "Can't open Tarrow");
            QCOMPARE(rig.state.portIndex, std::uint8_t{2});
            QCOMPARE(rig.storedPort(), fileMissing ? std::nullopt : std::optional<std::int32_t>(3));
            QVERIFY(rig.isFree(rig.pty) && !rig.isFree(rig.pty3));
            QCOMPARE(rig.speed(rig.pty3), B4800);
            rig.pty.drain();
            QCOMPARE(MainWindowRig::readFrom(rig.pty3, Tick.size()), Tick);
            QCOMPARE(rig.pty.drain(), std::string());
            rig.open();
            QCOMPARE(rig.serialPort.portRows()->checkedId(), 2);
        }
    }

    void portThatWillNotOpen() {
        SerialRig rig;
        rig.window->timer1().stop();
        rig.box.answers = {MsgResult::Retry, MsgResult::Cancel};
        rig.open();
        rig.choose(1, 3);
        rig.ok();
        // Retry: the dialog stays as it was and nothing has changed.
        QCOMPARE(rig.box.shown.size(), std::size_t{1});
        QVERIFY(rig.box.shown[0].text.starts_with("Can't open COM2:\n/nonexistent/tty2: no such"));
        QVERIFY(rig.box.shown[0].caption.empty() && rig.box.shown[0].icon == MsgIcon::Warning);
        QCOMPARE(rig.box.shown[0].buttons, MsgButtons::RetryCancel);
        QVERIFY(rig.serialPort.isVisible() && rig.serialPort.portRows()->checkedId() == 1);
        QCOMPARE(rig.state.baudChoice, std::uint8_t{0});
        QCOMPARE(rig.speed(rig.pty), B4800);
        // Cancel: the old port stays, the baud choice is applied, the dialog closes.
        rig.ok();
        QVERIFY(rig.box.shown.size() == 2 && rig.serialPort.isHidden());
        QCOMPARE(rig.state.portIndex, std::uint8_t{0});
        QCOMPARE(rig.state.baudChoice, std::uint8_t{3});
        QCOMPARE(rig.speed(rig.pty), B19200);
        QCOMPARE(rig.storedPort(), std::optional<std::int32_t>(1));
        rig.emulator.transmitter().TransmitLine("still COM1", 0);
        QCOMPARE(rig.pty.read(12), std::string("still COM1\r\n"));
    }

    void baudChoicesOnTheLine() {
        const std::tuple<OutputFormat, int, int> rows[] = {
            {OutputFormat::NmeaV3, 3, B19200},  {OutputFormat::NmeaV3, 2, B9600},
            {OutputFormat::Aviation, 1, B4800}, {OutputFormat::Aviation, 0, B9600},
            {OutputFormat::NmeaV2, 0, B4800},
        };
        SerialRig rig;
        rig.window->timer1().stop();
        for (const auto& [format, baud, speed] : rows) {
            rig.state.format = format;
            rig.open();
            clickIndicator(rig.serialPort.baudRows()->button(baud));
            rig.ok();
            QCOMPARE(rig.state.baudChoice, static_cast<std::uint8_t>(baud));
            QCOMPARE(rig.speed(rig.pty), speed);
        }
        // Auto kept across a format change: the next showing offers Auto again and OK
        // applies the rate of the new format.
        rig.state.format = OutputFormat::Aviation;
        rig.link.SetBaud(SerialLink::AutoBaudIndex(rig.state.format));
        QCOMPARE(rig.speed(rig.pty), B9600);
        rig.open();
        QCOMPARE(rig.serialPort.baudRows()->checkedId(), 0);
        rig.state.format = OutputFormat::NmeaV3;
        rig.ok();
        QCOMPARE(rig.speed(rig.pty), B4800);
        QVERIFY(rig.box.shown.empty());
    }

    // A port given a virtual device opens on it; the port and its device are stored together.
    void deviceChoiceAndWhatEachPortOpens() {
        SerialRig rig;
        rig.window->timer1().stop();
        rig.open();
        QCOMPARE(rig.ui().PortDevice1->text(), QString("COM2: /nonexistent/tty2 (absent)"));
        QCOMPARE(rig.ui().DeviceChoice->currentText(),
                 QString::fromStdString(rig.pty.slavePath)); // COM1's own
        rig.choose(1, 0);
        QCOMPARE(rig.ui().DeviceChoice->currentText(), QString("/nonexistent/tty2"));
        rig.ui().DeviceChoice->setCurrentIndex(
            rig.ui().DeviceChoice->findText("virtual (pseudo-terminal)"));
        rig.ok();
        QVERIFY(rig.serialPort.isHidden() && rig.box.shown.empty());
        QCOMPARE(rig.state.portIndex, std::uint8_t{1});
        const std::string conf = rig.confText();
        QVERIFY(conf.starts_with("Port=2\nCompatibility=1\n[Devices]\n"));
        QVERIFY(conf.find("\nCOM2=pty\nCOM3=") != std::string::npos); // in place, others kept
        QVERIFY(rig.isFree(rig.pty));                                 // COM1 closed
        const std::string link = rig.dir.path().toStdString() + "/links/COM2";
        const int client = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(client >= 0);
        rig.emulator.transmitter().TransmitLine("$GPRMB", 0);
        rig.emulator.writer().flush();
        char got[16] = {};
        QCOMPARE(::read(client, got, sizeof got), ssize_t{8});
        QCOMPARE(std::string(got, 8), std::string("$GPRMB\r\n"));
        ::close(client);
        rig.open();
        QCOMPARE(rig.ui().PortDevice1->text(), QString("COM2: pty (virtual)"));
    }

    void cancelEscapeAndCloseBoxChangeNothing() {
        SerialRig rig;
        rig.window->timer1().stop();
        const std::string conf = rig.confText();
        const std::function<void()> closers[] = {
            [&] { QTest::mouseClick(rig.ui().BTN_CANCEL, Qt::LeftButton); },
            [&] { QTest::keyClick(&rig.serialPort, Qt::Key_Escape); },
            [&] { rig.serialPort.close(); },
        };
        for (const auto& close : closers) {
            rig.open();
            rig.choose(2, 2);
            close();
            QVERIFY(rig.serialPort.isHidden() && rig.isFree(rig.pty3));
            QVERIFY(rig.state.portIndex == 0 && rig.state.baudChoice == 0);
            QCOMPARE(rig.speed(rig.pty), B4800);
            QCOMPARE(rig.confText(), conf);
            rig.open();
            QCOMPARE(rig.serialPort.portRows()->checkedId(), 0);
            rig.serialPort.hide();
        }
        QVERIFY(rig.box.shown.empty());
    }
};

QTEST_MAIN(SerialPortDialogTest)
#include "SerialPortDialogTest.moc"
