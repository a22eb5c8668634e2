#include <gtest/gtest.h>

#include "core/FakeSimulatorWindow.h"
#include "core/Fakes.h"
#include "emulator/FuelFlow.h"
#include "serial/SerialLink.h"

namespace {

using Log = std::vector<std::string>;

using Rig = SimulatorRig;

TEST(FuelFlow, ValueIsClampedAndSetsThePeriod) {
    struct Row {
        const char* typed;
        float step;
        const char* shown;
        float value;
        int period;
    };
    const Row rows[] = {
        {"25", 0.0f, "10.0", 10.0f, 2},  {"10", 0.0f, "10.0", 10.0f, 2},
        {"5", 0.0f, "5.0", 5.0f, 4},     {"4.0", 0.0f, "4.0", 4.0f, 5},
        {"2", 0.0f, "2.0", 2.0f, 11},    {"1", 0.0f, "1.0", 1.0f, 22},
        {"0.5", 0.0f, "0.5", 0.5f, 44},
        // The float nearest 0.1 lies just above it: 22 / 0.100000001 = 219.99999...
        {"0.1", 0.0f, "0.1", 0.1f, 219}, {"0", 0.0f, "0.1", 0.1f, 219},
        {"-3", 0.0f, "0.1", 0.1f, 219},  {"9.95", 1.0f, "10.0", 10.0f, 2},
        {"0.1", -1.0f, "0.1", 0.1f, 219}, {"4.9", 1.0f, "5.0", 5.0f, 4},
        {"0.05", 0.0f, "0.1", 0.1f, 219},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.typed) + " " + std::to_string(r.step));
        Rig rig;
        rig.window.texts[Control::EB_Flow] = r.typed;
        EXPECT_TRUE(rig.flow.ApplyFuelFlow(r.step));
        EXPECT_EQ(rig.state.fuelFlow, r.value);
        EXPECT_EQ(rig.window.log, (Log{std::string("text EB_Flow=") + r.shown,
                                       "period FlowTimer=" + std::to_string(r.period)}));
    }
}

TEST(FuelFlow, EditHandlers) {
    struct Row {
        const char* name;
        const char* typed;
        const char* separator;
        void (*act)(FuelFlow&);
        Log log;
        float value;
        std::size_t messages;
    };
    const Row rows[] = {
        {"exit", "2,5", ",", [](FuelFlow& f) { f.EB_FlowExit(); },
         {"text EB_Flow=2,5", "period FlowTimer=8"}, 2.5f, 0},
        {"enter keeps the focus", "2", ".", [](FuelFlow& f) { f.EB_FlowKeyPress('\r'); },
         {"text EB_Flow=2.0", "period FlowTimer=11"}, 2.0f, 0},
        {"other key", "2", ".", [](FuelFlow& f) { f.EB_FlowKeyPress('x'); }, {}, 10.0f, 0},
        {"up", "2", ".", [](FuelFlow& f) { f.UpDown4Click(UpDownButton::Up); },
         {"text EB_Flow=2.1", "period FlowTimer=10"}, 2.1f, 0},
        {"down", "2", ".", [](FuelFlow& f) { f.UpDown4Click(UpDownButton::Down); },
         {"text EB_Flow=1.9", "period FlowTimer=11"}, 1.9f, 0},
        {"no number", "fast", ".", [](FuelFlow& f) { f.EB_FlowKeyPress('\r'); }, {}, 10.0f, 1},
        {"empty", "", ".", [](FuelFlow& f) { f.UpDown4Click(UpDownButton::Up); }, {}, 10.0f, 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Rig rig;
        rig.window.separator = r.separator;
        rig.window.texts[Control::EB_Flow] = r.typed;
        r.act(rig.flow);
        EXPECT_EQ(rig.window.log, r.log);
        EXPECT_EQ(rig.state.fuelFlow, r.value);
        ASSERT_EQ(rig.box.shown.size(), r.messages);
        if (r.messages > 0) {
            EXPECT_EQ(rig.box.shown[0].text,
                      std::string("'") + r.typed + "' is not a valid floating point value");
            EXPECT_EQ(rig.box.shown[0].caption, "");
            EXPECT_EQ(rig.window.texts[Control::EB_Flow], r.typed);
        }
    }
}

TEST(FuelFlow, EnableBox) {
    struct Row {
        const char* name;
        bool checked;
        const char* typed;
        Log log;
    };
    const Row rows[] = {
        {"checked",
         true,
         "4",
         {"enable EB_Flow", "enable FlowTimer", "enable UpDown4", "focus EB_Flow",
          "text EB_Flow=4.0", "period FlowTimer=5"}},
        // The timer already runs when the text is refused: it keeps its previous period.
        {"checked, no number",
         true,
         "x",
         {"enable EB_Flow", "enable FlowTimer", "enable UpDown4", "focus EB_Flow"}},
        {"unchecked",
         false,
         "4",
         {"disable FlowTimer", "disable EB_Flow", "disable UpDown4"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Rig rig;
        rig.window.checked[Control::BTN_FlowEna] = r.checked;
        rig.window.texts[Control::EB_Flow] = r.typed;
        rig.flow.BTN_FlowEnaClick();
        EXPECT_EQ(rig.window.log, r.log);
    }
}

TEST(FuelFlow, EachTickInvertsRts) {
    Rig rig;
    rig.state.portHandle = rig.link.OpenPort("COM1:");
    ASSERT_TRUE(rig.link.RtsRaised);
    rig.device.calls.clear();
    const bool expected[] = {false, true, false};
    for (bool raised : expected) {
        rig.flow.FlowTimerTimer();
        EXPECT_EQ(rig.link.RtsRaised, raised);
    }
    EXPECT_EQ(rig.device.calls, (std::vector<std::string>{"CLRRTS 7", "SETRTS 7", "CLRRTS 7"}));
    EXPECT_TRUE(rig.box.shown.empty());
}

} // namespace
