#include <QButtonGroup>
#include <QTest>
#include <cstring>
#include <filesystem>

#include "gui/DialogsRig.h"

namespace {

const char* const Standard = "Port=1\nCompatibility=0\n";
const char* const Compat = "Port=1\nCompatibility=1\n";
const char* const Old = "Not Implimented for Coupliers shipped before 1/1/04";
const char* const Camlinks = "Not Implimented except for Camlinks";

// The rig with the output tick stopped, so only the dialog's sentences reach the line.
struct CalibrateRig : DialogsRig {
    explicit CalibrateRig(const char* conf = Compat) : DialogsRig(conf) { window->timer1().stop(); }
    Ui::TCalibrate& ui() { return calibrate.ui(); }
    void open() { window->ui().MNU_Calibrate->trigger(); }
    int row(CalibrateGroup group) { return calibrate.rows(group)->checkedId(); }
    bool onTop() const { return calibrate.windowFlags().testFlag(Qt::WindowStaysOnTopHint); }
};

constexpr auto V2 = OutputFormat::NmeaV2, V3 = OutputFormat::NmeaV3, Av = OutputFormat::Aviation;

// Every Apply button through the real controls, with one refusal of each kind in compatibility
// mode; the layouts are CouplerCommandsTest's and the value rules CalibrateLogicTest's. `control`
// is an edit typed into or a row clicked first; `after` is the edit's text afterwards, or whether
// the row is still chosen ("on"/"off") once the dialog is shown again, which shows what was stored.
// The stored offset is 5.
const struct ApplyRow {
    const char* name;
    bool compat;
    OutputFormat format;
    const char *control, *keys, *button;
    const char* line;    // exactly what reaches the line
    const char* message; // a warning shown instead
    const char* after;
} Applies[] = {
    {"offset aviation", false, Av, "ED_Offset", "-25", "Offset_Apply", "$PZCAL,25,N*0D", "",
     "  -25"},
    {"offset old", true, V3, "ED_Offset", " 7xyz", "Offset_Apply", "$PZCAL7,P*0F\r\n", "", "    7"},
    {"dim", false, V2, "ED_Dim", "12", "BTN_Dim_Apply", "$PZDIM,10*67\r\n", "", "9"},
    {"course old", true, V3, "CourseRow2", "", "BTN_CGAIN_APPLY", "$PZGAN2,*5C\r\n", "", "on"},
    {"heading", false, V3, "HeadingRow1", "", "BTN_HGain_apply", "$PZHGN,1*56\r\n", "", "on"},
    {"type birch", false, V3, "TypeRow1", "", "BTN_Type_Apply", "$PZTST,1*44\r\n", "", "on"},
    {"bright", false, V3, "OKbrightRow1", "", "BTN_OKDIM_APPLY", "$PZEQP,255*50\r\n", "", "on"},
    {"waypoints", false, V3, "EM_numbVP", "21", "BTN_numbWP", "$PZVWP,20*75\r\n", "", "20"},
    // The mask drops the letter, the length limit the last digits, the upper bound the rest.
    {"anticipation", false, V3, "EM_anticipation", "2x0045", "BTN_anticipation",
     "$PZADV,127*41\r\n", "", "127"},
    {"max angle", false, V3, "EM_maxAngle", "99", "BTN_maxAngle", "$PZMXA,90*7B\r\n", "", "90"},
    {"max time", false, V3, "EM_maxTime", "-4", "BTN_maxTime", "$PZMXD,0*47\r\n", "", " 0"},
    {"heading refused", true, V3, "HeadingRow3", "", "BTN_HGain_apply", "", Old, "off"},
    {"max time refused", true, V3, "EM_maxTime", "7", "BTN_maxTime", "", Camlinks, "7"},
};

} // namespace

class CalibrateDialogTest : public QObject {
    Q_OBJECT
private slots:
    void windowAndTexts() {
        CalibrateRig rig;
        TCalibrate& d = rig.calibrate;
        QCOMPARE(d.windowTitle(), QString("Calibrate"));
        QVERIFY(rig.onTop() && !d.isModal() && d.isHidden());
    }

