#include <gtest/gtest.h>
#include <map>
#include <utility>

#include "core/Fakes.h"
#include "coupler/CalibrateLogic.h"
#include "serial/TransmitLine.h"
#include "settings/SettingsStore.h"

namespace {

using E = CalibrateEdit;
using G = CalibrateGroup;
using L = CalibrateLogic;
using S = DimSource;
constexpr auto NoneBox = CalibrateCheckBox::BTN_None;

// Holds the controls' state and, as Qt does, runs a control's handler when code changes it.
class FakeCalibrateWindow : public CalibrateWindow {
public:
    std::string text(E e) const override { return texts[e]; }
    void setText(E e, const std::string& t) override { texts[e] = t; }
    void setEnabled(CalibrateControl c, bool on) override { enabled[c] = on; }
    bool isChecked(CalibrateCheckBox b) const override { return b == NoneBox ? none : compat; }
    void setChecked(CalibrateCheckBox b, bool on) override {
        if (std::exchange(b == NoneBox ? none : compat, on) != on)
            (logic->*(b == NoneBox ? &L::BTN_NoneClick : &L::CHKBOX_CompatClick))();
    }
    DimSource markedSource() const override { return source; }
    void markSource(DimSource s) override { // the logic never unmarks all three
        if (std::exchange(source, s) != s)
            (logic->*(s == S::BTN_sensor ? &L::BTN_sensorClick
                      : s == S::BTN_volt ? &L::BTN_voltClick
                                         : &L::BTN_switchClick))();
    }
    int selectedRow(G g) const override { return rows.contains(g) ? rows.at(g) : -1; }
    void selectRow(G g, int row) override { rows[g] = row; }
    void setStayOnTop(bool) override {}
    void hideDialog() override {}

