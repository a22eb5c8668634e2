#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

#include "app/SettingsStore.h"
#include "core/Fakes.h"
#include "core/TempDir.h"
#include "coupler/CalibrateLogic.h"
#include "serial/TransmitLine.h"

namespace fs = std::filesystem;

namespace {

using E = CalibrateEdit;
using G = CalibrateGroup;
using L = CalibrateLogic;

// A message box that also notes each box in the window's event list, so the order of
// stay-on-top switches and boxes can be checked.
class LoggingBox : public FakeMessageBox {
public:
    explicit LoggingBox(std::vector<std::string>& e) : events(e) {}
    MsgResult show(const std::string& text, const std::string& caption, MsgIcon icon,
                   MsgButtons buttons) override {
        events.push_back("box " + text);
        return FakeMessageBox::show(text, caption, icon, buttons);
    }
    std::vector<std::string>& events;
};

// Holds the controls' state. With `logic` set it runs a control's handler whenever code
// changes that control, as some toolkits do; the outcome must not depend on it.
class FakeCalibrateWindow : public CalibrateWindow {
public:
    std::string text(E e) const override { return texts.at(e); }
    void setText(E e, const std::string& t) override { texts[e] = t; }
    void setEnabled(CalibrateControl c, bool on) override { enabled[c] = on; }
    bool isChecked(CalibrateCheckBox b) const override {
        return b == CalibrateCheckBox::BTN_None ? none : compat;
    }
    void setChecked(CalibrateCheckBox b, bool on) override {
        bool& box = b == CalibrateCheckBox::BTN_None ? none : compat;
        const bool changed = box != on;
        box = on;
        if (!changed || !logic)
            return;
        if (b == CalibrateCheckBox::BTN_None) {
            logic->BTN_NoneClick();
        } else {
            compatHandlerSawPreset.push_back(logic->presetting());
            logic->CHKBOX_CompatClick();
        }
    }
    DimSource markedSource() const override { return source; }
    void markSource(DimSource s) override {
        const bool changed = source != s;
        source = s;
        if (changed && logic)
            clickSource(*logic, s);
    }
    int selectedRow(G g) const override { return rows.at(g); }
    void selectRow(G g, int row) override { rows[g] = row; }
    void setStayOnTop(bool on) override { events.push_back(on ? "top on" : "top off"); }
    void hideDialog() override { hidden = true; }

    static void clickSource(L& logic, DimSource s) {
        if (s == DimSource::BTN_sensor)
            logic.BTN_sensorClick();
        else if (s == DimSource::BTN_volt)
            logic.BTN_voltClick();
        else if (s == DimSource::BTN_switch)
            logic.BTN_switchClick();
    }

    std::map<E, std::string> texts{{E::ED_Offset, ""},     {E::ED_Dim, ""},
                                   {E::EM_numbVP, "5"},    {E::EM_anticipation, "0"},
                                   {E::EM_maxAngle, "90"}, {E::EM_maxTime, "20"}};
    std::map<CalibrateControl, bool> enabled{{CalibrateControl::ED_Dim, true},
                                             {CalibrateControl::BTN_None, true}};
    bool none = false;
    bool compat = false;
    DimSource source = DimSource::None;
    std::map<G, int> rows{{G::CourseGroup, -1},
                          {G::HeadingGroup, -1},
                          {G::TypeGroup, -1},
                          {G::RadioOKbrightGroup, 0}};
    std::vector<std::string> events;
    std::vector<bool> compatHandlerSawPreset;
    bool hidden = false;
    L* logic = nullptr;
};

constexpr const char* SettingsText = "Port=2\nCompatibility=1\n";

struct Rig {
    TempDir tmp;
    FileSettingsStore store{tmp.path / "cfg"};
    EmulatorState state;
    FakeSerialDevice device;
    FakeCalibrateWindow window;
    LoggingBox box{window.events};
    SerialLink link{state, device, box};
    FakeTerminal term;
    TerminalLog log{&term, 12, 38};
    Transmitter tx{state, link, log};
    L logic{state, window, tx, box, store};