    void applySendsItsSentenceOrRefuses_data() {
        QTest::addColumn<int>("row");
        for (const ApplyRow& r : Applies)
            QTest::newRow(r.name) << static_cast<int>(&r - Applies);
    }
    void applySendsItsSentenceOrRefuses() {
        QFETCH(int, row);
        const ApplyRow& r = Applies[row];
        CalibrateRig rig(r.compat ? Compat : Standard);
        rig.state.format = r.format;
        rig.state.offsetCounts = 5;
        rig.open();
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
        const QString echo = QString(r.line).remove("\r\n");
        QCOMPARE(rig.terminalLines(), echo.isEmpty() ? QStringList() : QStringList{echo});
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
            QTest::mouseClick(rig.ui().BTN_Done, Qt::LeftButton);
            rig.open();
            QCOMPARE(radio->isChecked() ? "on" : "off", r.after);
        }
    }

    void compatibilityBoxAndTheSettingsFile() {
        const std::pair<const char*, const char*> rows[] = {
            {"", ""}, // the file present
            {"Brackwater Associates/Tarrow.conf", "Can't open Tarrow"},
            {"Brackwater Associates", "Can't open Brackwater"},
        };
        for (const auto& [remove, message] : rows) {
            CalibrateRig rig(Standard);
            rig.open();
            if (*remove)
                std::filesystem::remove_all(rig.dir.path().toStdString() + "/" + remove);
            clickIndicator(rig.ui().CHKBOX_Compat);
            QVERIFY(rig.state.compatibility);
            if (*message) {
                QCOMPARE(rig.box.shown.size(), std::size_t{1});
                QCOMPARE(rig.box.shown[0].text + "/" + rig.box.shown[0].caption,
                         std::string(message) + "/error");
            } else {
                QVERIFY(rig.box.shown.empty() && rig.confText().starts_with(Compat));
            }
            // The next Apply uses the old layout either way.
            QTest::mouseClick(rig.ui().Offset_Apply, Qt::LeftButton);
            QCOMPARE(rig.pty.read(15, 300), std::string("$PZCAL0,P*08\r\n"));
        }
    }

    // The first opening, with the run's flag out of step with the file, presets the controls
    // and stores nothing; later only an opening from hidden presets them again.
    void openingPresetsOnlyWhenHiddenBecomesShown() {
        CalibrateRig rig(Compat);
        rig.state.compatibility = false;
        const std::string conf = rig.confText();
        auto& ui = rig.ui();
        const auto preset = [&] {
            return ui.ED_Offset->text() == "    0" && ui.BTN_switch->isChecked() &&
                   !ui.BTN_None->isChecked() && ui.BTN_None->isEnabled() &&
                   ui.ED_Dim->isEnabled() && ui.ED_Dim->text() == "  9" &&
                   rig.row(CalibrateGroup::CourseGroup) == 0 &&
                   rig.row(CalibrateGroup::HeadingGroup) == 2 &&
                   rig.row(CalibrateGroup::TypeGroup) == 0 && !ui.CHKBOX_Compat->isChecked();
        };
        rig.open();
        QVERIFY(rig.calibrate.isVisible() && preset());
        QCOMPARE(rig.row(CalibrateGroup::RadioOKbrightGroup), 0);
        QVERIFY(!rig.state.compatibility && rig.state.dimmingWord == 10 && rig.box.shown.empty());
        QCOMPARE(rig.confText(), conf);
        const auto change = [&] {
            ui.ED_Offset->setText("77");
            ui.CourseRow3->setChecked(true);
        };
        change();
        rig.open(); // already showing: only comes to the front
        QVERIFY(rig.calibrate.isVisible() && !preset());
        // Each way of closing hides the dialog; it keeps its controls until shown again.
        const std::function<void()> closers[] = {
            [&] { QTest::mouseClick(ui.BTN_Done, Qt::LeftButton); },
            [&] { rig.calibrate.close(); },
            [&] { QTest::keyClick(&rig.calibrate, Qt::Key_Escape); },
        };
        for (const auto& close : closers) {
            close();
            QVERIFY(rig.calibrate.isHidden() && !preset());
            rig.open();
            QVERIFY(preset());
            change();
        }
        QCOMPARE(rig.pty.drain(), std::string());
    }
};

QTEST_MAIN(CalibrateDialogTest)
#include "CalibrateDialogTest.moc"
