#include <gtest/gtest.h>

#include <cmath>

#include "core/FakeSimulatorWindow.h"
#include "core/Fakes.h"
#include "emulator/NmeaSentences.h"
#include "emulator/SimulatorInputs.h"
#include "serial/SerialLink.h"

namespace {

using Log = std::vector<std::string>;

using Rig = SimulatorRig;

TEST(SimulatorInputs, TrackIsTruncatedToTenthsAndWrapped) {
    struct Row {
        const char* typed;
        int step;
        const char* shown;
        float tenths;
    };
    const Row rows[] = {
        {"12.37", 0, "12.3", 123.0f},
        {"-12.3", 0, "347.7", 3477.0f},
        {"725", 0, "5.0", 50.0f},
        {"360", 0, "0.0", 0.0f},
        {"3600", 0, "0.0", 0.0f},
        {"719.9", 0, "359.9", 3599.0f},
        {"-0.05", 0, "0.0", 0.0f},
        {"359.5", 10, "0.5", 5.0f},
        {"0.5", -10, "359.5", 3595.0f},
        {"360", -3600, "0.0", 0.0f}, // a whole turn down ends on +0, not -0
        {"0", -10, "359.0", 3590.0f},
        // Tenths beyond 32 bits wrap like any other value.
        {"1e12", 0, "280.0", 2800.0f},
        {"-1e12", 0, "80.0", 800.0f},
        {"1.7976931348623157e308", 0, "128.0", 1280.0f},
        {"-1.7976931348623157e308", 0, "232.0", 2320.0f},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.typed);
        Rig rig;
        rig.state.trackTenths = 1234.0f;
        rig.window.texts[Control::EB_Track] = r.typed;
        EXPECT_TRUE(rig.inputs.ApplyTrack(r.step));
        EXPECT_EQ(rig.state.trackTenths, r.tenths);
        EXPECT_FALSE(std::signbit(rig.state.trackTenths));
        EXPECT_EQ(rig.window.log, Log{std::string("text EB_Track=") + r.shown});
    }
}

TEST(SimulatorInputs, SpeedIsClampedAndShownWhole) {
    struct Row {
        const char* typed;
        float step;
        const char* shown;
        float speed;
    };
    const Row rows[] = {
        {"150.4", 0.0f, "150", 150.4f}, {"600", 0.0f, "500", 500.0f},
        {"-5", 0.0f, "0", 0.0f},        {"499.5", 1.0f, "500", 500.0f},
        {"0.5", -1.0f, "0", 0.0f},      {"149.5", 0.0f, "150", 149.5f},
        {"1e300", 0.0f, "500", 500.0f},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.typed);
        Rig rig;
        rig.window.texts[Control::EB_Speed] = r.typed;
        EXPECT_TRUE(rig.inputs.ApplySpeed(r.step));
        EXPECT_EQ(rig.state.speed, r.speed);
        EXPECT_EQ(rig.window.log, Log{std::string("text EB_Speed=") + r.shown});
    }
}

TEST(SimulatorInputs, TypedValuesReachTheSentence) {
    struct Row {
        Control edit;
        const char* typed;
        std::string rmc;
    };
    const Row rows[] = {
        {Control::EB_Speed, "150.4",
         "$GPRMC,115622.34,A,37.45,N,122.67,W,150.4,000.0,061195,7.0,E,A*2B"},
        {Control::EB_Track, "-0.05",
         "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*2F"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.typed);
        Rig rig;
        rig.window.texts[r.edit] = r.typed;
        if (r.edit == Control::EB_Speed)
            rig.inputs.EB_SpeedExit();
        else
            rig.inputs.EB_TrackExit();
        EXPECT_EQ(BuildRmcSentence(rig.state), r.rmc);
    }
}

TEST(SimulatorInputs, CrossTrackIsClampedJustInsideTheLimits) {
    struct Row {
        const char* typed;
        float step;
        const char* shown;
        float value;
    };
    const Row rows[] = {
        {"12", 0.0f, "9.99", 9.99f},      {"-12", 0.0f, "-9.99", -9.99f},
        {"9.99", 0.0f, "9.99", 9.99f},    {"-9.99", 0.0f, "-9.99", -9.99f},
        {"-9.95", -0.1f, "-9.99", -9.99f}, {"9.95", 0.1f, "9.99", 9.99f},
        {"0.1", 0.1f, "0.20", 0.2f},      {"1.25", 0.0f, "1.25", 1.25f},
        {"-5", 0.0f, "-5.00", -5.0f},   {"0", -0.1f, "-0.10", -0.1f},
        {"1.3", 0.0f, "1.30", 1.3f},      {"-1e300", 0.0f, "-9.99", -9.99f},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.typed);
        Rig rig;
        rig.window.texts[Control::EB_Value] = r.typed;
        EXPECT_TRUE(rig.inputs.ApplyXteValue(r.step));
        EXPECT_EQ(rig.state.xteValue, r.value);
        EXPECT_EQ(rig.window.log, Log{std::string("text EB_Value=") + r.shown});
    }
}

