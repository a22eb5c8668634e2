#include <gtest/gtest.h>

#include "core/FakeSimulatorWindow.h"
#include "core/Fakes.h"
#include "emulator/SimulatorInputs.h"
#include "emulator/WindowActivation.h"
#include "serial/SerialLink.h"

namespace {

using Log = std::vector<std::string>;

TEST(WindowActivation, RewritesControlsFromTheState) {
    struct Row {
        const char* name;
        void (*setUp)(EmulatorState&, FakeSimulatorWindow&);
        Log log;
        bool courseOn, headingOn;
    };
    const Row rows[] = {
        {"start-up values, design check states",
         [](EmulatorState&, FakeSimulatorWindow& w) {
             w.checked[Control::BTN_Course] = true;
             w.checked[Control::BTN_Heading] = true;
         },
         {"item GroupFormat=1", "item GroupXTE=0", "disable EB_Value", "text EB_Value=0.0",
          "text EB_Track=0.0", "text EB_Flow=10.0", "disable EB_Flow", "enable EB_Speed",
          "enable EB_Track", "position UpDown_lps=25", "text EDIT_chunks=25",
          "position UpDown_sec=1", "text EDIT_SecPause=1"},
         true, true},
        {"typed value, comma locale, all boxes changed",
         [](EmulatorState& s, FakeSimulatorWindow& w) {
             s.format = OutputFormat::Aviation;
             s.xteMode = XteMode::Value;
             s.xteValue = 1.25f;
             s.trackTenths = 3599.0f;
             s.fuelFlow = 0.1f;
             s.recordsPerTick = 70000; // shown as the 16-bit value 70000 - 65536
             w.checked[Control::BTN_FlowEna] = true;
             w.separator = ",";
         },
         {"item GroupFormat=2", "item GroupXTE=3", "enable EB_Value", "text EB_Value=1,3",
          "text EB_Track=359,9", "text EB_Flow=0,1", "enable EB_Flow", "disable EB_Speed",
          "disable EB_Track", "position UpDown_lps=4464", "text EDIT_chunks=70000",
          "position UpDown_sec=1", "text EDIT_SecPause=1"},
         false, false},
        {"negative cross-track, course only",
         [](EmulatorState& s, FakeSimulatorWindow& w) {
             s.format = OutputFormat::NmeaV2;
             s.xteMode = XteMode::Right;
             s.xteValue = -9.99f;
             s.trackTenths = 5.0f;
             s.fuelFlow = 9.95f;
             w.checked[Control::BTN_Course] = true;
         },
         {"item GroupFormat=0", "item GroupXTE=2", "disable EB_Value", "text EB_Value=-10.0",
          "text EB_Track=0.5", "text EB_Flow=10.0", "disable EB_Flow", "disable EB_Speed",
          "disable EB_Track", "position UpDown_lps=25", "text EDIT_chunks=25",
          "position UpDown_sec=1", "text EDIT_SecPause=1"},
         true, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EmulatorState state;
        FakeSimulatorWindow window;
        window.texts[Control::EB_Speed] = "123";
        r.setUp(state, window);
        FormActivate(state, window);
        EXPECT_EQ(window.log, r.log);
        EXPECT_EQ(state.courseOn, r.courseOn);
        EXPECT_EQ(state.headingOn, r.headingOn);
        EXPECT_EQ(window.texts[Control::EB_Speed], "123");
    }
}

TEST(WindowActivation, OneDecimalShownIsWhatTheNextReadStores) {
    SimulatorRig rig;
    auto& [state, window, box, device, link, inputs, flow] = rig;
    state.xteValue = 1.25f;
    FormActivate(state, window);
    EXPECT_EQ(window.texts[Control::EB_Value], "1.3");
    EXPECT_EQ(state.xteValue, 1.25f);
    inputs.EB_ValueExit();
    EXPECT_EQ(state.xteValue, 1.3f);
    EXPECT_EQ(window.texts[Control::EB_Value], "1.30");
}

} // namespace
