// The Simulator page's logic (edits, boxes, format, fuel flow, activation) on a fake window.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>

#include "core/Fakes.h"
#include "emulator/FuelFlow.h"
#include "emulator/NmeaSentences.h"
#include "emulator/SimulatorInputs.h"
#include "emulator/WindowActivation.h"
#include "serial/LineWriter.h"
#include "serial/SerialLink.h"

namespace {

using Log = std::vector<std::string>;

// Keeps what the logic last set on each control and on FlowTimer, and logs each change, for
// where order matters.
class FakeWindow : public SimulatorWindow, public FlowTimer {
public:
    std::string text(Control c) const override { return texts.count(c) ? texts.at(c) : ""; }
    void setText(Control c, const std::string& t) override { keep(texts[c], t, "text ", c); }
    void selectAll(Control c) override { keep(selected, c, "select ", c); }
    // Plain decimal text with `separator` as the only decimal separator.
    bool toNumber(const std::string& t, double& number) const override {
        std::string s = t;
        if (separator != "." && s.find('.') != std::string::npos)
            return false;
        std::replace(s.begin(), s.end(), separator[0], '.');
        const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), number);
        return error == std::errc() && end == s.data() + s.size();
    }
    std::string decimalSeparator() const override { return separator; }
    void setEnabled(Control c, bool on) override { keep(enabled[c], on, on ? "+" : "-", c); }
    void setFocus(Control c) override { keep(focus, c, "focus ", c); }
    bool isChecked(Control c) const override { return checked.count(c) && checked.at(c); }
    int itemIndex(Control g) const override { return items.count(g) ? items.at(g) : -1; }
    void setItemIndex(Control g, int i) override { keep(items[g], i, "item ", g); }
    void setPosition(Control c, int p) override { keep(positions[c], p, "position ", c); }
    void setEnabled(bool on) override { log.push_back(on ? "+FlowTimer" : "-FlowTimer"); }
    void setPeriod(int ms) override {
        period = ms;
        log.push_back("period FlowTimer");
    }

    template <class Slot, class Value> void keep(Slot& slot, Value v, const char* what, Control c) {
        slot = v;
        log.push_back(what + std::string(ControlName(c)));
    }

    std::map<Control, std::string> texts;
    std::map<Control, bool> checked, enabled;
    std::map<Control, int> items, positions;
    std::optional<Control> focus, selected;
    int period = -1;
    std::string separator = ".";
    Log log;
};

constexpr auto V = Control::EB_Value, T = Control::EB_Track, S = Control::EB_Speed,
               F = Control::EB_Flow;

struct Rig {
    EmulatorState state;
    FakeWindow window;
    FakeMessageBox box;
    FakeSerialDevice device;
    LineWriter writer{device};
    SerialLink link{state, device, writer, box};
    SimulatorInputs inputs{state, window, box, link};
    FuelFlow flow{state, window, box, window};

    // Types into an edit, then presses Enter (clicks 0) or its step button, up when clicks > 0.
    void type(Control e, const std::string& typed, int clicks = 0) {
        window.texts[e] = typed;
        if (clicks == 0)
            e == V   ? inputs.EB_ValueKeyPress('\r')
            : e == T ? inputs.EB_TrackKeyPress('\r')
            : e == S ? inputs.EB_SpeedKeypress('\r')
                     : flow.EB_FlowKeyPress('\r');
        const auto b = clicks > 0 ? UpDownButton::Up : UpDownButton::Down;
        for (int i = 0; i < std::abs(clicks); ++i)
            e == V   ? inputs.UpDown1Click(b)
            : e == T ? inputs.UpDown2Click(b)
            : e == S ? inputs.UpDown3Click(b)
                     : flow.UpDown4Click(b);
    }
};

float stored(const EmulatorState& s, Control e) {
    return e == V ? s.xteValue : e == T ? s.trackTenths : e == S ? s.speed : s.fuelFlow;
}