    explicit Rig(bool handlersOnChange = true) {
        state.portHandle = 4;
        fs::create_directories(store.filePath().parent_path());
        std::ofstream(store.filePath()) << SettingsText;
        if (handlersOnChange)
            window.logic = &logic;
    }
    // The user ticks or unticks a box, or marks a source button.
    void click(CalibrateCheckBox b, bool on) {
        (b == CalibrateCheckBox::BTN_None ? window.none : window.compat) = on;
        if (b == CalibrateCheckBox::BTN_None)
            logic.BTN_NoneClick();
        else
            logic.CHKBOX_CompatClick();
    }
    void mark(DimSource s) {
        window.source = s;
        FakeCalibrateWindow::clickSource(logic, s);
    }
    std::string settingsFile() const {
        std::ifstream in(store.filePath());
        return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
    }
};

TEST(CalibrateLogic, FirstOpeningWithInitialSettings) {
    for (const bool handlersOnChange : {false, true}) {
        for (const bool compatibility : {true, false}) {
            SCOPED_TRACE(std::to_string(handlersOnChange) + std::to_string(compatibility));
            Rig rig(handlersOnChange);
            rig.state.compatibility = compatibility;
            rig.window.compat = !compatibility; // the box starts out of step with the flag
            rig.logic.FormShow();
            const auto& w = rig.window;
            EXPECT_EQ(w.texts.at(E::ED_Offset), "    0");
            EXPECT_EQ(w.source, DimSource::BTN_switch);
            EXPECT_FALSE(w.none);
            EXPECT_TRUE(w.enabled.at(CalibrateControl::BTN_None));
            EXPECT_TRUE(w.enabled.at(CalibrateControl::ED_Dim));
            EXPECT_EQ(w.texts.at(E::ED_Dim), "  9");
            EXPECT_EQ(w.rows.at(G::CourseGroup), 0);
            EXPECT_EQ(w.rows.at(G::HeadingGroup), 2);
            EXPECT_EQ(w.rows.at(G::TypeGroup), 0);
            EXPECT_EQ(w.rows.at(G::RadioOKbrightGroup), 0);
            EXPECT_EQ(w.texts.at(E::EM_numbVP), "5");
            EXPECT_EQ(w.texts.at(E::EM_maxAngle), "90");
            EXPECT_EQ(w.compat, compatibility);
            // The preset changes nothing stored and never writes the settings file.
            EXPECT_EQ(rig.state.compatibility, compatibility);
            EXPECT_EQ(rig.state.dimmingWord, 10);
            EXPECT_EQ(rig.settingsFile(), SettingsText);
            EXPECT_TRUE(rig.box.shown.empty());
            EXPECT_EQ(w.compatHandlerSawPreset,
                      handlersOnChange ? std::vector<bool>{true} : std::vector<bool>{});
            EXPECT_FALSE(rig.logic.presetting());
            EXPECT_TRUE(rig.device.written.empty());
        }
    }
}

TEST(CalibrateLogic, OpeningShowsTheDimmingWord) {
    struct Row {
        std::int32_t word;
        bool noneBefore;
        const char* dimBefore;
        DimSource source;
        bool dimEnabled, noneEnabled, noneChecked;
        const char* dimAfter;
    };
    using S = DimSource;
    const Row rows[] = {
        {10, true, "3", S::BTN_switch, true, true, false, "  9"},
        {1, false, "", S::BTN_switch, true, true, false, "  0"},
        {0, false, "7", S::BTN_switch, false, true, true, "7"},
        {128, false, "7", S::BTN_sensor, false, false, false, "7"},
        {138, true, "7", S::BTN_sensor, false, false, true, "7"},
        {192, false, "7", S::BTN_sensor, false, false, false, "7"},
        {64, false, "7", S::BTN_volt, false, false, false, "7"},
        {74, false, "7", S::BTN_volt, false, false, false, "7"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.word);
        Rig rig;
        rig.state.dimmingWord = r.word;
        rig.window.none = r.noneBefore;
        rig.window.texts[E::ED_Dim] = r.dimBefore;
        rig.logic.FormShow();
        EXPECT_EQ(rig.window.source, r.source);
        EXPECT_EQ(rig.window.enabled.at(CalibrateControl::ED_Dim), r.dimEnabled);
        EXPECT_EQ(rig.window.enabled.at(CalibrateControl::BTN_None), r.noneEnabled);
        EXPECT_EQ(rig.window.none, r.noneChecked);
        EXPECT_EQ(rig.window.texts.at(E::ED_Dim), r.dimAfter);
        EXPECT_EQ(rig.state.dimmingWord, r.word);
    }
}

TEST(CalibrateLogic, OpeningSelectsStoredRowsAndOffset) {
    struct Row {
        std::uint8_t course, heading;
        std::int32_t type, offset;
        int courseRow, headingRow, typeRow;
        const char* offsetText;
    };
    const Row rows[] = {
        {3, 0, 1, -25, 3, 0, 1, "  -25"},
        {1, 3, 2, 123456, 1, 3, 2, "123456"},
        {7, 9, 5, INT32_MIN, -1, -1, 2, "-2147483648"}, // gains out of range leave the rows
        {0, 2, -1, 42, 0, 2, 2, "   42"},
    };
    for (const auto& r : rows) {
        Rig rig;
        rig.state.courseGainCode = r.course;
        rig.state.headingGainCode = r.heading;
        rig.state.couplerType = r.type;
        rig.state.offsetCounts = r.offset;
        rig.logic.FormShow();
        EXPECT_EQ(rig.window.rows.at(G::CourseGroup), r.courseRow);
        EXPECT_EQ(rig.window.rows.at(G::HeadingGroup), r.headingRow);
        EXPECT_EQ(rig.window.rows.at(G::TypeGroup), r.typeRow);
        EXPECT_EQ(rig.window.texts.at(E::ED_Offset), r.offsetText);
        EXPECT_EQ(rig.state.couplerType, r.type);
    }
}

enum class Field { None, Offset, Dimming, CourseGain, HeadingGain, Type, Vwp, Adv, Mxa, Mxd };

std::int64_t fieldOf(const EmulatorState& s, Field f) {
    switch (f) {
    case Field::Offset:
        return s.offsetCounts;
    case Field::Dimming:
        return s.dimmingWord;
    case Field::CourseGain:
        return s.courseGainCode;
    case Field::HeadingGain:
        return s.headingGainCode;
    case Field::Type:
        return s.couplerType;
    case Field::Vwp:
        return s.virtualWaypoints;
    case Field::Adv:
        return s.anticipation;
    case Field::Mxa:
        return s.maxAngle;
    case Field::Mxd:
        return s.maxTime;
    case Field::None:
        break;
    }
    return 0;
}

TEST(CalibrateLogic, EachApplySendsItsSentence) {
    struct Row {
        const char* name;
        void (L::*handler)();
        bool compat = false;
        OutputFormat format = OutputFormat::NmeaV3;
        E edit = E::ED_Offset;
        const char* typed = nullptr;
        G group = G::CourseGroup;
        int row = -2; // -2: leave the group as the opening set it
        DimSource source = DimSource::BTN_switch;
        bool none = false;
        std::int32_t offsetBefore = 0;
        const char* wire = "";
        const char* boxAfter = nullptr;
        Field field = Field::None;
        std::int64_t value = 0;
    };
    // clang-format off
    const Row rows[] = {
        {.name = "offset -25", .handler = &L::Offset_ApplyClick, .typed = "-25",
         .wire = "$PZCAL,25,N*0D\r\n", .boxAfter = "  -25", .field = Field::Offset, .value = -25},
        {.name = "offset compat", .handler = &L::Offset_ApplyClick, .compat = true,
         .typed = " 7xyz", .wire = "$PZCAL7,P*0F\r\n", .boxAfter = "    7", .field = Field::Offset,
         .value = 7},
        {.name = "offset abc resends", .handler = &L::Offset_ApplyClick, .typed = "abc",
         .offsetBefore = -25, .wire = "$PZCAL,25,N*0D\r\n", .boxAfter = "  -25",
         .field = Field::Offset, .value = -25},
        {.name = "offset too big", .handler = &L::Offset_ApplyClick, .typed = "-99999999999",
         .wire = "$PZCAL,2147483648,N*0F\r\n", .boxAfter = "-2147483648", .field = Field::Offset,
         .value = INT32_MIN},
        {.name = "offset aviation", .handler = &L::Offset_ApplyClick,
         .format = OutputFormat::Aviation, .typed = "25", .wire = "$PZCAL,25,P*13",
         .boxAfter = "   25", .field = Field::Offset, .value = 25},
        {.name = "dim 12", .handler = &L::BTN_Dim_ApplyClick, .edit = E::ED_Dim, .typed = "12",
         .wire = "$PZDIM,10*67\r\n", .boxAfter = "9", .field = Field::Dimming, .value = 10},
        {.name = "dim -3", .handler = &L::BTN_Dim_ApplyClick, .edit = E::ED_Dim, .typed = " -3",
         .wire = "$PZDIM,1*57\r\n", .boxAfter = "0", .field = Field::Dimming, .value = 1},
        {.name = "dim 0 compat", .handler = &L::BTN_Dim_ApplyClick, .compat = true,
         .edit = E::ED_Dim, .typed = "0", .wire = "$PZDIM1,*57\r\n", .boxAfter = "0",
         .field = Field::Dimming, .value = 1},
        {.name = "dim none", .handler = &L::BTN_Dim_ApplyClick, .edit = E::ED_Dim, .typed = "abc",
         .none = true, .wire = "$PZDIM,0*56\r\n", .boxAfter = "abc", .field = Field::Dimming},
        {.name = "dim sensor", .handler = &L::BTN_Dim_ApplyClick, .source = DimSource::BTN_sensor,
         .wire = "$PZDIM,128*5D\r\n", .field = Field::Dimming, .value = 128},
        {.name = "dim volt", .handler = &L::BTN_Dim_ApplyClick, .source = DimSource::BTN_volt,
         .wire = "$PZDIM,64*64\r\n", .field = Field::Dimming, .value = 64},
        {.name = "course 10.0", .handler = &L::BTN_CGAIN_APPLYClick, .row = 3,
         .wire = "$PZGAN,3*5D\r\n", .field = Field::CourseGain, .value = 3},
        {.name = "course compat", .handler = &L::BTN_CGAIN_APPLYClick, .compat = true,
         .wire = "$PZGAN0,*5E\r\n", .field = Field::CourseGain, .value = 0},
        {.name = "heading x1.0", .handler = &L::BTN_HGain_applyClick, .wire = "$PZHGN,2*55\r\n",
         .field = Field::HeadingGain, .value = 2},
        {.name = "heading x2.0", .handler = &L::BTN_HGain_applyClick, .group = G::HeadingGroup,
         .row = 3, .wire = "$PZHGN,3*54\r\n", .field = Field::HeadingGain, .value = 3},
        {.name = "type cedar compat", .handler = &L::BTN_Type_ApplyClick, .compat = true,
         .group = G::TypeGroup, .row = 2, .wire = "$PZTST7,*42\r\n", .field = Field::Type,
         .value = 2},
        {.name = "type birch", .handler = &L::BTN_Type_ApplyClick, .group = G::TypeGroup, .row = 1,
         .wire = "$PZTST,1*44\r\n", .field = Field::Type, .value = 1},
        {.name = "bright", .handler = &L::BTN_OKDIM_APPLYClick, .group = G::RadioOKbrightGroup,
         .row = 1, .wire = "$PZEQP,255*50\r\n"},
        {.name = "normal", .handler = &L::BTN_OKDIM_APPLYClick, .wire = "$PZEQP,0*52\r\n"},
        {.name = "waypoints 5", .handler = &L::BTN_numbWPClick, .edit = E::EM_numbVP,
         .wire = "$PZVWP,5*42\r\n", .boxAfter = " 5", .field = Field::Vwp, .value = 5},
        {.name = "waypoints -4", .handler = &L::BTN_numbWPClick, .edit = E::EM_numbVP,
         .typed = "-4", .wire = "$PZVWP,0*47\r\n", .boxAfter = " 0", .field = Field::Vwp},
        {.name = "anticipation 999", .handler = &L::BTN_anticipationClick,
         .edit = E::EM_anticipation, .typed = "999", .wire = "$PZADV,127*41\r\n", .boxAfter = "127",
         .field = Field::Adv, .value = 127},
        {.name = "angle 99", .handler = &L::BTN_maxAngleClick, .edit = E::EM_maxAngle,
         .typed = "99", .wire = "$PZMXA,90*7B\r\n", .boxAfter = "90", .field = Field::Mxa,
         .value = 90},
        {.name = "time empty", .handler = &L::BTN_maxTimeClick, .edit = E::EM_maxTime, .typed = "",
         .wire = "$PZMXD,0*47\r\n", .boxAfter = " 0", .field = Field::Mxd},
        {.name = "time aviation", .handler = &L::BTN_maxTimeClick, .format = OutputFormat::Aviation,
         .wire = "$PZMXD,20*75", .field = Field::Mxd, .value = 20},
    };
    // clang-format on
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Rig rig;
        rig.logic.FormShow();
        rig.window.compat = r.compat;
        rig.state.compatibility = r.compat;
        rig.state.format = r.format;
        if (r.typed)
            rig.window.texts[r.edit] = r.typed;
        if (r.row != -2)
            rig.window.rows[r.group] = r.row;
        rig.window.source = r.source;
        rig.window.none = r.none;
        rig.state.offsetCounts = r.offsetBefore;
        (rig.logic.*r.handler)();
        EXPECT_EQ(rig.device.written, r.wire);
        std::string echo = r.wire;
        if (echo.ends_with("\r\n"))
            echo.resize(echo.size() - 2);
        EXPECT_EQ(rig.term.lines, std::vector<std::string>{echo});
        if (r.boxAfter) {
            EXPECT_EQ(rig.window.texts.at(r.edit), r.boxAfter);
        }
        if (r.field != Field::None) {
            EXPECT_EQ(fieldOf(rig.state, r.field), r.value);
        }
        EXPECT_TRUE(rig.box.shown.empty());
    }
}

