#include <QButtonGroup>
#include <QTest>

#include "gui/DialogsRig.h"

namespace {

const std::string Rmb = "$GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*40";
const std::string Rmc = "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*2F";
const std::string Tick = Rmb + "\r\n" + Rmc + "\r\n";

// COM1 and COM3 are pseudo-terminals; COM2 and COM4 name devices that do not exist.
struct SerialRig : DialogsRig {
    explicit SerialRig(const char* conf = "Port=1\nCompatibility=1\n") : DialogsRig(conf) {}
    Ui::TFRM_SerialPort& ui() { return serialPort.ui(); }
    void open() { window->ui().SerialPort1->trigger(); }
    void choose(int port, int baud) {
        clickIndicator(serialPort.portRows()->button(port));
        clickIndicator(serialPort.baudRows()->button(baud));
    }
    std::optional<std::int32_t> storedPort() {
        FileSettingsStore reread(dir.path().toStdString());
        reread.open(false);
        return reread.readInt("Port");
    }
    static speed_t speed(PtyPair& line) {
        const termios t = line.slaveTermios();
        return cfgetospeed(&t);
    }
    // Whether another program could take the port now (it is opened exclusively).
    static bool isFree(PtyPair& line) {
        PosixSerialDevice other([&](const std::string&) { return line.slavePath; });
        const PortHandle h = other.open("COM1:");
        if (h == InvalidPort)
            return false;
        other.close(h);
        return true;
    }
};

} // namespace

