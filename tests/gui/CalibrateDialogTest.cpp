#include <QButtonGroup>
#include <QTest>
#include <cstring>
#include <filesystem>

#include "gui/DialogsRig.h"

namespace {

const char* const Standard = "Port=1\nCompatibility=0\n";
const char* const Compat = "Port=1\nCompatibility=1\n";

// The rig with the output tick stopped, so only the dialog's sentences reach the line.
struct CalibrateRig : DialogsRig {
    explicit CalibrateRig(const char* conf = Compat) : DialogsRig(conf) {
        window->timer1().stop();
    }
    Ui::TCalibrate& ui() { return calibrate.ui(); }
    template <class T = QWidget> T* control(const char* name) {
        return calibrate.findChild<T*>(name);
    }
    void open() { window->ui().MNU_Calibrate->trigger(); }
    int row(CalibrateGroup group) { return calibrate.rows(group)->checkedId(); }
    bool onTop() const { return calibrate.windowFlags().testFlag(Qt::WindowStaysOnTopHint); }
};

struct Place {
    const char* name;
    const char* caption; // text or title
    const char* hint;
    int x, y, w, h;
};

// Widths beyond the designed ones hold the caption in this platform's default font:
// StaticText1 36, BTN_None 49, BTN_volt 65, BTN_switch 57, CHKBOX_Compat 121, the four small
// Apply buttons 33; EM_anticipation 25 could not show "127". The Camlink boxes and their Apply
// buttons moved right so the labels beside them are not covered.
const Place Design[] = {
    {"OffsetGroup", "Offset", "", 8, 8, 145, 89},
    {"ED_Offset", "", "Enter offset in counts", 24, 16, 73, 21},
    {"StaticText1", "counts", "", 101, 19, 40, 17},
    {"Offset_Apply", "Apply", "Click to send offset message", 80, 56, 57, 25},
    {"DimGroup", "Dim", "", 160, 8, 145, 89},
    {"ED_Dim", "", "Value 0-9, 9 is the dimmest", 8, 16, 49, 21},
    {"BTN_None", "None", "Disable dimming if checked", 72, 18, 51, 17},
    {"BTN_sensor", "Light Sensor", "", 8, 32, 97, 17},
    {"BTN_volt", "Ext. Volt", "", 8, 48, 70, 17},
    {"BTN_switch", "Ext. Sw.", "", 8, 64, 67, 17},
    {"BTN_Dim_Apply", "Apply", "Sets dimming factor when pressed", 80, 56, 57, 25},
    {"CourseGroup", "Course Gain", "Select distance for full scale to autopilot", 8, 96, 145, 89},
    {"BTN_CGAIN_APPLY", "Apply", "Click to send gain message", 88, 152, 57, 25},
    {"HeadingGroup", "Heading Gain", "Select gain in heading mode relative to course mode", 160,
     96, 145, 89},
    {"BTN_HGain_apply", "Apply", "Not implemented -- yet!", 240, 152, 57, 25},
    {"TypeGroup", "Type", "Select coupler type", 8, 184, 145, 65},
    {"BTN_Type_Apply", "Apply", "Send coupler type message", 90, 208, 55, 25},
    {"RadioOKbrightGroup", "GPS OK brightness", "", 160, 184, 145, 65},
    {"BTN_OKDIM_APPLY", "Apply", "", 240, 208, 57, 25},
    {"GroupBox1", "Camlink only", "", 8, 256, 297, 57},
    {"Label1", "Virtual WP", "", 14, 16, -1, -1},
    {"EM_numbVP", "5", "The number of triggers generated between waypoints", 88, 16, 29, 21},
    {"BTN_numbWP", "Apply", "", 120, 16, 36, 17},
    {"Label2", "Anticipation", "", 14, 32, -1, -1},
    {"EM_anticipation", "0", "", 88, 32, 29, 21},
    {"BTN_anticipation", "Apply", "", 120, 32, 36, 17},
    {"Label4", "Max Angle", "", 158, 16, -1, -1},
    {"EM_maxAngle", "90", "", 230, 16, 28, 21},
    {"BTN_maxAngle", "Apply", "", 260, 16, 36, 17},
    {"Label5", "Max time(s)", "", 158, 32, -1, -1},
    {"EM_maxTime", "20", "", 230, 32, 28, 21},
    {"BTN_maxTime", "Apply", "", 260, 32, 36, 17},
    {"CHKBOX_Compat", "Compatibility Mode", "Check for couplers before June 2003", 16, 320, 136,
     18},
    {"BTN_Done", "Done", "click to exit window", 232, 319, 59, 25},
};

struct ApplyRow {
    const char* name;
    bool compat;
    OutputFormat format;
    const char* edit; // typed into before the press
    const char* keys;
    const char* choose; // radio row clicked before the press
    const char* button;
    const char* line; // exactly what reaches the line
    const char* editAfter;
};
constexpr auto V2 = OutputFormat::NmeaV2;
constexpr auto V3 = OutputFormat::NmeaV3;
constexpr auto Av = OutputFormat::Aviation;
const ApplyRow Applies[] = {
    {"offset", false, V3, "ED_Offset", "-25", nullptr, "Offset_Apply", "$PZCAL,25,N*0D\r\n",
     "  -25"},
    {"dim level", false, V2, "ED_Dim", "12", nullptr, "BTN_Dim_Apply", "$PZDIM,10*67\r\n", "9"},
    {"course gain", false, V3, nullptr, "", "CourseRow3", "BTN_CGAIN_APPLY", "$PZGAN,3*5D\r\n", ""},
    {"heading gain", false, V3, nullptr, "", "HeadingRow1", "BTN_HGain_apply", "$PZHGN,1*56\r\n",
     ""},
    {"type", false, V3, nullptr, "", "TypeRow2", "BTN_Type_Apply", "$PZTST,7*42\r\n", ""},
    {"bright", false, V3, nullptr, "", "OKbrightRow1", "BTN_OKDIM_APPLY", "$PZEQP,255*50\r\n", ""},
    {"waypoints", false, V3, "EM_numbVP", "5", nullptr, "BTN_numbWP", "$PZVWP,5*42\r\n", " 5"},
    {"anticipation", false, V3, "EM_anticipation", "999", nullptr, "BTN_anticipation",
     "$PZADV,127*41\r\n", "127"},
    {"max angle", false, V3, "EM_maxAngle", "99", nullptr, "BTN_maxAngle", "$PZMXA,90*7B\r\n",
     "90"},
    {"max time", false, V3, "EM_maxTime", "-7", nullptr, "BTN_maxTime", "$PZMXD,0*47\r\n", " 0"},
    {"old offset", true, V3, "ED_Offset", "25", nullptr, "Offset_Apply", "$PZCAL25,P*3F\r\n",
     "   25"},
    {"old gain", true, V3, nullptr, "", "CourseRow2", "BTN_CGAIN_APPLY", "$PZGAN2,*5C\r\n", ""},
    {"aviation offset", false, Av, "ED_Offset", "-25", nullptr, "Offset_Apply", "$PZCAL,25,N*0D",
     "  -25"},
};

struct RefusalRow {
    const char* name;
    const char* button;
    const char* message;
    bool topWhileShown;
};
constexpr const char* OldCouplers = "Not Implimented for Coupliers shipped before 1/1/04";
constexpr const char* Camlinks = "Not Implimented except for Camlinks";
const RefusalRow Refusals[] = {
    {"heading gain", "BTN_HGain_apply", OldCouplers, false},
    {"bright", "BTN_OKDIM_APPLY", OldCouplers, true},
    {"waypoints", "BTN_numbWP", Camlinks, true},
    {"anticipation", "BTN_anticipation", Camlinks, true},
    {"max angle", "BTN_maxAngle", Camlinks, true},
    {"max time", "BTN_maxTime", Camlinks, true},
};

struct SettingsFileRow {
    const char* name;
    const char* remove; // under the configuration directory; "" nothing, "." all of it
    const char* message;
};
const SettingsFileRow SettingsFiles[] = {
    {"file present", "", ""},
    {"file missing", "Brackwater Associates/Tarrow.conf", "Can't open Tarrow"},
    {"directory missing", "Brackwater Associates", "Can't open Brackwater"},
    {"configuration missing", ".", "Can't open Software"},
};

// One QtTest data row per table row, named after it.
template <class Row, std::size_t N> void rowsOf(const Row (&rows)[N]) {
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < N; ++i)
        QTest::newRow(rows[i].name) << static_cast<int>(i);
}