TEST(SimulatorInputs, EditsClampOrWrapAndRewriteTheirText) {
    // edit, typed, clicks, shown, stored (track in tenths); a comma typed is the separator
    const std::tuple<Control, const char*, int, const char*, float> rows[] = {
        {T, "12.37", 0, "12.3", 123},
        {T, "-12.3", 0, "347.7", 3477},
        {T, "725", 0, "5.0", 50},
        {T, "360", 0, "0.0", 0},
        {T, "719.9", 0, "359.9", 3599},
        {T, "-0.05", 0, "0.0", 0},
        {T, "359.5", 1, "0.5", 5},
        {T, "0.5", -1, "359.5", 3595},
        {T, "12,37", 0, "12,3", 123},
        {T, "1e12", 0, "280.0", 2800},                   // tenths beyond 32 bits
        {T, "1.7976931348623157e308", 0, "128.0", 1280}, // tenths overflow to infinity
        {S, "150.4", 0, "150", 150.4f},
        {S, "600", 0, "500", 500},
        {S, "-5", 0, "0", 0},
        {S, "499.5", 1, "500", 500}, // clamped after the step
        {V, "12", 0, "9.99", 9.99f},
        {V, "-12", 0, "-9.99", -9.99f},
        {V, "0.1", 2, "0.30", 0.3f},
        {V, "-9.95", -1, "-9.99", -9.99f},
        {V, "2,5", 0, "2,50", 2.5f},
        {F, "25", 0, "10.0", 10},
        {F, "0", 0, "0.1", 0.1f},
        {F, "-3", 0, "0.1", 0.1f},
        {F, "4.0", 0, "4.0", 4},
        {F, "9.95", 1, "10.0", 10},
        {F, "0.1", -1, "0.1", 0.1f},
        {F, "4.9", 1, "5.0", 5},
        {F, "2,5", 0, "2,5", 2.5f}, // a step is a tenth
    };
    for (const auto& [edit, typed, clicks, shown, value] : rows) {
        SCOPED_TRACE(std::string(typed) + " " + std::to_string(clicks));
        Rig rig;
        // A whole string moved in: GCC 12 at -O2 misreads assigning a literal as an overlap.
        rig.window.separator = std::string(std::strchr(typed, ',') ? "," : ".");
        rig.type(edit, typed, clicks);
        EXPECT_EQ(stored(rig.state, edit), value);
        EXPECT_EQ(rig.window.texts[edit], shown);
        EXPECT_FALSE(std::signbit(rig.state.trackTenths)); // "-00.0" in $GPRMC
        EXPECT_EQ(rig.window.period, edit == F ? FuelFlow::FlowPeriod(value) : -1);
        const auto focus = edit == V   ? std::optional(Control::GroupXTE)
                           : edit == F ? std::nullopt // Enter keeps it in the edit
                                       : std::optional(Control::BTN_Heading);
        EXPECT_EQ(rig.window.focus, clicks ? std::nullopt : focus);
    }
}

TEST(SimulatorInputs, TypedSpeedReachesTheSentenceUnrounded) {
    Rig rig;
    rig.window.texts[S] = "150.4";
    rig.inputs.EB_SpeedExit();
    EXPECT_EQ(BuildRmcSentence(rig.state),
              "$GPRMC,115622.34,A,37.45,N,122.67,W,150.4,000.0,061195,7.0,E,A*2B");
}

TEST(SimulatorInputs, TextThatIsNoNumberChangesNothingAndIsNamed) {
    const std::tuple<Control, const char*, const char*> rows[] = {
        {V, "abc", "."}, {T, "1.5", ","}, {S, "inf", "."}, {F, "", "."}};
    for (const auto& [edit, typed, separator] : rows) {
        SCOPED_TRACE(typed);
        Rig rig;
        rig.window.separator = separator;
        rig.state.xteValue = 1.25f;
        rig.state.trackTenths = 123.0f;
        const EmulatorState before = rig.state;
        rig.type(edit, typed);
        rig.type(edit, typed, 1);
        EXPECT_EQ(stored(rig.state, edit), stored(before, edit));
        EXPECT_EQ(rig.window.texts[edit], typed);
        EXPECT_TRUE(rig.window.log.empty()); // no text, focus or timer period
        ASSERT_EQ(rig.box.shown.size(), 2u);
        EXPECT_EQ(rig.box.shown[1].text,
                  std::string("'") + typed + "' is not a valid floating point value");
    }
}

TEST(SimulatorInputs, CheckBoxesAndCrossTrackChoiceEnableTheirControls) {
    using enum XteMode;
    using Handler = void (SimulatorInputs::*)();
    const Handler course = &SimulatorInputs::BTN_CourseClick,
                  heading = &SimulatorInputs::BTN_HeadingClick,
                  xte = &SimulatorInputs::GroupXTEClick;
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
        SCOPED_TRACE(enabled);
        Rig rig;
        auto& w = rig.window;
        rig.state.courseOn = rig.state.headingOn = !checked;
        rig.state.xteMode = before;
        w.checked[Control::BTN_Course] = w.checked[Control::BTN_Heading] = checked;
        w.items[Control::GroupXTE] = item;
        (rig.inputs.*handler)();
        std::string enabledNow;
        for (const auto& [control, on] : w.enabled)
            enabledNow += (on ? " +" : " -") + std::string(ControlName(control));
        EXPECT_EQ(enabledNow, enabled);
        EXPECT_EQ(w.focus ? ControlName(*w.focus) : "", focus);
        EXPECT_EQ(rig.state.courseOn, handler == course ? checked : !checked);
        EXPECT_EQ(rig.state.headingOn, handler == heading ? checked : !checked);
        EXPECT_EQ(rig.state.xteMode, after);
    }
}