class SerialPortDialogTest : public QObject {
    Q_OBJECT
private slots:
    void controlsAsDesigned() {
        SerialRig rig("Port=3\nCompatibility=1\n");
        TFRM_SerialPort& d = rig.serialPort;
        auto& ui = rig.ui();
        QCOMPARE(d.windowTitle(), QString("Serial Port"));
        QCOMPARE(d.minimumSize(), QSize(181, 168));
        QCOMPARE(d.maximumSize(), QSize(181, 168));
        QVERIFY(d.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(d.isHidden());
        QCOMPARE(ui.GroupPort->title(), QString("Choose Port"));
        QCOMPARE(ui.GroupPort->toolTip(), QString("Choose which serial port to use"));
        QCOMPARE(ui.GroupBaud->title(), QString("Baud Rate"));
        QCOMPARE(ui.GroupBaud->toolTip(), QString());
        QCOMPARE(ui.BTN_OK->text(), QString("OK"));
        QCOMPARE(ui.BTN_OK->toolTip(), QString("Switch to selected serial port"));
        QCOMPARE(ui.BTN_CANCEL->text(), QString("Cancel"));
        QCOMPARE(ui.BTN_CANCEL->toolTip(), QString("Exit without changing serial port"));
        QVERIFY(captionFits(ui.BTN_OK) && captionFits(ui.BTN_CANCEL));
        QVERIFY(ui.BTN_OK->isDefault());
        QVERIFY(!ui.BTN_CANCEL->isDefault() && !ui.BTN_CANCEL->autoDefault());

        rig.open();
        QVERIFY(d.isVisible());
        const QStringList ports = {"COM&1", "COM&2", "COM&3", "COM&4"};
        const QString devices[] = {QString::fromStdString(rig.pty.slavePath), "/nonexistent/tty2",
                                   QString::fromStdString(rig.pty3.slavePath),
                                   "/nonexistent/tty4"};
        const QStringList bauds = {"Auto", "4800", "9600", "19200"};
        for (int i = 0; i < 4; ++i) {
            QAbstractButton* port = d.portRows()->button(i);
            QCOMPARE(port->text(), ports[i]);
            QCOMPARE(port->toolTip(), QString("COM%1: opens %2").arg(i + 1).arg(devices[i]));
            QCOMPARE(d.baudRows()->button(i)->text(), bauds[i]);
            QVERIFY(captionFits(port) && captionFits(d.baudRows()->button(i)));
        }
        // The opening selects the current port and baud choice.
        QCOMPARE(d.portRows()->checkedId(), 2);
        QCOMPARE(d.baudRows()->checkedId(), 0);
    }

    void switchingToCom3() {
        SerialRig rig;
        rig.window->show();
        rig.window->FormActivate(); // both sentences on, as when the user has seen the window
        rig.open();
        rig.choose(2, 0);
        QTest::keyClick(&rig.serialPort, Qt::Key_Return); // OK is the default button
        QVERIFY(rig.serialPort.isHidden());
        QVERIFY(rig.box.shown.empty());
        QCOMPARE(rig.state.portIndex, std::uint8_t{2});
        QCOMPARE(rig.storedPort(), std::optional<std::int32_t>(3));
        QVERIFY(SerialRig::isFree(rig.pty));
        QVERIFY(!SerialRig::isFree(rig.pty3));
        QCOMPARE(SerialRig::speed(rig.pty3), static_cast<speed_t>(B4800));

        rig.pty.drain();
        QCOMPARE(MainWindowRig::readFrom(rig.pty3, Tick.size()), Tick);
        QCOMPARE(rig.pty.drain(), std::string());
        rig.open();
        QCOMPARE(rig.serialPort.portRows()->checkedId(), 2);
    }

    void portThatWillNotOpen() {
        SerialRig rig;
        rig.window->timer1().stop();
        rig.box.answers = {MsgResult::Retry, MsgResult::Cancel};
        rig.open();
        rig.choose(1, 3);
        QTest::mouseClick(rig.ui().BTN_OK, Qt::LeftButton);
        // Retry: the dialog stays as it was and nothing has changed.
        QCOMPARE(rig.box.shown.size(), std::size_t{1});
        QCOMPARE(rig.box.shown[0].text, std::string("Can't open COM2:"));
        QCOMPARE(rig.box.shown[0].caption, std::string());
        QCOMPARE(rig.box.shown[0].icon, MsgIcon::Warning);
        QCOMPARE(rig.box.shown[0].buttons, MsgButtons::RetryCancel);
        QVERIFY(rig.serialPort.isVisible());
        QCOMPARE(rig.serialPort.portRows()->checkedId(), 1);
        QCOMPARE(rig.state.baudChoice, std::uint8_t{0});
        QCOMPARE(SerialRig::speed(rig.pty), static_cast<speed_t>(B4800));

        // Cancel: the old port stays, the baud choice is applied, the dialog closes.
        QTest::mouseClick(rig.ui().BTN_OK, Qt::LeftButton);
        QCOMPARE(rig.box.shown.size(), std::size_t{2});
        QCOMPARE(rig.box.shown[1].text, std::string("Can't open COM2:"));
        QVERIFY(rig.serialPort.isHidden());
        QCOMPARE(rig.state.portIndex, std::uint8_t{0});
        QCOMPARE(rig.state.baudChoice, std::uint8_t{3});
        QCOMPARE(SerialRig::speed(rig.pty), static_cast<speed_t>(B19200));
        QCOMPARE(rig.storedPort(), std::optional<std::int32_t>(1));
        rig.window->transmitter().TransmitLine("still COM1", 0);
        QCOMPARE(rig.pty.read(12), std::string("still COM1\r\n"));
    }

    void baudChoicesOnTheLine() {
        struct Row {
            OutputFormat format;
            int baud;
            speed_t speed;
        };
        const Row rows[] = {
            {OutputFormat::NmeaV3, 3, B19200}, {OutputFormat::NmeaV3, 2, B9600},
            {OutputFormat::NmeaV3, 1, B4800},  {OutputFormat::Aviation, 3, B19200},
            {OutputFormat::Aviation, 0, B9600}, {OutputFormat::NmeaV2, 0, B4800},
        };
        SerialRig rig;
        rig.window->timer1().stop();
        for (const Row& r : rows) {
            rig.state.format = r.format;
            rig.open();
            clickIndicator(rig.serialPort.baudRows()->button(r.baud));
            QTest::mouseClick(rig.ui().BTN_OK, Qt::LeftButton);
            QCOMPARE(rig.state.baudChoice, static_cast<std::uint8_t>(r.baud));
            QCOMPARE(SerialRig::speed(rig.pty), r.speed);
        }
        // Auto kept across a format change: the next showing offers Auto again and OK
        // applies the rate of the new format.
        rig.state.format = OutputFormat::Aviation;
        rig.link.SetBaud(SerialLink::AutoBaudIndex(rig.state.format));
        QCOMPARE(SerialRig::speed(rig.pty), static_cast<speed_t>(B9600));
        rig.open();
        QCOMPARE(rig.serialPort.baudRows()->checkedId(), 0);
        rig.state.format = OutputFormat::NmeaV3;
        QTest::mouseClick(rig.ui().BTN_OK, Qt::LeftButton);
        QCOMPARE(SerialRig::speed(rig.pty), static_cast<speed_t>(B4800));
        QVERIFY(rig.box.shown.empty());
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
            QVERIFY(rig.serialPort.isHidden());
            QCOMPARE(rig.state.portIndex, std::uint8_t{0});
            QCOMPARE(rig.state.baudChoice, std::uint8_t{0});
            QCOMPARE(SerialRig::speed(rig.pty), static_cast<speed_t>(B4800));
            QVERIFY(SerialRig::isFree(rig.pty3));
            QCOMPARE(rig.confText(), conf);
            rig.open();
            QCOMPARE(rig.serialPort.portRows()->checkedId(), 0);
            QCOMPARE(rig.serialPort.baudRows()->checkedId(), 0);
            rig.serialPort.hide();
        }
        QVERIFY(rig.box.shown.empty());
    }
};

QTEST_MAIN(SerialPortDialogTest)
#include "SerialPortDialogTest.moc"
