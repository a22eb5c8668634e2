// The forms' handlers on fake windows over a real engine: the text rules (the locale's numbers,
// the edits' pictures, the boxes' number rules), enabled states, focus, and what each shows.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <utility>

#include "core/engine/EngineRig.h"
#include "core/pages/FakeWindow.h"
#include "pages/CalibratePage.h"
#include "pages/SerialPortPage.h"

namespace {

constexpr auto V = Control::EB_Value, T = Control::EB_Track, S = Control::EB_Speed,
               F = Control::EB_Flow;
using Focus = std::optional<Control>;

struct Rig : EngineRig {
    FakeWindow w;
    SimulatorPage simulator{e, w};
    FilePage file{e, w, simulator};

    // Types into an edit, then presses Enter (clicks 0) or its step button, up when clicks > 0.
    void type(Control edit, const std::string& typed, int clicks = 0) {
        using P = SimulatorPage;
        const int i = edit == V ? 0 : edit == T ? 1 : edit == S ? 2 : 3;
        const decltype(&P::EB_ValueKeyPress) enter[] = {&P::EB_ValueKeyPress, &P::EB_TrackKeyPress,
                                                        &P::EB_SpeedKeypress, &P::EB_FlowKeyPress};
        const decltype(&P::UpDown1Click) step[] = {&P::UpDown1Click, &P::UpDown2Click,
                                                   &P::UpDown3Click, &P::UpDown4Click};
        w.texts[edit] = typed;
        if (clicks == 0)
            (simulator.*enter[i])('\r');
        for (int k = 0; k < std::abs(clicks); ++k)
            (simulator.*step[i])(clicks > 0 ? UpDownButton::Up : UpDownButton::Down);
    }
};

// What the edit shows after Enter or a step, in the user's decimal separator; Enter moves the
// focus on (not in the fuel-flow edit).
TEST(SimulatorPage, EditsShowWhatWasStoredInTheirPicture) {
    constexpr Focus Xte = Control::GroupXTE, Heading = Control::BTN_Heading;
    const std::tuple<Control, const char*, int, const char*, Focus> rows[] = {
        {T, "12,37", 0, "12,3", Heading}, {T, "359.5", 1, "0.5", {}},
        {S, "150.4", 0, "150", Heading},  {S, "499.5", 1, "500", {}},
        {V, "0.1", 2, "0.30", {}},        {V, "2,5", 0, "2,50", Xte},
        {F, "4.9", 1, "5.0", {}},         {F, "2,5", 0, "2,5", {}},
    };
    for (const auto& [edit, typed, clicks, shown, focus] : rows) {
        Rig rig;
        rig.w.separator = std::strchr(typed, ',') ? "," : ".";
        rig.type(edit, typed, clicks);
        EXPECT_EQ(std::pair(rig.w.texts[edit], rig.w.focus), std::pair(std::string(shown), focus))
            << typed;
    }
}

TEST(SimulatorPage, TextThatIsNoNumberChangesNothingAndIsNamed) {
    const std::tuple<Control, const char*, const char*> rows[] = {
        {V, "abc", "."}, {T, "1.5", ","}, {S, "inf", "."}, {F, "", "."}};
    for (const auto& [edit, typed, separator] : rows) {
        Rig rig;
        rig.w.separator = separator;
        const SimulatorValues before = rig.e.simulator().values();
        rig.type(edit, typed);
        rig.type(edit, typed, 1);
        EXPECT_EQ(rig.e.simulator().values().trackTenths, before.trackTenths);
        EXPECT_EQ(rig.e.fuelFlow().fuelFlow(), 10.0f);
        EXPECT_EQ(std::pair(rig.w.texts[edit], rig.w.focus),
                  std::pair(std::string(typed), Focus()));
        EXPECT_EQ(rig.box.texts(),
                  std::vector<std::string>(2, std::string("'") + typed +
                                                  "' is not a valid floating point value"));
    }
}

TEST(SimulatorPage, CheckBoxesAndCrossTrackChoiceEnableTheirControls) {
    using enum XteMode;
    using Handler = void (SimulatorPage::*)();
    constexpr Handler course = &SimulatorPage::BTN_CourseClick,
                      heading = &SimulatorPage::BTN_HeadingClick,
                      xte = &SimulatorPage::GroupXTEClick;
    // handler, box checked, mode before, item chosen, mode after, enabled at the end, focus
    const std::tuple<Handler, bool, XteMode, int, XteMode, std::string, std::string> rows[] = {
        {course, true, Left, -1, Left, " +GroupXTE", ""},
        {course, true, Value, -1, Value, " +GroupXTE +EB_Value", ""},
        {course, false, Value, -1, Value, " -GroupXTE -EB_Value", ""},
        {heading, true, Left, -1, Left, " +EB_Track +EB_Speed", "EB_Track"},
        {heading, false, Left, -1, Left, " -EB_Track -EB_Speed", ""},
        {xte, false, Value, 2, Right, " -EB_Value", ""},
        {xte, false, Left, 3, Value, " +EB_Value", "EB_Value"},
        {xte, false, Right, -1, Right, "", ""}, // no item chosen
    };
    for (const auto& [handler, checked, before, item, after, enabled, focus] : rows) {
        Rig rig;
        rig.e.simulator().setCourse(!checked);
        rig.e.simulator().setHeading(!checked);
        rig.e.simulator().setXteMode(before);
        rig.w.checked[Control::BTN_Course] = rig.w.checked[Control::BTN_Heading] = checked;
        rig.w.items[Control::GroupXTE] = item;
        (rig.simulator.*handler)();
        std::string enabledNow;
        for (const auto& [control, on] : rig.w.enabled)
            enabledNow += (on ? " +" : " -") + std::string(ControlName(control));
        const SimulatorValues& v = rig.e.simulator().values();
        EXPECT_EQ(std::tuple(enabledNow, rig.w.focus ? ControlName(*rig.w.focus) : "", v.courseOn,
                             v.headingOn, v.xteMode),
                  std::tuple(enabled, focus, handler == course ? checked : !checked,
                             handler == heading ? checked : !checked, after));
    }
}

// The pulses run before the value is read, so refused text leaves them on their old period.
TEST(SimulatorPage, FlowBoxStartsThePulsesBeforeReadingTheValue) {
    for (const char* typed : {"4", "x"}) {
        Rig rig;
        rig.w.checked[Control::BTN_FlowEna] = true;
        rig.w.texts[F] = typed;
        rig.simulator.BTN_FlowEnaClick();
        EXPECT_TRUE(rig.e.pulses().enabled() && rig.w.enabled[F] &&
                    rig.w.enabled[Control::UpDown4]);
        EXPECT_EQ(rig.e.pulses().period(), typed[0] == '4' ? 5 : 1000);
        rig.w.checked[Control::BTN_FlowEna] = false;
        rig.simulator.BTN_FlowEnaClick();
        EXPECT_FALSE(rig.e.pulses().enabled() || rig.w.enabled[F]);
    }
}

// Activation shows one decimal, the edit two: what is shown is what the next read stores.
TEST(SimulatorPage, ActivationRewritesControlsFromTheEngineAndTheBoxes) {
    for (const bool a : {false, true}) {
        Rig rig;
        rig.w.separator = a ? "," : ".";
        rig.e.simulator().setFormat(a ? OutputFormat::Aviation : OutputFormat::NmeaV2);
        rig.e.simulator().setXteMode(a ? XteMode::Value : XteMode::Right);
        rig.e.simulator().setXteValue(1.25);
        rig.e.simulator().setTrack(359.9);
        rig.w.checked[Control::BTN_Course] = a;
        rig.w.checked[Control::BTN_Heading] = rig.w.checked[Control::BTN_FlowEna] = !a;
        rig.simulator.FormActivate();
        const SimulatorValues& v = rig.e.simulator().values();
        EXPECT_EQ(std::tuple(rig.w.items[Control::GroupFormat], rig.w.items[Control::GroupXTE],
                             rig.w.enabled[V], v.courseOn, v.headingOn),
                  std::tuple(a ? 2 : 0, a ? 3 : 2, a, a, !a));
        EXPECT_EQ(rig.w.enabled[F] + rig.w.enabled[T] + rig.w.enabled[S], a ? 0 : 3);
        EXPECT_EQ(std::tuple(rig.w.texts[T], rig.w.texts[F], rig.w.texts[V]),
                  a ? std::tuple("359,9", "10,0", "1,3") : std::tuple("359.9", "10.0", "1.3"));
        EXPECT_FALSE(rig.w.texts.count(S)); // speed is left as typed
        EXPECT_EQ(rig.w.texts[Control::EDIT_chunks] + "/" + rig.w.texts[Control::EDIT_SecPause],
                  "25/1");
        rig.simulator.EB_ValueExit();
        EXPECT_EQ(v.xteValue, 1.3f);
        EXPECT_EQ(rig.w.texts[V], a ? "1,30" : "1.30");
    }
}

// Entering the File page pauses the output and saves the Simulator page's pause; leaving it
// brings that back whatever happened in between.
TEST(FilePage, PageChangesPauseAndRestore) {
    for (const bool pausedBefore : {false, true}) {
        Rig rig;
        RunLoop& loop = rig.e.runLoop();
        loop.setPaused(pausedBefore);
        rig.w.page = 1;
        rig.file.TAB_mainChange();
        EXPECT_EQ(std::tuple(loop.page(), loop.isPaused(), rig.w.pauseChecked),
                  std::tuple(Page::File, true, true));
        EXPECT_EQ(rig.w.items[Control::GroupFormat], 1); // the NMEA file type's format
        rig.file.MNU_PauseClick();
        EXPECT_FALSE(loop.isPaused() || rig.w.pauseChecked);
        rig.w.page = 0;
        rig.file.TAB_mainChange();
        EXPECT_EQ(std::tuple(loop.page(), loop.isPaused(), rig.w.pauseChecked),
                  std::tuple(Page::Simulator, pausedBefore, pausedBefore));
    }
}

// The button opens or closes; the counters keep to their ranges; the pause seconds become the
// period from the next tick only when their up-down is clicked.
TEST(FilePage, FileAndPace) {
    Rig rig;
    rig.w.chosen = (rig.dir.path / "missing.nmea").string();
    rig.file.BTN_OpenFileClick();
    EXPECT_EQ(rig.w.caption, "Open file"); // ignored without a message
    rig.w.chosen = std::string(TARROW_TEST_DATA_DIR "/playback/groups_lf.nmea");
    rig.file.BTN_OpenFileClick();
    EXPECT_EQ(rig.w.caption + "/" + rig.w.fileName, "Close file/groups_lf.nmea");
    rig.file.BTN_OpenFileClick();
    EXPECT_FALSE(rig.e.replay().isOpen());
    EXPECT_EQ(rig.w.fileName, "");

    const std::pair<const char*, int> secPause[] = {{"7", 7}, {"0", 7}, {"100", 7}, {"99", 99}};
    for (const auto& [typed, position] : secPause) {
        rig.w.setSecPauseText(typed);
        rig.file.EDIT_SecPauseChange();
        EXPECT_EQ(rig.w.positions[Control::UpDown_sec], position);
        EXPECT_EQ(rig.w.secPauseText(), std::to_string(position));
    }
    rig.w.setChunksText("250");
    rig.file.EDIT_chunksChange();
    EXPECT_EQ(rig.e.replay().recordsPerTickSetting(), 100);
    rig.e.runLoop().serve(rig.e.runLoop().nextTick());
    EXPECT_EQ(rig.e.runLoop().periodSeconds(), 1.0); // typed seconds pace the replay only
    rig.w.positions[Control::UpDown_sec] = 5;
    rig.file.UpDown_secClick();
    EXPECT_EQ(rig.w.secPauseText(), "5");
    rig.e.writer().flush(); // else the tick waits for the line
    rig.e.runLoop().serve(rig.e.runLoop().nextTick());
    EXPECT_EQ(rig.e.runLoop().periodSeconds(), 5.0);
}

using E = CalibrateEdit;
using P = CalibratePage;
using Src = DimSource;
constexpr auto NoneBox = CalibrateCheckBox::BTN_None;

// Holds the dialog's controls and, as Qt does, runs a control's handler when code changes it.
class FakeCalibrateWindow : public CalibrateWindow {
public:
    std::string text(E e) const override { return texts[e]; }
    void setText(E e, const std::string& t) override { texts[e] = t; }
    void setEnabled(CalibrateControl c, bool on) override { enabled[c] = on; }
    bool isChecked(CalibrateCheckBox b) const override { return b == NoneBox ? none : compat; }
    void setChecked(CalibrateCheckBox b, bool on) override {
        if (std::exchange(b == NoneBox ? none : compat, on) != on)
            (page->*(b == NoneBox ? &P::BTN_NoneClick : &P::CHKBOX_CompatClick))();
    }
    DimSource markedSource() const override { return source; }
    void markSource(DimSource s) override { // the page never unmarks all three
        if (std::exchange(source, s) != s)
            (page->*(s == Src::BTN_sensor ? &P::BTN_sensorClick
                     : s == Src::BTN_volt ? &P::BTN_voltClick
                                          : &P::BTN_switchClick))();
    }
    int selectedRow(CalibrateGroup g) const override { return rows.contains(g) ? rows.at(g) : -1; }
    void selectRow(CalibrateGroup g, int row) override { rows[g] = row; }
    void setStayOnTop(bool on) override { onTop.push_back(on); }
    void hideDialog() override {}

