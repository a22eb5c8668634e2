#include <gtest/gtest.h>

#include "core/Fakes.h"
#include "serial/LineWriter.h"
#include "serial/SerialLink.h"

namespace {

using Calls = std::vector<std::string>;

struct Rig {
    EmulatorState state;
    FakeSerialDevice device;
    FakeMessageBox box;
    LineWriter writer{device};
    SerialLink link{state, device, writer, box};
};

TEST(SerialLink, OpenPortCallsInOrderAndFailures) {
    struct Row {
        const char* name;
        bool failOpen, failLine, failTimeouts;
        PortHandle result;
        Calls calls;
        std::vector<std::string> messages;
        bool rts;
    };
    const Row rows[] = {
        {"complete", false, false, false, 7,
         {"open COM2:", "getLineState 7", "setLineState 7", "getTimeouts 7", "setTimeouts 7",
          "SETDTR 7", "SETRTS 7"},
         {},
         true},
        {"open fails", true, false, false, InvalidPort, {"open COM2:"}, {}, false},
        {"line state refused", false, true, false, 7,
         {"open COM2:", "getLineState 7", "setLineState 7"},
         {"Unable to configure the serial port"},
         false},
        {"time-outs refused", false, false, true, 7,
         {"open COM2:", "getLineState 7", "setLineState 7", "getTimeouts 7", "setTimeouts 7"},
         {"Unable to set the time-out parameters"},
         false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Rig rig;
        rig.device.failOpen = r.failOpen;
        rig.device.failSetLineState = r.failLine;
        rig.device.failSetTimeouts = r.failTimeouts;
        EXPECT_EQ(rig.link.OpenPort("COM2:"), r.result);
        EXPECT_EQ(rig.device.calls, r.calls);
        ASSERT_EQ(rig.box.shown.size(), r.messages.size());
        for (std::size_t i = 0; i < r.messages.size(); ++i) {
            EXPECT_EQ(rig.box.shown[i].text, r.messages[i]);
            EXPECT_EQ(rig.box.shown[i].caption, "Error");
        }
        EXPECT_EQ(rig.link.RtsRaised(), r.rts);
    }
}

// A baud change runs on the writer's thread; a refusal is reported on the window's thread.
TEST(SerialLink, SetBaudKeepsOtherSettingsAndReportsFailure) {
    Rig rig;
    rig.link.SetBaud(1);
    ASSERT_EQ(rig.box.shown.size(), 1u); // no port: refused at once
    rig.link.UsePort(rig.link.OpenPort("COM1:"));
    for (std::uint8_t idx = 1; idx <= 3; ++idx) {
        rig.link.SetBaud(idx);
        rig.writer.flush();
        EXPECT_EQ(rig.device.line.baudRate, SerialLink::BaudRates[idx]);
        EXPECT_EQ(rig.device.line.byteSize, 8);
    }
    rig.link.ReportLateFailures();
    EXPECT_EQ(rig.box.shown.size(), 1u);
    rig.device.failSetLineState = true;
    rig.link.SetBaud(1);
    rig.writer.flush();
    rig.link.ReportLateFailures();
    rig.link.ReportLateFailures(); // each refusal is told once
    ASSERT_EQ(rig.box.shown.size(), 2u);
    EXPECT_EQ(rig.box.shown[1].text, "Unable to configure the serial port");
    EXPECT_EQ(rig.device.line.baudRate, 19200u);
}

TEST(SerialLink, ToggleRtsAlternatesEvenWithoutPort) {
    Rig rig;
    rig.link.UsePort(rig.link.OpenPort("COM1:"));
    rig.device.calls.clear();
    rig.link.ToggleRts();
    rig.link.ToggleRts();
    EXPECT_EQ(rig.device.calls, (Calls{"CLRRTS 7", "SETRTS 7"}));
    EXPECT_TRUE(rig.link.RtsRaised());
    rig.link.UsePort(InvalidPort);
    rig.link.ToggleRts();
    EXPECT_FALSE(rig.link.RtsRaised());
}

} // namespace