QString captionOf(QWidget* w) {
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    return w->property("text").toString();
}

} // namespace

class CalibrateDialogTest : public QObject {
    Q_OBJECT
private slots:
    void controlsAsDesigned() {
        CalibrateRig rig;
        TCalibrate& d = rig.calibrate;
        QCOMPARE(d.windowTitle(), QString("Calibrate"));
        QCOMPARE(d.minimumSize(), QSize(313, 351));
        QCOMPARE(d.maximumSize(), QSize(313, 351));
        QVERIFY(rig.onTop());
        QVERIFY(!d.isModal());
        QVERIFY(d.isHidden());
        for (const Place& p : Design) {
            QWidget* w = rig.control(p.name);
            QVERIFY2(w, p.name);
            QCOMPARE(captionOf(w), QString(p.caption));
            QCOMPARE(w->toolTip(), QString(p.hint));
            QCOMPARE(w->pos(), QPoint(p.x, p.y));
            if (p.w >= 0)
                QCOMPARE(w->size(), QSize(p.w, p.h));
            QVERIFY2(captionFits(w), p.name);
            // A label's text must not run under its neighbours.
            if (qobject_cast<QLabel*>(w)) {
                const QRect text(w->pos(), w->fontMetrics().size(0, captionOf(w)));
                for (QWidget* other : w->parentWidget()->findChildren<QWidget*>(
                         QString(), Qt::FindDirectChildrenOnly))
                    QVERIFY2(other == w || !other->geometry().intersects(text), p.name);
            }
        }
        QCOMPARE(rig.ui().EM_numbVP->maxLength(), 2);
        QCOMPARE(rig.ui().EM_anticipation->maxLength(), 3);
        QCOMPARE(rig.ui().EM_maxAngle->maxLength() + rig.ui().EM_maxTime->maxLength(), 4);
        const std::pair<CalibrateGroup, QStringList> groups[] = {
            {CalibrateGroup::CourseGroup, {"1.25 NM", "2.50 NM", "5.00 NM", "10.0 NM"}},
            {CalibrateGroup::HeadingGroup, {"x 0.25", "x 0.5", "x 1.0", "x 2.0"}},
            {CalibrateGroup::TypeGroup, {"Alder", "Birch II", "Cedar"}},
            {CalibrateGroup::RadioOKbrightGroup, {"Normal", "Bright"}},
        };
        for (const auto& [group, items] : groups) {
            QButtonGroup* rows = d.rows(group);
            QCOMPARE(rows->buttons().size(), items.size());
            for (int i = 0; i < items.size(); ++i) {
                QCOMPARE(rows->button(i)->text(), items[i]);
                QVERIFY(captionFits(rows->button(i)));
            }
        }
    }

