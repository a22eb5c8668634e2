#include <gtest/gtest.h>

#include "core/FakeDevice.h"
#include "line/LineWriter.h"
#include "line/SerialLink.h"

namespace {

using Calls = std::vector<std::string>;

struct Rig {
    FakeSerialDevice device;
    LineWriter writer{device};
    SerialLink link{device, writer};
};

TEST(SerialLink, OpenPortCallsInOrderAndFailures) {
    struct Row {
        bool failOpen, failLine, failTimeouts;
        PortHandle result;
        Calls calls;
        std::string failure;
        bool rts;
    };
    const Row rows[] = {
        {false,
         false,
         false,
         7,
         {"open COM2:", "getLineState 7", "setLineState 7", "getTimeouts 7", "setTimeouts 7",
          "SETDTR 7", "SETRTS 7"},
         "",
         true},
        {true, false, false, InvalidPort, {"open COM2:"}, "", false},
        {false,
         true,
         false,
         7,
         {"open COM2:", "getLineState 7", "setLineState 7"},
         "Unable to configure the serial port",
         false},
        {false,
         false,
         true,
         7,
         {"open COM2:", "getLineState 7", "setLineState 7", "getTimeouts 7", "setTimeouts 7"},
         "Unable to set the time-out parameters",
         false},
    };
    for (const Row& r : rows) {
        Rig rig;
        rig.device.failOpen = r.failOpen;
        rig.device.failSetLineState = r.failLine;
        rig.device.failSetTimeouts = r.failTimeouts;
        EXPECT_EQ(rig.link.OpenPort("COM2:", 4800), r.result);
        EXPECT_EQ(rig.device.calls, r.calls);
        EXPECT_EQ(rig.link.configureFailure(), r.failure);
        EXPECT_EQ(rig.link.RtsRaised(), r.rts);
    }
    // A device that cannot name its speed gets the rate it is about to have, 8N1.
    Rig rig;
    rig.device.line = LineState{0, true, true, true, true, 7, Parity::Even, StopBits::Two};
    rig.link.OpenPort("COM1:", 9600);
    EXPECT_EQ(rig.device.line.baudRate, 9600u);
    EXPECT_EQ(rig.device.line.byteSize, 8);
    EXPECT_EQ(rig.device.line.parity, Parity::None);
    EXPECT_FALSE(rig.device.line.ctsFlow || rig.device.line.outX || rig.device.line.inX);
}

// A baud change runs on the writer's thread; a refusal found there is counted for the engine.
TEST(SerialLink, SetBaudKeepsOtherSettingsAndCountsLateFailures) {
    Rig rig;
    EXPECT_FALSE(rig.link.SetBaud(1)); // no port
    rig.link.UsePort(rig.link.OpenPort("COM1:", 4800));
    for (std::uint8_t idx = 1; idx <= 3; ++idx) {
        EXPECT_TRUE(rig.link.SetBaud(idx));
        rig.writer.flush();
        EXPECT_EQ(rig.device.line.baudRate, SerialLink::BaudRates[idx]);
        EXPECT_EQ(rig.device.line.byteSize, 8);
    }
    EXPECT_FALSE(rig.link.SetBaud(0));
    rig.device.failSetLineState = true;
    rig.link.SetBaud(1);
    rig.writer.flush();
    EXPECT_EQ(rig.link.takeLateFailures(), 1u);
    EXPECT_EQ(rig.link.takeLateFailures(), 0u); // each refusal is told once
    EXPECT_EQ(rig.device.line.baudRate, 19200u);
}

TEST(SerialLink, ToggleRtsAlternatesEvenWithoutPort) {
    Rig rig;
    rig.link.UsePort(rig.link.OpenPort("COM1:", 4800));
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