TEST(CalibrateLogic, DimBoxThatIsNotAWholeNumberChangesNothing) {
    for (const char* typed : {"abc", "", "9 ", "1.5", "99999999999", "0x5"}) {
        SCOPED_TRACE(typed);
        Rig rig;
        rig.logic.FormShow();
        rig.window.texts[E::ED_Dim] = typed;
        rig.logic.BTN_Dim_ApplyClick();
        ASSERT_EQ(rig.box.shown.size(), 1u);
        EXPECT_EQ(rig.box.shown[0].text,
                  "'" + std::string(typed) + "' is not a valid integer value");
        EXPECT_EQ(rig.box.shown[0].caption, "");
        EXPECT_EQ(rig.box.shown[0].icon, MsgIcon::Error);
        EXPECT_EQ(rig.window.texts.at(E::ED_Dim), typed);
        EXPECT_EQ(rig.state.dimmingWord, 10);
        EXPECT_TRUE(rig.device.written.empty());
        EXPECT_TRUE(rig.term.lines.empty());
    }
}

TEST(CalibrateLogic, CompatibilityModeRefusesNewerCommands) {
    constexpr const char* Old = "Not Implimented for Coupliers shipped before 1/1/04";
    constexpr const char* Camlink = "Not Implimented except for Camlinks";
    struct Row {
        void (L::*handler)();
        const char* message;
        std::vector<std::string> events;
    };
    const Row rows[] = {
        {&L::BTN_HGain_applyClick, Old, {"top off", std::string("box ") + Old, "top on"}},
        {&L::BTN_OKDIM_APPLYClick, Old, {std::string("box ") + Old}},
        {&L::BTN_numbWPClick, Camlink, {std::string("box ") + Camlink}},
        {&L::BTN_anticipationClick, Camlink, {std::string("box ") + Camlink}},
        {&L::BTN_maxAngleClick, Camlink, {std::string("box ") + Camlink}},
        {&L::BTN_maxTimeClick, Camlink, {std::string("box ") + Camlink}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.events.back());
        Rig rig;
        rig.logic.FormShow();
        ASSERT_TRUE(rig.window.compat);
        for (const E e : {E::EM_numbVP, E::EM_anticipation, E::EM_maxAngle, E::EM_maxTime})
            rig.window.texts[e] = "7";
        rig.window.rows[G::HeadingGroup] = 3;
        const EmulatorState before = rig.state;
        (rig.logic.*r.handler)();
        ASSERT_EQ(rig.box.shown.size(), 1u);
        EXPECT_EQ(rig.box.shown[0].text, r.message);
        EXPECT_EQ(rig.box.shown[0].caption, "Warning");
        EXPECT_EQ(rig.window.events, r.events);
        EXPECT_TRUE(rig.device.written.empty());
        EXPECT_TRUE(rig.term.lines.empty());
        EXPECT_EQ(rig.window.texts.at(E::EM_maxAngle), "7");
        EXPECT_EQ(rig.state.headingGainCode, before.headingGainCode);
        EXPECT_EQ(rig.state.virtualWaypoints, before.virtualWaypoints);
        EXPECT_EQ(rig.state.anticipation, before.anticipation);
        EXPECT_EQ(rig.state.maxAngle, before.maxAngle);
        EXPECT_EQ(rig.state.maxTime, before.maxTime);
    }
}