    void firstOpening_data() {
        QTest::addColumn<QByteArray>("conf");
        QTest::addColumn<bool>("stateCompat"); // the flag as the run holds it when opening
        QTest::newRow("stored on") << QByteArray(Compat) << true;
        QTest::newRow("stored off") << QByteArray(Standard) << false;
        QTest::newRow("run differs from file") << QByteArray(Compat) << false;
    }
    void firstOpening() {
        QFETCH(QByteArray, conf);
        QFETCH(bool, stateCompat);
        CalibrateRig rig(conf.constData());
        rig.state.compatibility = stateCompat;
        for (CalibrateGroup g : {CalibrateGroup::CourseGroup, CalibrateGroup::HeadingGroup,
                                 CalibrateGroup::TypeGroup})
            QCOMPARE(rig.row(g), -1);
        const std::string before = rig.confText();

        rig.open();
        auto& ui = rig.ui();
        QVERIFY(rig.calibrate.isVisible());
        QCOMPARE(ui.ED_Offset->text(), QString("    0"));
        QVERIFY(ui.BTN_switch->isChecked());
        QVERIFY(!ui.BTN_sensor->isChecked() && !ui.BTN_volt->isChecked());
        QVERIFY(!ui.BTN_None->isChecked() && ui.BTN_None->isEnabled() && ui.ED_Dim->isEnabled());
        QCOMPARE(ui.ED_Dim->text(), QString("  9"));
        QCOMPARE(rig.row(CalibrateGroup::CourseGroup), 0);
        QCOMPARE(rig.row(CalibrateGroup::HeadingGroup), 2);
        QCOMPARE(rig.row(CalibrateGroup::TypeGroup), 0);
        QCOMPARE(rig.row(CalibrateGroup::RadioOKbrightGroup), 0);
        QCOMPARE(ui.CHKBOX_Compat->isChecked(), stateCompat);
        // Opening changes nothing stored and writes nothing.
        QCOMPARE(rig.state.compatibility, stateCompat);
        QCOMPARE(rig.state.dimmingWord, 10);
        QCOMPARE(rig.confText(), before);
        QVERIFY(rig.box.shown.empty());
        QCOMPARE(rig.pty.drain(), std::string());
    }