    mutable std::map<E, std::string> texts;
    std::map<CalibrateControl, bool> enabled;
    bool none = false, compat = false;
    DimSource source = S::None;
    std::map<G, int> rows; // a group missing has no row selected
    L* logic = nullptr;
};

// Opens and refuses every write: a real settings file seldom fails that way.
class RefusingStore : public SettingsStore {
public:
    OpenResult open(bool) override { return OpenResult::Ok; }
    std::optional<std::int32_t> readInt(const std::string&) override { return std::nullopt; }
    bool writeInt(const std::string& name, std::int32_t value) override {
        writes.push_back(name + "=" + std::to_string(value));
        return false;
    }
    std::string devicePath(const std::string&) override { return {}; }
    std::vector<std::string> writes;
};

struct Rig {
    EmulatorState state;
    FakeSink sink;
    FakeMessageBox box;
    TerminalLog log;
    Transmitter tx{state, sink, log};
    RefusingStore store;
    FakeCalibrateWindow window;
    L logic{state, window, tx, box, store};
    Rig() {
        state.portHandle = 4;
        state.compatibility = false;
        window.logic = &logic;
    }
};

// One dialog through a run of clicks. FormShow rows set the word first; the other rows mark the
// row's source and None state, as the user's click does, before the handler runs. `text` goes
// into the level box first. `out` is what went on the wire, then any message "[caption] text".
TEST(CalibrateLogic, DimmingWordThroughSourcesNoneAndApply) {
    struct Step {
        void (L::*act)();
        const char* text;
        std::int32_t word;
        DimSource source;
        bool dimOn, noneOn, noneChecked;
        const char *out, *box; // box nullptr: not checked
    };
    const auto Open = &L::FormShow, None = &L::BTN_NoneClick, Apply = &L::BTN_Dim_ApplyClick;
    const auto Sensor = &L::BTN_sensorClick, Volt = &L::BTN_voltClick, Switch = &L::BTN_switchClick;
    const S Se = S::BTN_sensor, Vo = S::BTN_volt, Sw = S::BTN_switch;
    // clang-format off
    const Step steps[] = {
        {Open, nullptr, 10, Sw, true, true, false, "", "  9"},
        {None, nullptr, 0, Sw, false, true, true, "", "  9"},
        {Open, "3", 10, Sw, true, true, false, "", "  9"}, // level written before None is cleared
        {Sensor, nullptr, 138, Se, false, false, false, "", nullptr},
        {Volt, nullptr, 74, Vo, false, false, false, "", nullptr},
        {Sensor, nullptr, 202, Se, false, false, false, "", nullptr},
        {Open, "7", 202, Se, false, false, false, "", "7"}, // the sensor bit wins
        {Open, "7", 74, Vo, false, false, false, "", "7"},
        {Switch, nullptr, 10, Sw, true, true, false, "", "7"},
        {Sensor, nullptr, 10, Sw, true, true, false, "", nullptr}, // handler of an unmarked button
        {None, nullptr, 0, Sw, false, true, true, "", nullptr},
        {Apply, nullptr, 0, Sw, false, true, true, "$PZDIM,0*56\r\n", nullptr},
        {Sensor, nullptr, 128, Se, false, false, true, "", nullptr},
        {Open, nullptr, 128, Se, false, false, true, "", nullptr}, // None keeps its tick
        {Apply, nullptr, 128, Se, false, false, true, "$PZDIM,128*5D\r\n", nullptr},
        {Volt, nullptr, 64, Vo, false, false, true, "", nullptr},
        {Apply, nullptr, 64, Vo, false, false, true, "$PZDIM,64*64\r\n", nullptr},
        {Switch, nullptr, 0, Sw, false, true, true, "", nullptr},
        {None, " 3x", 4, Sw, true, true, false, "", " 3x"}, // None never rewrites the box
        {None, "99999999999", 10, Sw, true, true, false, "", nullptr},
        {None, "-7", 1, Sw, true, true, false, "", "-7"},
        {None, "abc", 1, Sw, true, true, false, "", "abc"}, // unreadable: the word stays
        {Apply, "12", 10, Sw, true, true, false, "$PZDIM,10*67\r\n", "9"},
        {Apply, "-3", 1, Sw, true, true, false, "$PZDIM,1*57\r\n", "0"},
        {Apply, "9 ", 1, Sw, true, true, false, "[] '9 ' is not a valid integer value", "9 "},
        {Sensor, nullptr, 129, Se, false, false, false, "", nullptr},
        {Apply, nullptr, 128, Se, false, false, false, "$PZDIM,128*5D\r\n", nullptr},
        {Switch, nullptr, 0, Sw, true, true, false, "", nullptr},
        {Open, nullptr, 0, Sw, false, true, true, "", nullptr}, // a word of 0 shows as None
    };
    // clang-format on
    Rig rig;
    int n = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE("step " + std::to_string(n++));
        if (s.text)
            rig.window.texts[E::ED_Dim] = s.text;
        if (s.act == Open) {
            rig.state.dimmingWord = s.word;
        } else {
            rig.window.source = s.source;
            rig.window.none = s.noneChecked;
        }
        (rig.logic.*s.act)();
        EXPECT_EQ(rig.state.dimmingWord, s.word);
        EXPECT_EQ(rig.window.source, s.source);
        EXPECT_EQ(rig.window.enabled.at(CalibrateControl::ED_Dim), s.dimOn);
        EXPECT_EQ(rig.window.enabled.at(CalibrateControl::BTN_None), s.noneOn);
        EXPECT_EQ(rig.window.none, s.noneChecked);
        std::string out;
        for (const auto& r : std::exchange(rig.sink.records, {}))
            out += r;
        for (const auto& m : std::exchange(rig.box.shown, {}))
            out += "[" + m.caption + "] " + m.text;
        EXPECT_EQ(out, s.out);
        if (s.box) {
            EXPECT_EQ(rig.window.texts.at(E::ED_Dim), s.box);
        }
    }
}

TEST(CalibrateLogic, CompatibilityThatCannotBeStoredStillApplies) {
    Rig rig;
    rig.window.compat = true; // out of step: the opening's preset clears it without storing
    rig.logic.FormShow();
    EXPECT_TRUE(rig.store.writes.empty());
    rig.window.compat = true;
    rig.logic.CHKBOX_CompatClick();
    EXPECT_EQ(rig.store.writes, std::vector<std::string>{"Compatibility=1"});
    ASSERT_EQ(rig.box.shown.size(), 1u);
    EXPECT_EQ(rig.box.shown[0].text, "Can't write Compatibility");
    EXPECT_EQ(rig.box.shown[0].caption, "error");
    EXPECT_TRUE(rig.state.compatibility);
}

} // namespace
