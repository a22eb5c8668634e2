// The commands' value rules: what each stores, sends or refuses, for numbers and choices.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "core/engine/EngineRig.h"

namespace {

using Writes = std::vector<std::string>;
constexpr double Nan = std::numeric_limits<double>::quiet_NaN();

TEST(Commands, SimulatorValuesAreClampedWrappedAndStoredAsFloats) {
    enum What { Xte, Track, Speed, Flow };
    // what, number given, step in tenths (track), value stored (track in tenths)
    // clang-format off
    const std::tuple<What, double, int, float> rows[] = {
        {Xte, 12, 0, 9.99f}, {Xte, -10.05, 0, -9.99f}, {Xte, 0.3, 0, 0.3f},
        {Xte, 9.99f, 0, 9.99f}, // the stored limit passes unchanged
        {Track, 12.37, 0, 123}, {Track, -12.3, 0, 3477}, {Track, 725, 0, 50}, {Track, 360, 0, 0},
        {Track, 719.9, 0, 3599}, {Track, -0.05, 0, 0}, {Track, 359.5, 10, 5},
        {Track, 0.5, -10, 3595},
        {Track, 1e12, 0, 2800},                   // tenths beyond 32 bits
        {Track, 1.7976931348623157e308, 0, 1280}, // tenths overflow to infinity
        {Speed, 150.4, 0, 150.4f}, {Speed, 600, 0, 500}, {Speed, -5, 0, 0},
        {Flow, 25, 0, 10}, {Flow, 0, 0, 0.1f}, {Flow, 0.1f, 0, 0.1f}, {Flow, 4.0, 0, 4},
    };
    // clang-format on
    for (const auto& [what, number, step, stored] : rows) {
        SCOPED_TRACE(number);
        EngineRig rig;
        Simulator& sim = rig.e.simulator();
        switch (what) {
        case Xte:
            EXPECT_TRUE(sim.setXteValue(number).ok);
            EXPECT_EQ(sim.values().xteValue, stored);
            break;
        case Track:
            EXPECT_TRUE(sim.setTrack(number, step).ok);
            EXPECT_EQ(sim.values().trackTenths, stored);
            EXPECT_FALSE(std::signbit(sim.values().trackTenths)); // "-00.0" in $GPRMC
            break;
        case Speed:
            EXPECT_TRUE(sim.setSpeed(number).ok);
            EXPECT_EQ(sim.values().speed, stored);
            break;
        case Flow:
            EXPECT_TRUE(rig.e.fuelFlow().setFlow(number).ok);
            EXPECT_EQ(rig.e.fuelFlow().fuelFlow(), stored);
            EXPECT_EQ(rig.e.pulses().period(), FuelFlow::FlowPeriod(stored));
            break;
        }
    }
    // Numbers that are not finite are refused and change nothing.
    EngineRig rig;
    const SimulatorValues before = rig.e.simulator().values();
    for (const auto& set : std::vector<std::function<CommandResult(double)>>{
             [&](double v) { return rig.e.simulator().setXteValue(v); },
             [&](double v) { return rig.e.simulator().setTrack(v); },
             [&](double v) { return rig.e.simulator().setSpeed(v); },
             [&](double v) { return rig.e.fuelFlow().setFlow(v); },
             [&](double v) { return rig.e.runLoop().setPeriod(v); }})
        for (const double v : {Nan, std::numeric_limits<double>::infinity()})
            EXPECT_FALSE(set(v).ok);
    EXPECT_EQ(rig.e.simulator().values().speed, before.speed);
    EXPECT_EQ(rig.e.fuelFlow().fuelFlow(), 10.0f);
}

TEST(Commands, FuelFlowPeriodIsTheWholeMillisecondsOf22OverTheFlow) {
    // The float nearest 0.1 lies just above it: 219 ms, not 220.
    const std::pair<float, int> rows[] = {{10, 2}, {4, 5}, {0.5f, 44}, {0.1f, 219}};
    for (const auto& [flow, period] : rows)
        EXPECT_EQ(FuelFlow::FlowPeriod(flow), period) << flow;
}

// While the baud choice is Auto a change of format applies its rate; a fixed rate stays. The
// file type always applies the NMEA rate again, never the Aviation one.
TEST(Commands, FormatAndFileTypeFollowTheBaudChoice) {
    using enum OutputFormat;
    struct Row {
        int choice;
        std::function<void(Emulator&)> change;
        OutputFormat format;
        std::uint32_t baud;
    };
    const Row rows[] = {
        {0, [](Emulator& e) { e.simulator().setFormat(Aviation); }, Aviation, 9600},
        {0, [](Emulator& e) { e.simulator().setFormat(NmeaV2); }, NmeaV2, 4800},
        {0, [](Emulator& e) { e.simulator().setFormat(NmeaV3); }, NmeaV3, 19200}, // no change
        {3, [](Emulator& e) { e.simulator().setFormat(Aviation); }, Aviation, 19200},
        {0, [](Emulator& e) { e.replay().setFileType(true); }, NmeaV3, 4800},
        {0, [](Emulator& e) { e.replay().setFileType(false); }, Aviation, 19200},
    };
    for (const Row& r : rows) {
        EngineRig rig;
        rig.e.port().setBaudChoice(r.choice, rig.e.simulator().values().format);
        rig.baud();
        rig.device.line.baudRate = 19200;
        r.change(rig.e);
        EXPECT_EQ(rig.e.simulator().values().format, r.format);
        EXPECT_EQ(rig.baud(), r.baud);
    }
}

// Each coupler command sends one sentence in the layout of the compatibility mode, after
// holding its value to the range; in that mode the commands older couplers lack are refused
// with the dialog's warning, and nothing is stored or sent.
TEST(Commands, CouplerSentencesAndRefusals) {
    using C = Coupler;
    struct Row {
        bool compat;
        std::function<CommandResult(Coupler&)> send;
        const char* sentence; // nullptr: refused with the warning below
        const char* warning;
    };
    const Row rows[] = {
        {false, [](C& c) { return c.sendOffset(-25); }, "$PZCAL,25,N*0D", ""},
        {true, [](C& c) { return c.sendOffset(25); }, "$PZCAL25,P*3F", ""},
        {false, [](C& c) { return c.sendDimming(DimChoice::Level, 12); }, "$PZDIM,10*67", ""},
        {false, [](C& c) { return c.sendDimming(DimChoice::Level, -3); }, "$PZDIM,1*57", ""},
        {true, [](C& c) { return c.sendDimming(DimChoice::Sensor); }, "$PZDIM128,*5D", ""},
        {false, [](C& c) { return c.sendDimming(DimChoice::Volt); }, "$PZDIM,64*64", ""},
        {false, [](C& c) { return c.sendDimming(DimChoice::None); }, "$PZDIM,0*56", ""},
        {true, [](C& c) { return c.sendCourseGain(3); }, "$PZGAN3,*5D", ""},
        {true, [](C& c) { return c.sendType(2); }, "$PZTST7,*42", ""},
        {false, [](C& c) { return c.sendHeadingGain(2); }, "$PZHGN,2*55", ""},
        {false, [](C& c) { return c.sendBrightness(1); }, "$PZEQP,255*50", ""},
        {false, [](C& c) { return c.sendCamlink(Camlink::MaxAngle, 99); }, "$PZMXA,90*7B", ""},
        {false, [](C& c) { return c.sendCamlink(Camlink::Anticipation, 999); }, "$PZADV,127*41",
         ""},
        {false, [](C& c) { return c.sendCamlink(Camlink::VirtualWaypoints, -4); }, "$PZVWP,0*47",
         ""},
        {true, [](C& c) { return c.sendHeadingGain(2); }, nullptr, C::NotForOldCouplers},
        {true, [](C& c) { return c.sendBrightness(1); }, nullptr, C::NotForOldCouplers},
        {true, [](C& c) { return c.sendCamlink(Camlink::MaxTime, 5); }, nullptr,
         C::OnlyForCamlinks},
        {false, [](C& c) { return c.sendCourseGain(4); }, nullptr,
         "The course gain must be a row from 0 to 3"},
    };
    for (const Row& r : rows) {
        EngineRig rig;
        Coupler& c = rig.e.coupler();
        c.setCompatibility(r.compat, false);
        const CouplerSettings before = c.settings();
        const CommandResult result = r.send(c);
        EXPECT_EQ(result.ok, r.sentence != nullptr) << r.warning;
        EXPECT_EQ(result.text, r.warning);
        EXPECT_EQ(rig.written(), r.sentence ? Writes{std::string(r.sentence) + "\r\n"} : Writes{});
        if (!r.sentence) {
            EXPECT_TRUE(c.settings() == before);
        }
    }
    EngineRig rig;
    rig.e.coupler().sendCamlink(Camlink::MaxAngle, 99);
    rig.e.coupler().sendDimming(DimChoice::Level, 4);
    rig.e.coupler().sendHeadingGain(1); // start-up: compatibility on, refused
    EXPECT_EQ(rig.e.coupler().settings().maxAngle, 0);
    rig.e.coupler().setCompatibility(false, false);
    rig.e.coupler().sendCamlink(Camlink::MaxAngle, 99);
    EXPECT_EQ(rig.e.coupler().settings().maxAngle, 90);
    EXPECT_EQ(rig.e.coupler().settings().dimmingWord, 5);
}

// The mode is stored when asked, and changes for the run even when it cannot be stored.
TEST(Commands, CompatibilityIsStoredWhenAsked) {
    EngineRig rig;
    rig.e.coupler().setCompatibility(false, true);
    EXPECT_NE(rig.settingsFile().find("Compatibility=0"), std::string::npos);
    rig.e.coupler().setCompatibility(true, false);
    EXPECT_NE(rig.settingsFile().find("Compatibility=0"), std::string::npos);
    std::filesystem::remove(rig.settings.filePath());
    rig.e.coupler().setCompatibility(false, true);
    EXPECT_EQ(rig.box.texts(), Writes{"Can't open Tarrow"});
    EXPECT_FALSE(rig.e.coupler().settings().compatibility);
}

// Another port opens before the old one closes, and is stored with its device; a port that
// cannot be opened is refused and the old one stays.
TEST(Commands, PortSwitches) {
    EngineRig rig;
    Port& port = rig.e.port();
    EXPECT_TRUE(port.switchTo(0, "").ok); // the same port: nothing happens
    EXPECT_TRUE(port.switchTo(2, "/dev/ttyACM0").ok);
    rig.e.writer().flush();
    EXPECT_EQ(rig.device.calls.front(), "on /dev/ttyACM0");
    EXPECT_EQ(rig.device.calls.back(), "close 7");
    EXPECT_EQ(rig.e.link().portHandle(), 8);
    EXPECT_NE(rig.settingsFile().find("Port=3"), std::string::npos);
    EXPECT_NE(rig.settingsFile().find("COM3=/dev/ttyACM0"), std::string::npos);

    rig.device.failOpen = true;
    const CommandResult refused = port.switchTo(1, "");
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.text, "Can't open COM2:");
    EXPECT_EQ(port.portIndex, 2);
    EXPECT_EQ(rig.e.link().portHandle(), 8);
    EXPECT_FALSE(port.setBaudChoice(4, OutputFormat::NmeaV3).ok);
}

} // namespace