TEST(CalibrateLogic, DimmingSourceAndNoneBox) {
    enum class Act { Sensor, Volt, Switch, CheckNone, UncheckNone, SensorHandlerUnmarked };
    struct Row {
        std::int32_t start;
        Act act;
        const char* dimText;
        std::int32_t word;
        bool dimEnabled, noneEnabled;
    };
    const Row rows[] = {
        {10, Act::Sensor, nullptr, 138, false, false},
        {10, Act::Volt, nullptr, 74, false, false},
        {138, Act::Volt, nullptr, 74, false, false},
        {138, Act::Switch, nullptr, 10, true, true},
        {74, Act::Switch, nullptr, 10, true, true},
        {128, Act::Switch, nullptr, 0, true, true},
        {10, Act::CheckNone, nullptr, 0, false, true},
        {0, Act::UncheckNone, "  4", 5, true, true},
        {0, Act::UncheckNone, "15", 10, true, true},
        {0, Act::UncheckNone, "-7", 1, true, true},
        {0, Act::UncheckNone, " 3x", 4, true, true},
        {0, Act::UncheckNone, "99999999999", 10, true, true},
        {0, Act::UncheckNone, "abc", 0, true, true},
        {10, Act::SensorHandlerUnmarked, nullptr, 10, true, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.start) + " act " + std::to_string(static_cast<int>(r.act)));
        Rig rig(false);
        rig.state.dimmingWord = r.start;
        rig.logic.FormShow();
        if (r.dimText)
            rig.window.texts[E::ED_Dim] = r.dimText;
        switch (r.act) {
        case Act::Sensor:
            rig.mark(DimSource::BTN_sensor);
            break;
        case Act::Volt:
            rig.mark(DimSource::BTN_volt);
            break;
        case Act::Switch:
            rig.mark(DimSource::BTN_switch);
            break;
        case Act::CheckNone:
            rig.click(CalibrateCheckBox::BTN_None, true);
            break;
        case Act::UncheckNone:
            rig.click(CalibrateCheckBox::BTN_None, false);
            break;
        case Act::SensorHandlerUnmarked:
            rig.logic.BTN_sensorClick();
            break;
        }
        EXPECT_EQ(rig.state.dimmingWord, r.word);
        EXPECT_EQ(rig.window.enabled.at(CalibrateControl::ED_Dim), r.dimEnabled);
        EXPECT_EQ(rig.window.enabled.at(CalibrateControl::BTN_None), r.noneEnabled);
        if (r.dimText) {
            EXPECT_EQ(rig.window.texts.at(E::ED_Dim), r.dimText); // never rewritten here
        }
        EXPECT_TRUE(rig.device.written.empty());
    }
}