TEST(SimulatorInputs, StepButtonsReadTheEditEachTime) {
    Rig rig;
    rig.window.texts[Control::EB_Value] = "0.1";
    rig.inputs.UpDown1Click(UpDownButton::Up);
    rig.inputs.UpDown1Click(UpDownButton::Up);
    EXPECT_EQ(rig.window.texts[Control::EB_Value], "0.30");
    rig.window.texts[Control::EB_Track] = "359.5";
    rig.inputs.UpDown2Click(UpDownButton::Up);
    EXPECT_EQ(rig.window.texts[Control::EB_Track], "0.5");
    rig.inputs.UpDown2Click(UpDownButton::Down);
    EXPECT_EQ(rig.window.texts[Control::EB_Track], "359.5");
    rig.window.texts[Control::EB_Speed] = "1";
    rig.inputs.UpDown3Click(UpDownButton::Down);
    rig.inputs.UpDown3Click(UpDownButton::Down);
    EXPECT_EQ(rig.window.texts[Control::EB_Speed], "0");
    EXPECT_EQ(rig.state.speed, 0.0f);
}

TEST(SimulatorInputs, EditsUseTheLocaleSeparator) {
    struct Row {
        Control edit;
        const char* typed;
        const char* shown;
    };
    const Row rows[] = {
        {Control::EB_Value, "2,5", "2,50"},
        {Control::EB_Track, "12,37", "12,3"},
        {Control::EB_Speed, "150,6", "151"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.typed);
        Rig rig;
        rig.window.separator = ",";
        rig.window.texts[r.edit] = r.typed;
        rig.inputs.ApplyXteValue(0.0f);
        rig.inputs.ApplyTrack(0);
        rig.inputs.ApplySpeed(0.0f);
        EXPECT_EQ(rig.window.texts[r.edit], r.shown);
    }
}

TEST(SimulatorInputs, TextThatIsNoNumberChangesNothing) {
    struct Row {
        Control edit;
        const char* typed;
        const char* separator;
    };
    const Row rows[] = {
        {Control::EB_Value, "abc", "."}, {Control::EB_Value, "", "."},
        {Control::EB_Track, "1.5", ","}, {Control::EB_Track, "nan", "."},
        {Control::EB_Speed, "inf", "."}, {Control::EB_Speed, "12kts", "."},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.typed);
        Rig rig;
        rig.window.separator = r.separator;
        rig.state.xteValue = 1.25f;
        rig.state.trackTenths = 123.0f;
        rig.state.speed = 77.0f;
        rig.window.texts[r.edit] = r.typed;
        switch (r.edit) {
        case Control::EB_Value:
            rig.inputs.UpDown1Click(UpDownButton::Up);
            rig.inputs.EB_ValueKeyPress('\r');
            break;
        case Control::EB_Track:
            rig.inputs.UpDown2Click(UpDownButton::Down);
            rig.inputs.EB_TrackKeyPress('\r');
            break;
        default:
            rig.inputs.UpDown3Click(UpDownButton::Up);
            rig.inputs.EB_SpeedKeypress('\r');
            break;
        }
        EXPECT_EQ(rig.state.xteValue, 1.25f);
        EXPECT_EQ(rig.state.trackTenths, 123.0f);
        EXPECT_EQ(rig.state.speed, 77.0f);
        EXPECT_EQ(rig.window.texts[r.edit], r.typed);
        EXPECT_TRUE(rig.window.log.empty());
        const std::string message =
            std::string("'") + r.typed + "' is not a valid floating point value";
        ASSERT_EQ(rig.box.shown.size(), 2u);
        for (const auto& shown : rig.box.shown) {
            EXPECT_EQ(shown.text, message);
            EXPECT_EQ(shown.caption, "");
            EXPECT_EQ(shown.buttons, MsgButtons::Ok);
        }
    }
}

