// The commands' value rules: what each stores, sends or refuses, for numbers and choices; and
// start-up's reading of the two persisted values, from a real settings file.
#include <gtest/gtest.h>

#include <cmath>
#include <sys/stat.h>

#include "core/engine/EngineRig.h"
#include "engine/Startup.h"

namespace {

namespace fs = std::filesystem;

using Writes = std::vector<std::string>;

// Values are held to their range, the track wrapped, and stored as floats; a number that is not
// finite is refused and changes nothing.
TEST(Commands, SimulatorValuesAreClampedWrappedAndStoredAsFloats) {
    enum What { Xte, Track, Speed, Flow };
    // what, number given, a step in tenths for the track or the pulses' period in ms for the flow
    // (22 over the flow, in whole ms: the float nearest 0.1 lies just above it, so 219 not 220),
    // value stored (the track in tenths)
    // clang-format off
    const std::tuple<What, double, int, float> rows[] = {
        {Xte, 12, 0, 9.99f}, {Xte, -10.05, 0, -9.99f},
        {Xte, 9.99f, 0, 9.99f}, // the stored limit passes unchanged
        {Track, 12.37, 0, 123}, {Track, -12.3, 0, 3477}, {Track, 360, 0, 0},
        {Track, 719.9, 0, 3599}, {Track, -0.05, 0, 0}, {Track, 359.5, 10, 5},
        {Track, 0.5, -10, 3595},
        {Track, 1e12, 0, 2800},                   // tenths beyond 32 bits
        {Track, 1.7976931348623157e308, 0, 1280}, // tenths overflow to infinity
        {Speed, 150.4, 0, 150.4f}, {Speed, 600, 0, 500}, {Speed, -5, 0, 0},
        {Flow, 25, 2, 10}, {Flow, 0, 219, 0.1f}, {Flow, 0.1f, 219, 0.1f}, {Flow, 4, 5, 4},
        {Flow, 0.5, 44, 0.5f},
        {Xte, NAN, 0, 0}, {Xte, INFINITY, 0, 0}, {Track, NAN, 0, 0}, {Track, -INFINITY, 0, 0},
        {Speed, NAN, 0, 150}, {Speed, INFINITY, 0, 150},
        {Flow, NAN, 0, 10}, {Flow, INFINITY, 0, 10},
    };
    // clang-format on
    for (const auto& [what, number, step, stored] : rows) {
        SCOPED_TRACE(number);
        EngineRig rig;
        Simulator& sim = rig.e.simulator();
        const SimulatorValues& v = sim.values();
        FuelFlow& flow = rig.e.fuelFlow();
        EXPECT_EQ((what == Xte     ? sim.setXteValue(number)
                   : what == Track ? sim.setTrack(number, step)
                   : what == Speed ? sim.setSpeed(number)
                                   : flow.setFlow(number))
                      .ok,
                  std::isfinite(number));
        EXPECT_EQ(what == Xte     ? v.xteValue
                  : what == Track ? v.trackTenths
                  : what == Speed ? v.speed
                                  : flow.fuelFlow(),
                  stored);
        EXPECT_FALSE(std::signbit(v.trackTenths)); // "-00.0" in $GPRMC
        EXPECT_TRUE(what != Flow || !std::isfinite(number) || rig.e.pulses().period() == step);
    }
}

// While the baud choice is Auto a change of format applies its rate; a fixed rate stays. The
// file type always applies the NMEA rate again, never the Aviation one.
TEST(Commands, FormatAndFileTypeFollowTheBaudChoice) {
    using enum OutputFormat;
    using Change = void (*)(Emulator&);
    // clang-format off
    const std::tuple<int, Change, OutputFormat, std::uint32_t> rows[] = {
        {0, [](Emulator& e) { e.simulator().setFormat(Aviation); }, Aviation, 9600},
        {0, [](Emulator& e) { e.simulator().setFormat(NmeaV2); }, NmeaV2, 4800},
        {0, [](Emulator& e) { e.simulator().setFormat(NmeaV3); }, NmeaV3, 19200}, // no change
        {3, [](Emulator& e) { e.simulator().setFormat(Aviation); }, Aviation, 19200},
        {0, [](Emulator& e) { e.replay().setFileType(true); }, NmeaV3, 4800},
        {0, [](Emulator& e) { e.replay().setFileType(false); }, Aviation, 19200},
    };
    // clang-format on
    for (const auto& [choice, change, format, baud] : rows) {
        EngineRig rig;
        rig.e.port().setBaudChoice(choice, rig.e.simulator().values().format);
        rig.baud();
        rig.device.line.baudRate = 19200;
        change(rig.e);
        EXPECT_EQ(std::tuple(rig.e.simulator().values().format, rig.baud()),
                  std::tuple(format, baud));
    }
}

// Each coupler command sends one sentence in the layout of the compatibility mode, after
// holding its value to the range; in that mode the commands older couplers lack are refused
// with the dialog's warning, and nothing is stored or sent.
TEST(Commands, CouplerSentencesAndRefusals) {
    using C = Coupler;
    using Send = CommandResult (*)(Coupler&);
    // compatibility, the command, the sentence sent or (no "$") the warning it is refused with
    // clang-format off
    const std::tuple<bool, Send, std::string> rows[] = {
        {false, [](C& c) { return c.sendOffset(-25); }, "$PZCAL,25,N*0D"},
        {false, [](C& c) { return c.sendDimming(DimChoice::Level, 12); }, "$PZDIM,10*67"},
        {false, [](C& c) { return c.sendDimming(DimChoice::Level, -3); }, "$PZDIM,1*57"},
        {true, [](C& c) { return c.sendDimming(DimChoice::Sensor); }, "$PZDIM128,*5D"},
        {false, [](C& c) { return c.sendDimming(DimChoice::Volt); }, "$PZDIM,64*64"},
        {false, [](C& c) { return c.sendDimming(DimChoice::None); }, "$PZDIM,0*56"},
        {true, [](C& c) { return c.sendCourseGain(3); }, "$PZGAN3,*5D"},
        {true, [](C& c) { return c.sendType(2); }, "$PZTST7,*42"},
        {false, [](C& c) { return c.sendHeadingGain(2); }, "$PZHGN,2*55"},
        {false, [](C& c) { return c.sendBrightness(1); }, "$PZEQP,255*50"},
        {false, [](C& c) { return c.sendCamlink(Camlink::MaxAngle, 99); }, "$PZMXA,90*7B"},
        {false, [](C& c) { return c.sendCamlink(Camlink::Anticipation, 999); }, "$PZADV,127*41"},
        {false, [](C& c) { return c.sendCamlink(Camlink::VirtualWaypoints, -4); }, "$PZVWP,0*47"},
        {true, [](C& c) { return c.sendHeadingGain(2); }, C::NotForOldCouplers},
        {true, [](C& c) { return c.sendBrightness(1); }, C::NotForOldCouplers},
        {true, [](C& c) { return c.sendCamlink(Camlink::MaxTime, 5); }, C::OnlyForCamlinks},
        {false, [](C& c) { return c.sendCourseGain(4); },
         "The course gain must be a row from 0 to 3"},
    };
    // clang-format on
    for (const auto& [compat, send, expected] : rows) {
        EngineRig rig;
        Coupler& c = rig.e.coupler();
        c.setCompatibility(compat, false);
        const CouplerSettings before = c.settings();
        const bool refused = expected[0] != '$';
        const CommandResult result = send(c);
        EXPECT_EQ(std::pair(result.ok, result.text), std::pair(!refused, refused ? expected : ""));
        EXPECT_EQ(rig.written(), refused ? Writes{} : Writes{expected + "\r\n"});
        EXPECT_TRUE(!refused || c.settings() == before);
    }
}

// Another port opens before the old one closes, and is stored with its device; a port that
// cannot be opened is refused and the old one stays. The compatibility mode changes for the run
// even when it cannot be stored (CalibratePage's rows store it).
TEST(Commands, PortSwitchesAndCompatibilityIsStored) {
    EngineRig rig;
    Port& port = rig.e.port();
    EXPECT_TRUE(port.switchTo(0, "").ok); // the same port: nothing happens
    EXPECT_TRUE(port.switchTo(2, "/dev/ttyACM0").ok);
    rig.e.writer().flush();
    EXPECT_EQ(rig.device.calls.front() + "|" + rig.device.calls.back(), "on /dev/ttyACM0|close 7");
    EXPECT_EQ(rig.e.link().portHandle(), 8);
    EXPECT_NE(rig.settingsFile().find("Port=3"), std::string::npos);
    EXPECT_NE(rig.settingsFile().find("COM3=/dev/ttyACM0"), std::string::npos);

    rig.device.failOpen = true;
    const CommandResult refused = port.switchTo(1, "");
    EXPECT_EQ(std::pair(refused.ok, refused.text),
              std::pair(false, std::string("Can't open COM2:")));
    EXPECT_EQ(std::tuple(port.portIndex, rig.e.link().portHandle()), std::tuple(2, 8));
    EXPECT_FALSE(port.setBaudChoice(4, OutputFormat::NmeaV3).ok);

    fs::remove(rig.settings.filePath());
    rig.e.coupler().setCompatibility(false, true);
    EXPECT_EQ(rig.box.texts(), Writes{"Can't open Tarrow"});
    EXPECT_FALSE(rig.e.coupler().settings().compatibility);
}

// A first run writes the defaults; a damaged or out-of-range value is replaced by its default,
// the rest of the file kept; the file's place holding something else is left alone.
TEST(StartupSettings, StoredDefaultAndDamagedValues) {
    // the file before (nullptr: none), port index and mode read, the file after
    // clang-format off
    const std::tuple<const char*, std::uint8_t, bool, std::string> rows[] = {
        {nullptr, 0, true, "Port=1\nCompatibility=1\n"},
        {"Port=3\nCompatibility=0\n", 2, false, "Port=3\nCompatibility=0\n"},
        {"Port=4\nCompatibility=7\n", 3, true, "Port=4\nCompatibility=7\n"},
        {"Port=5\nCompatibility=1\n", 0, true, "Port=1\nCompatibility=1\n"},
        {"Port=2x\nCompatibility=\n", 0, true, "Port=1\nCompatibility=1\n"},
        {"[Devices]\nPort=2\n", 0, true, "Port=1\nCompatibility=1\n[Devices]\nPort=2\n"},
    };
    // clang-format on
    for (const auto& [file, port, compat, afterwards] : rows) {
        TempDir tmp;
        FileSettingsStore store(tmp.path / "config");
        if (file)
            tmp.file(store.filePath(), file);
        FakeMessageBox box;
        const StartupSettings s = ReadStartupSettings(store, box);
        std::string text;
        ReadSettingsFile(store.filePath(), text);
        EXPECT_EQ(std::tuple(box.shown.size(), s.portIndex, s.compatibility, text),
                  std::tuple(std::size_t{0}, port, compat, afterwards));
        const fs::perms made = fs::status(tmp.path / "config").permissions() & fs::perms::all;
        EXPECT_TRUE(file || made == fs::perms::owner_all); // a directory made is the user's
    }
    for (const auto& make : {+[](const fs::path& p) { ::mkfifo(p.c_str(), 0600); },
                             +[](const fs::path& p) { fs::create_directory(p); }}) {
        TempDir tmp;
        FileSettingsStore store(tmp.path);
        fs::create_directories(store.filePath().parent_path());
        make(store.filePath());
        FakeMessageBox box;
        EXPECT_EQ(ReadStartupSettings(store, box).portIndex, 0); // and no hang on the FIFO
        EXPECT_FALSE(fs::is_regular_file(store.filePath()));
    }
}

TEST(StartupSettings, UnusableConfigDirectoryIsRegistryError) {
    TempDir tmp;
    tmp.file("afile", "x");
    for (const fs::path& home : {fs::path(), tmp.path / "afile"}) {
        FileSettingsStore store(home);
        FakeMessageBox box;
        const StartupSettings s = ReadStartupSettings(store, box);
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0].text + "/" + box.shown[0].caption, "Registry error!/error");
        EXPECT_TRUE(s.portIndex == 0 && s.compatibility);
    }
}

} // namespace