    mutable std::map<E, std::string> texts;
    std::map<CalibrateControl, bool> enabled;
    bool none = false, compat = false;
    DimSource source = Src::None;
    std::map<CalibrateGroup, int> rows;
    std::vector<bool> onTop;
    P* page = nullptr;
};

struct CalibrateRig : EngineRig {
    FakeCalibrateWindow w;
    P page{e.coupler(), w, box};
    CalibrateRig() {
        e.coupler().setCompatibility(false, false);
        w.page = &page;
    }
    // What went on the wire, then any message "[caption] text".
    std::string out() {
        std::string s;
        for (const auto& r : written())
            s += r;
        for (const auto& m : std::exchange(box.shown, {}))
            s += "[" + m.caption + "] " + m.text;
        return s;
    }
};

// One dialog through a run of clicks. Open rows set the word first; the other rows mark the
// row's source and None state, as the user's click does, before the handler runs. `text` goes
// into the level box first.
TEST(CalibratePage, DimmingWordThroughSourcesNoneAndApply) {
    struct Step {
        void (P::*act)();
        const char* text;
        std::int32_t word;
        DimSource source;
        bool dimOn, noneOn, noneChecked;
        const char *out, *box; // box nullptr: not checked
    };
    const auto Open = &P::FormShow, None = &P::BTN_NoneClick, Apply = &P::BTN_Dim_ApplyClick;
    const auto Sensor = &P::BTN_sensorClick, Volt = &P::BTN_voltClick, Switch = &P::BTN_switchClick;
    const Src Se = Src::BTN_sensor, Vo = Src::BTN_volt, Sw = Src::BTN_switch;
    // clang-format off
    const Step steps[] = {
        {Open, nullptr, 10, Sw, true, true, false, "", "  9"},
        {None, nullptr, 0, Sw, false, true, true, "", "  9"},
        {Open, "3", 10, Sw, true, true, false, "", "  9"}, // level written before None is cleared
        {Sensor, nullptr, 138, Se, false, false, false, "", nullptr},
        {Volt, nullptr, 74, Vo, false, false, false, "", nullptr},
        {Open, "7", 74, Vo, false, false, false, "", "7"},
        {Switch, nullptr, 10, Sw, true, true, false, "", "7"},
        {Sensor, nullptr, 10, Sw, true, true, false, "", nullptr}, // handler of an unmarked button
        {None, nullptr, 0, Sw, false, true, true, "", nullptr},
        {Apply, nullptr, 0, Sw, false, true, true, "$PZDIM,0*56\r\n", nullptr},
        {Sensor, nullptr, 128, Se, false, false, true, "", nullptr},
        {Apply, nullptr, 128, Se, false, false, true, "$PZDIM,128*5D\r\n", nullptr},
        {Switch, nullptr, 0, Sw, false, true, true, "", nullptr},
        {None, " 3x", 4, Sw, true, true, false, "", " 3x"}, // None never rewrites the box
        {None, "abc", 4, Sw, true, true, false, "", "abc"}, // unreadable: the word stays
        {Apply, "12", 10, Sw, true, true, false, "$PZDIM,10*67\r\n", "9"},
        {Apply, "9 ", 10, Sw, true, true, false, "[] '9 ' is not a valid integer value", "9 "},
        {Open, nullptr, 0, Sw, false, true, true, "", nullptr}, // a word of 0 shows as None
    };
    // clang-format on
    CalibrateRig rig;
    for (const Step& s : steps) {
        SCOPED_TRACE("step " + std::to_string(&s - steps));
        if (s.text)
            rig.w.texts[E::ED_Dim] = s.text;
        if (s.act == Open)
            rig.e.coupler().setDimmingWord(s.word);
        else
            rig.w.source = s.source, rig.w.none = s.noneChecked;
        (rig.page.*s.act)();
        EXPECT_EQ(std::tuple(rig.e.coupler().settings().dimmingWord, rig.w.source,
                             rig.w.enabled.at(CalibrateControl::ED_Dim),
                             rig.w.enabled.at(CalibrateControl::BTN_None), rig.w.none, rig.out()),
                  std::tuple(s.word, s.source, s.dimOn, s.noneOn, s.noneChecked, s.out));
        EXPECT_EQ(s.box ? rig.w.texts.at(E::ED_Dim) : "", s.box ? s.box : "");
    }
}

// The boxes by the leading-number rule, rewritten with what was stored; warnings of refused
// commands, the dialog off top only for the heading gain's; the opening's preset stores nothing.
TEST(CalibratePage, BoxesWarningsAndThePreset) {
    CalibrateRig rig;
    for (const char* typed : {"-25x", "abc"}) {
        rig.w.texts[E::ED_Offset] = typed;
        rig.page.Offset_ApplyClick();
    }
    rig.w.texts[E::EM_maxAngle] = "99";
    rig.page.BTN_maxAngleClick();
    EXPECT_EQ(rig.out(), "$PZCAL,25,N*0D\r\n$PZCAL,25,N*0D\r\n$PZMXA,90*7B\r\n");
    EXPECT_EQ(rig.w.texts[E::ED_Offset] + "/" + rig.w.texts[E::EM_maxAngle], "  -25/90");

    rig.e.coupler().setCompatibility(false, true);
    rig.e.coupler().setCompatibility(true, false); // the file says 0, the run 1
    rig.w.compat = false; // out of step: the opening's preset sets it without storing
    rig.page.FormShow();
    EXPECT_TRUE(rig.w.compat);
    EXPECT_NE(rig.settingsFile().find("Compatibility=0"), std::string::npos);
    rig.page.BTN_HGain_applyClick();
    rig.page.BTN_OKDIM_APPLYClick();
    rig.page.BTN_numbWPClick();
    EXPECT_EQ(rig.out(), "[Warning] " + std::string(Coupler::NotForOldCouplers) + "[Warning] " +
                             Coupler::NotForOldCouplers + "[Warning] " + Coupler::OnlyForCamlinks);
    EXPECT_EQ(rig.w.onTop, (std::vector<bool>{false, true}));
    rig.w.setChecked(CalibrateCheckBox::CHKBOX_Compat, false);
    EXPECT_NE(rig.settingsFile().find("Compatibility=0"), std::string::npos);
    rig.page.BTN_HGain_applyClick(); // the heading gain row of the opening: x 1.0
    EXPECT_EQ(rig.out(), "$PZHGN,2*55\r\n");
}

// OK switches port and baud rate; a port that cannot be opened asks, and Retry keeps the dialog.
TEST(SerialPortPage, OkRetryAndCancel) {
    struct Window : SerialPortWindow {
        int selectedPort() const override { return port; }
        void selectPort(int i) override { port = i; }
        int selectedBaud() const override { return baud; }
        void selectBaud(int c) override { baud = c; }
        void closeDialog() override { closed = true; }
        int port = -1, baud = -1;
        bool closed = false;
    };
    for (const MsgResult answer : {MsgResult::Retry, MsgResult::Cancel}) {
        const bool cancel = answer == MsgResult::Cancel;
        EngineRig rig;
        Window w;
        SerialPortPage page(rig.e, w);
        page.FormShow();
        EXPECT_EQ(std::pair(w.port, w.baud), std::pair(0, 0));
        w.port = 2;
        w.baud = 3;
        rig.device.failOpen = true;
        rig.box.answers.push_back(answer);
        page.BTN_OKClick();
        EXPECT_EQ(rig.box.shown.at(0).buttons, MsgButtons::RetryCancel);
        EXPECT_EQ(std::tuple(w.closed, rig.e.port().portIndex, rig.e.port().baudChoice),
                  std::tuple(cancel, 0, cancel ? 3 : 0));
    }
}

} // namespace