TEST(SimulatorInputs, EnterAppliesThenMovesTheFocus) {
    struct Row {
        Control edit;
        char key;
        Log log;
    };
    const Row rows[] = {
        {Control::EB_Value, '\r', {"text EB_Value=2.00", "focus GroupXTE"}},
        {Control::EB_Track, '\r', {"text EB_Track=2.0", "focus BTN_Heading"}},
        {Control::EB_Speed, '\r', {"text EB_Speed=2", "focus BTN_Heading"}},
        {Control::EB_Value, '\n', {}},
        {Control::EB_Track, '2', {}},
        {Control::EB_Speed, ' ', {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(FakeSimulatorWindow::name(r.edit) + " " + std::to_string(r.key));
        Rig rig;
        rig.window.texts[r.edit] = "2";
        if (r.edit == Control::EB_Value)
            rig.inputs.EB_ValueKeyPress(r.key);
        else if (r.edit == Control::EB_Track)
            rig.inputs.EB_TrackKeyPress(r.key);
        else
            rig.inputs.EB_SpeedKeypress(r.key);
        EXPECT_EQ(rig.window.log, r.log);
    }
}

TEST(SimulatorInputs, CheckBoxesAndCrossTrackChoice) {
    struct Row {
        const char* name;
        void (SimulatorInputs::*handler)();
        bool checked;
        int item;
        XteMode modeBefore;
        Log log;
        bool courseOn, headingOn;
        XteMode modeAfter;
    };
    const Row rows[] = {
        {"course on, Left", &SimulatorInputs::BTN_CourseClick, true, 0, XteMode::Left,
         {"enable GroupXTE"}, true, false, XteMode::Left},
        {"course on, Value", &SimulatorInputs::BTN_CourseClick, true, 0, XteMode::Value,
         {"enable GroupXTE", "enable EB_Value"}, true, false, XteMode::Value},
        {"course off", &SimulatorInputs::BTN_CourseClick, false, 0, XteMode::Value,
         {"disable GroupXTE", "disable EB_Value"}, false, false, XteMode::Value},
        {"heading on", &SimulatorInputs::BTN_HeadingClick, true, 0, XteMode::Left,
         {"enable EB_Track", "focus EB_Track", "select EB_Track", "enable EB_Speed"}, true, true,
         XteMode::Left},
        {"heading off", &SimulatorInputs::BTN_HeadingClick, false, 0, XteMode::Left,
         {"disable EB_Track", "disable EB_Speed"}, true, false, XteMode::Left},
        {"xte Left", &SimulatorInputs::GroupXTEClick, false, 0, XteMode::Value,
         {"disable EB_Value"}, true, false, XteMode::Left},
        {"xte Centre", &SimulatorInputs::GroupXTEClick, false, 1, XteMode::Left,
         {"disable EB_Value"}, true, false, XteMode::Centre},
        {"xte Right", &SimulatorInputs::GroupXTEClick, false, 2, XteMode::Left,
         {"disable EB_Value"}, true, false, XteMode::Right},
        {"xte Value", &SimulatorInputs::GroupXTEClick, false, 3, XteMode::Left,
         {"enable EB_Value", "focus EB_Value", "select EB_Value"}, true, false, XteMode::Value},
        {"xte none", &SimulatorInputs::GroupXTEClick, false, -1, XteMode::Right, {}, true, false,
         XteMode::Right},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Rig rig;
        rig.state.xteMode = r.modeBefore;
        rig.window.checked[Control::BTN_Course] = r.checked;
        rig.window.checked[Control::BTN_Heading] = r.checked;
        rig.window.items[Control::GroupXTE] = r.item;
        (rig.inputs.*r.handler)();
        EXPECT_EQ(rig.window.log, r.log);
        EXPECT_EQ(rig.state.courseOn, r.courseOn);
        EXPECT_EQ(rig.state.headingOn, r.headingOn);
        EXPECT_EQ(rig.state.xteMode, r.modeAfter);
    }
}

TEST(SimulatorInputs, FormatChoiceSetsTheBaudRateOnlyWhenAuto) {
    struct Row {
        const char* name;
        OutputFormat before;
        std::uint8_t baudChoice;
        int item;
        OutputFormat after;
        std::vector<std::string> calls;
        std::uint32_t baud;
    };
    const std::vector<std::string> setBaud{"getLineState 7", "setLineState 7"};
    const Row rows[] = {
        {"v2 to v3, auto", OutputFormat::NmeaV2, 0, 1, OutputFormat::NmeaV3, setBaud, 4800},
        {"v3 to aviation, auto", OutputFormat::NmeaV3, 0, 2, OutputFormat::Aviation, setBaud,
         9600},
        {"aviation to v2, auto", OutputFormat::Aviation, 0, 0, OutputFormat::NmeaV2, setBaud,
         4800},
        {"other item is aviation", OutputFormat::NmeaV3, 0, 5, OutputFormat::Aviation, setBaud,
         9600},
        {"same item", OutputFormat::NmeaV3, 0, 1, OutputFormat::NmeaV3, {}, 19200},
        {"fixed baud", OutputFormat::NmeaV3, 1, 2, OutputFormat::Aviation, {}, 19200},
        {"fixed baud back", OutputFormat::Aviation, 2, 0, OutputFormat::NmeaV2, {}, 19200},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Rig rig;
        rig.state.portHandle = 7;
        rig.state.format = r.before;
        rig.state.baudChoice = r.baudChoice;
        rig.device.line.baudRate = 19200;
        rig.window.items[Control::GroupFormat] = r.item;
        rig.inputs.GroupFormatClick();
        EXPECT_EQ(rig.state.format, r.after);
        EXPECT_EQ(rig.device.calls, r.calls);
        EXPECT_EQ(rig.device.line.baudRate, r.baud);
        EXPECT_TRUE(rig.window.log.empty());
    }
}

} // namespace