TEST(CalibrateLogic, SensorApplyThenSwitchReopensAsNone) {
    Rig rig;
    rig.logic.FormShow();
    rig.mark(DimSource::BTN_sensor);
    rig.logic.BTN_Dim_ApplyClick();
    rig.mark(DimSource::BTN_switch);
    rig.logic.BTN_DoneClick();
    EXPECT_TRUE(rig.window.hidden);
    rig.logic.FormShow();
    EXPECT_EQ(rig.state.dimmingWord, 0);
    EXPECT_TRUE(rig.window.none);
    EXPECT_FALSE(rig.window.enabled.at(CalibrateControl::ED_Dim));
    EXPECT_EQ(rig.device.written, "$PZDIM128,*5D\r\n"); // compatibility mode is on at start
}

TEST(CalibrateLogic, CompatibilityBoxWritesTheSettingsFile) {
    enum class Missing { Nothing, File, Directory, ConfigHome };
    struct Row {
        Missing missing;
        const char* message; // nullptr: none
        const char* fileAfter;
    };
    const Row rows[] = {
        {Missing::Nothing, nullptr, "Port=2\nCompatibility=0\n"},
        {Missing::File, "Can't open Tarrow", "<missing>"},
        {Missing::Directory, "Can't open Brackwater", "<missing>"},
        {Missing::ConfigHome, "Can't open Software", "<missing>"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.missing));
        Rig rig;
        const fs::path file = rig.store.filePath();
        if (r.missing == Missing::File)
            fs::remove(file);
        if (r.missing == Missing::Directory)
            fs::remove_all(file.parent_path());
        if (r.missing == Missing::ConfigHome)
            fs::remove_all(file.parent_path().parent_path());
        rig.logic.FormShow();
        rig.click(CalibrateCheckBox::CHKBOX_Compat, false);
        EXPECT_FALSE(rig.state.compatibility);
        EXPECT_EQ(rig.settingsFile(), r.fileAfter);
        if (r.message) {
            ASSERT_EQ(rig.box.shown.size(), 1u);
            EXPECT_EQ(rig.box.shown[0].text, r.message);
            EXPECT_EQ(rig.box.shown[0].caption, "error");
        } else {
            EXPECT_TRUE(rig.box.shown.empty());
        }
        // The next Apply already uses the standard layout.
        rig.logic.Offset_ApplyClick();
        EXPECT_EQ(rig.device.written, "$PZCAL,0,P*24\r\n");
    }
}

class RefusingStore : public SettingsStore {
public:
    OpenResult open(bool) override { return OpenResult::Ok; }
    std::optional<std::int32_t> readInt(const std::string&) override { return std::nullopt; }
    bool writeInt(const std::string& name, std::int32_t value) override {
        tried = name + "=" + std::to_string(value);
        return false;
    }
    std::string devicePath(const std::string&) override { return {}; }
    std::string tried;
};

TEST(CalibrateLogic, CompatibilityValueThatCannotBeWritten) {
    Rig rig(false);
    RefusingStore store;
    L logic{rig.state, rig.window, rig.tx, rig.box, store};
    rig.state.compatibility = false;
    rig.window.compat = true;
    logic.CHKBOX_CompatClick();
    EXPECT_EQ(store.tried, "Compatibility=1");
    ASSERT_EQ(rig.box.shown.size(), 1u);
    EXPECT_EQ(rig.box.shown[0].text, "Can't write Compatibility");
    EXPECT_EQ(rig.box.shown[0].caption, "error");
    EXPECT_TRUE(rig.state.compatibility);
}

} // namespace
