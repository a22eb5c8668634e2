#include <gtest/gtest.h>

#include "core/Fakes.h"
#include "emulator/OutputTick.h"
#include "serial/TransmitLine.h"

namespace {

class FakeTickWindow : public OutputTickWindow {
public:
    int pauseSecondsPosition() const override { return seconds; }
    void setTickPeriod(int ms) override { periods.push_back(ms); }
    int currentPage() const override { return page; }
    int seconds = 1;
    int page = 0;
    std::vector<int> periods;
};

class CountingPlayback : public PlaybackTicker {
public:
    void PlaybackTick() override { ++ticks; }
    int ticks = 0;
};

struct Rig {
    EmulatorState state;
    FakeSerialDevice device;
    FakeMessageBox box;
    SerialLink link{state, device, box};
    FakeTerminal term;
    TerminalLog log{&term};
    Transmitter tx{state, link, log};
    FakeTickWindow window;
    CountingPlayback playback;
    OutputTick tick{state, window, tx};
    Rig() {
        state.headingOn = true;
        state.portHandle = 1;
        tick.setPlayback(&playback);
    }
};

TEST(OutputTick, WhatOneTickDoes) {
    struct Row {
        const char* name;
        bool paused;
        int page;
        bool fileOpen;
        OutputFormat format;
        bool course, heading;
        std::size_t lines;
        int playbackTicks;
    };
    const Row rows[] = {
        {"simulator nmea", false, 0, false, OutputFormat::NmeaV3, true, true, 2, 0},
        {"paused", true, 0, false, OutputFormat::NmeaV3, true, true, 0, 0},
        {"simulator ignores open file", false, 0, true, OutputFormat::NmeaV3, true, true, 2, 0},
        {"file page no file", false, 1, false, OutputFormat::NmeaV3, true, true, 0, 0},
        {"file page with file", false, 1, true, OutputFormat::NmeaV3, true, true, 0, 1},
        {"file page paused", true, 1, true, OutputFormat::NmeaV3, true, true, 0, 0},
        {"nmea both flags clear", false, 0, false, OutputFormat::NmeaV2, false, false, 0, 0},
        {"aviation both flags clear", false, 0, false, OutputFormat::Aviation, false, false, 1,
         0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Rig rig;
        rig.state.paused = r.paused;
        rig.window.page = r.page;
        rig.state.fileOpen = r.fileOpen;
        rig.state.format = r.format;
        rig.state.courseOn = r.course;
        rig.state.headingOn = r.heading;
        rig.tick.Timer1Timer();
        EXPECT_EQ(rig.term.lines.size(), r.lines);
        EXPECT_EQ(rig.playback.ticks, r.playbackTicks);
        EXPECT_TRUE(rig.window.periods.empty());
    }
}

TEST(OutputTick, PendingPeriodAppliedEvenWhilePaused) {
    for (bool paused : {false, true}) {
        Rig rig;
        rig.state.paused = paused;
        rig.state.intervalPending = true;
        rig.window.seconds = 30;
        rig.tick.Timer1Timer();
        EXPECT_EQ(rig.window.periods, std::vector<int>{30000});
        EXPECT_FALSE(rig.state.intervalPending);
        rig.tick.Timer1Timer();
        EXPECT_EQ(rig.window.periods.size(), 1u);
    }
}

} // namespace