    void eachApplySendsItsSentence_data() { rowsOf(Applies); }
    void eachApplySendsItsSentence() {
        QFETCH(int, row);
        const ApplyRow& r = Applies[row];
        CalibrateRig rig(r.compat ? Compat : Standard);
        rig.state.format = r.format;
        rig.open();
        auto* edit = r.edit ? rig.control<QLineEdit>(r.edit) : nullptr;
        if (edit)
            typeInto(edit, r.keys);
        if (r.choose)
            clickIndicator(rig.control<QRadioButton>(r.choose));
        QTest::mouseClick(rig.control<QPushButton>(r.button), Qt::LeftButton);

        // Two bytes more than expected: a line end where none belongs would show.
        QCOMPARE(rig.pty.read(std::strlen(r.line) + 2, 300), std::string(r.line));
        QVERIFY(rig.box.shown.empty());
        if (edit)
            QCOMPARE(edit->text(), QString(r.editAfter));
        QCOMPARE(rig.terminalLines(), QStringList{QString(r.line).remove("\r\n")});
    }

    void masksTakeDigitsAndSignsOnly() {
        const struct {
            const char* edit;
            const char* keys;
            const char* text;
        } rows[] = {
            {"EM_numbVP", "a1b2c3", "12"}, {"EM_anticipation", "+-9x", "+-9"},
            {"EM_maxTime", " 7", "7"},     {"EM_maxAngle", "12345", "12"},
            {"ED_Offset", "a 1", "a 1"}, // a plain edit takes anything
        };
        CalibrateRig rig;
        rig.open();
        for (const auto& r : rows) {
            auto* box = rig.control<QLineEdit>(r.edit);
            typeInto(box, r.keys);
            QVERIFY2(box->text() == r.text, r.edit);
        }
    }

    void refusalsInCompatibilityMode_data() { rowsOf(Refusals); }
    void refusalsInCompatibilityMode() {
        QFETCH(int, row);
        const RefusalRow& r = Refusals[row];
        CalibrateRig rig(Compat);
        rig.open();
        typeInto(rig.ui().ED_Offset, "77"); // only an opening would replace it
        typeInto(rig.ui().EM_maxAngle, "5");
        bool onTop = !r.topWhileShown;
        bool visible = false;
        rig.box.whileShown = [&] {
            onTop = rig.onTop();
            visible = rig.calibrate.isVisible();
        };
        QTest::mouseClick(rig.control<QPushButton>(r.button), Qt::LeftButton);

        QCOMPARE(rig.box.shown.size(), std::size_t{1});
        QCOMPARE(rig.box.shown[0].text, std::string(r.message));
        QCOMPARE(rig.box.shown[0].caption, std::string("Warning"));
        QCOMPARE(onTop, r.topWhileShown);
        QVERIFY(visible);
        QVERIFY(rig.onTop());
        QVERIFY(rig.calibrate.isVisible());
        QCOMPARE(rig.ui().ED_Offset->text(), QString("77"));
        QCOMPARE(rig.ui().EM_maxAngle->text(), QString("5"));
        QCOMPARE(rig.pty.drain(), std::string());
        QCOMPARE(rig.state.headingGainCode, std::uint8_t{2});
        QCOMPARE(rig.state.maxAngle, 0);
    }

    void dimmingThroughTheControls() {
        enum Action { Sensor, Volt, Switch, None, Apply, Reopen };
        struct Step {
            Action action;
            const char* dimText; // put into ED_Dim first, or nullptr
            std::int32_t word;
            bool dimEnabled;
            bool noneEnabled;
            bool noneChecked;
            const char* line;
        };
        const Step steps[] = {
            {Sensor, nullptr, 10 | 128, false, false, false, ""},
            {Volt, nullptr, 10 | 64, false, false, false, ""},
            {Switch, nullptr, 10, true, true, false, ""},
            {None, nullptr, 0, false, true, true, ""},
            {None, "4", 5, true, true, false, ""},
            {Apply, "12", 10, true, true, false, "$PZDIM,10*67\r\n"},
            {None, nullptr, 0, false, true, true, ""},
            {Apply, nullptr, 0, false, true, true, "$PZDIM,0*56\r\n"},
            {None, "9", 10, true, true, false, ""},
            {Sensor, nullptr, 10 | 128, false, false, false, ""},
            {Apply, nullptr, 128, false, false, false, "$PZDIM,128*5D\r\n"},
            {Switch, nullptr, 0, true, true, false, ""},
            // Hidden and shown again: a word of 0 shows as None.
            {Reopen, nullptr, 0, false, true, true, ""},
        };
        CalibrateRig rig(Standard);
        rig.open();
        auto& ui = rig.ui();
        int n = 0;
        for (const Step& s : steps) {
            const QByteArray at = "step " + QByteArray::number(n++);
            if (s.dimText)
                ui.ED_Dim->setText(s.dimText);
            switch (s.action) {
            case Sensor:
                clickIndicator(ui.BTN_sensor);
                break;
            case Volt:
                clickIndicator(ui.BTN_volt);
                break;
            case Switch:
                clickIndicator(ui.BTN_switch);
                break;
            case None:
                clickIndicator(ui.BTN_None);
                break;
            case Apply:
                QTest::mouseClick(ui.BTN_Dim_Apply, Qt::LeftButton);
                break;
            case Reopen:
                QTest::mouseClick(ui.BTN_Done, Qt::LeftButton);
                QVERIFY2(rig.calibrate.isHidden(), at);
                rig.open();
                break;
            }
            QVERIFY2(rig.state.dimmingWord == s.word, at);
            QVERIFY2(ui.ED_Dim->isEnabled() == s.dimEnabled, at);
            QVERIFY2(ui.BTN_None->isEnabled() == s.noneEnabled, at);
            QVERIFY2(ui.BTN_None->isChecked() == s.noneChecked, at);
            QVERIFY2(rig.pty.read(std::strlen(s.line), 300) == s.line, at);
        }
        QCOMPARE(rig.pty.drain(), std::string());
        QVERIFY(ui.BTN_switch->isChecked());
    }