TEST(SimulatorInputs, FormatChoiceSetsTheBaudRateOnlyWhenAuto) {
    using enum OutputFormat;
    // format before, baud choice (0 Auto), item chosen, format after, baud rate after
    const std::tuple<OutputFormat, std::uint8_t, int, OutputFormat, std::uint32_t> rows[] = {
        {NmeaV3, 0, 2, Aviation, 9600},
        {Aviation, 0, 0, NmeaV2, 4800},
        {NmeaV3, 0, 1, NmeaV3, 19200},   // the same item does nothing
        {NmeaV3, 1, 2, Aviation, 19200}, // a fixed rate stays
    };
    for (const auto& [before, choice, item, after, baud] : rows) {
        SCOPED_TRACE(item);
        Rig rig;
        rig.state.portHandle = 7;
        rig.state.format = before;
        rig.state.baudChoice = choice;
        rig.device.line.baudRate = 19200;
        rig.window.items[Control::GroupFormat] = item;
        rig.inputs.GroupFormatClick();
        rig.writer.flush();
        EXPECT_EQ(rig.state.format, after);
        EXPECT_EQ(rig.device.line.baudRate, baud);
    }
}

TEST(FuelFlow, PeriodIsTheWholeMillisecondsOf22OverTheFlow) {
    // The float nearest 0.1 lies just above it: 219 ms, not 220.
    const std::pair<float, int> rows[] = {{10, 2}, {5, 4},     {4, 5},
                                          {1, 22}, {0.5f, 44}, {0.1f, 219}};
    for (const auto& [flow, period] : rows)
        EXPECT_EQ(FuelFlow::FlowPeriod(flow), period) << flow;
}

// The timer runs before the value is read, so refused text leaves it on its previous period.
TEST(FuelFlow, EnableBoxStartsTheTimerBeforeReadingTheValue) {
    const std::tuple<bool, const char*, Log> rows[] = {
        {true,
         "4",
         {"+EB_Flow", "+FlowTimer", "+UpDown4", "focus EB_Flow", "text EB_Flow",
          "period FlowTimer"}},
        {true, "x", {"+EB_Flow", "+FlowTimer", "+UpDown4", "focus EB_Flow"}},
        {false, "4", {"-FlowTimer", "-EB_Flow", "-UpDown4"}},
    };
    for (const auto& [checked, typed, log] : rows) {
        SCOPED_TRACE(typed);
        Rig rig;
        rig.window.checked[Control::BTN_FlowEna] = checked;
        rig.window.texts[F] = typed;
        rig.flow.BTN_FlowEnaClick();
        EXPECT_EQ(rig.window.log, log);
    }
}

// Course and heading differ in each pass, so swapping the two boxes shows. Activation shows
// one decimal, the edit two: what is shown is what the next read stores.
TEST(WindowActivation, RewritesControlsFromTheStateAndTheBoxes) {
    for (const bool a : {false, true}) {
        SCOPED_TRACE(a);
        Rig rig;
        auto& w = rig.window;
        rig.state.format = a ? OutputFormat::Aviation : OutputFormat::NmeaV2;
        rig.state.xteMode = a ? XteMode::Value : XteMode::Right;
        rig.state.xteValue = 1.25f;
        rig.state.trackTenths = 3599.0f;
        rig.state.recordsPerTick = 70000; // the up-down holds 16 bits
        w.checked[Control::BTN_Course] = a;
        w.checked[Control::BTN_Heading] = w.checked[Control::BTN_FlowEna] = !a;
        w.separator = a ? "," : ".";
        FormActivate(rig.state, w);
        EXPECT_EQ(w.items[Control::GroupFormat], a ? 2 : 0);
        EXPECT_EQ(w.items[Control::GroupXTE], a ? 3 : 2);
        EXPECT_EQ(w.enabled[V], a);
        EXPECT_EQ(w.enabled[F] + w.enabled[T] + w.enabled[S], a ? 0 : 3);
        EXPECT_EQ(rig.state.courseOn, a);
        EXPECT_EQ(rig.state.headingOn, !a);
        EXPECT_EQ(w.texts[T], a ? "359,9" : "359.9");
        EXPECT_FALSE(w.texts.count(S)); // speed is left as typed
        EXPECT_EQ(w.positions[Control::UpDown_lps], 70000 - 65536);
        EXPECT_EQ(w.texts[Control::EDIT_chunks], "70000");
        EXPECT_EQ(w.texts[V], a ? "1,3" : "1.3");
        EXPECT_EQ(rig.state.xteValue, 1.25f);
        rig.inputs.EB_ValueExit();
        EXPECT_EQ(rig.state.xteValue, 1.3f);
        EXPECT_EQ(w.texts[V], a ? "1,30" : "1.30");
    }
}

} // namespace