    void compatibilityBoxAndTheSettingsFile_data() { rowsOf(SettingsFiles); }
    void compatibilityBoxAndTheSettingsFile() {
        QFETCH(int, row);
        const std::string remove = SettingsFiles[row].remove;
        const std::string message = SettingsFiles[row].message;
        CalibrateRig rig(Standard);
        rig.open();
        QVERIFY(!rig.ui().CHKBOX_Compat->isChecked());
        const std::filesystem::path home = rig.dir.path().toStdString();
        if (!remove.empty())
            std::filesystem::remove_all(remove == "." ? home : home / remove);

        clickIndicator(rig.ui().CHKBOX_Compat);
        QVERIFY(rig.ui().CHKBOX_Compat->isChecked());
        QVERIFY(rig.state.compatibility);
        if (message.empty()) {
            QVERIFY(rig.box.shown.empty());
            FileSettingsStore reread(rig.dir.path().toStdString());
            QCOMPARE(reread.open(false), SettingsStore::OpenResult::Ok);
            QCOMPARE(reread.readInt("Compatibility"), std::optional<std::int32_t>(1));
            QCOMPARE(reread.readInt("Port"), std::optional<std::int32_t>(1));
        } else {
            QCOMPARE(rig.box.shown.size(), std::size_t{1});
            QCOMPARE(rig.box.shown[0].text, message);
            QCOMPARE(rig.box.shown[0].caption, std::string("error"));
        }
        // The next Apply uses the old layout either way.
        QTest::mouseClick(rig.ui().Offset_Apply, Qt::LeftButton);
        QCOMPARE(rig.pty.read(15, 300), std::string("$PZCAL0,P*08\r\n"));
    }

    void presetRunsOnlyWhenHiddenBecomesShown() {
        CalibrateRig rig;
        auto& ui = rig.ui();
        const auto changeControls = [&] {
            ui.ED_Offset->setText("77");
            ui.CourseRow3->setChecked(true);
            ui.TypeRow1->setChecked(true);
        };
        const auto preset = [&] {
            return ui.ED_Offset->text() == "    0" && ui.CourseRow0->isChecked() &&
                   ui.TypeRow0->isChecked();
        };
        rig.open();
        QVERIFY(preset());
        changeControls();
        rig.open(); // already showing: only comes to the front
        QVERIFY(rig.calibrate.isVisible());
        QVERIFY(!preset());
        QCOMPARE(ui.ED_Offset->text(), QString("77"));

        // Each way of closing hides the dialog; the next showing presets again.
        const std::function<void()> closers[] = {
            [&] { QTest::mouseClick(ui.BTN_Done, Qt::LeftButton); },
            [&] { rig.calibrate.close(); },
            [&] { QTest::keyClick(&rig.calibrate, Qt::Key_Escape); },
        };
        for (const auto& close : closers) {
            close();
            QVERIFY(rig.calibrate.isHidden());
            changeControls(); // a hidden dialog keeps whatever its controls hold
            QCOMPARE(ui.ED_Offset->text(), QString("77"));
            rig.calibrate.show();
            QVERIFY(preset());
            changeControls();
        }
        QCOMPARE(rig.pty.drain(), std::string());
    }
};

QTEST_MAIN(CalibrateDialogTest)
#include "CalibrateDialogTest.moc"
