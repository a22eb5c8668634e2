#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "app/SettingsStore.h"
#include "core/Fakes.h"
#include "core/TempDir.h"
#include "serial/SerialLink.h"
#include "serial/SerialPortLogic.h"

namespace fs = std::filesystem;

namespace {

using Calls = std::vector<std::string>;

class FakePortWindow : public SerialPortWindow {
public:
    int selectedPort() const override { return port; }
    void selectPort(int i) override { port = i; }
    int selectedBaud() const override { return baud; }
    void selectBaud(int c) override { baud = c; }
    void closeDialog() override { ++closed; }
    int port = -1;
    int baud = -1;
    int closed = 0;
};

// Notes each value write in the device's call list, so its place between the port calls
// shows, and passes it on to the real settings file.
class RecordingStore : public SettingsStore {
public:
    RecordingStore(SettingsStore& s, Calls& c) : inner(s), calls(c) {}
    OpenResult open(bool create) override { return inner.open(create); }
    std::optional<std::int32_t> readInt(const std::string& n) override { return inner.readInt(n); }
    bool writeInt(const std::string& name, std::int32_t value) override {
        calls.push_back("write " + name + "=" + std::to_string(value));
        return inner.writeInt(name, value);
    }
    std::string devicePath(const std::string& p) override { return inner.devicePath(p); }
    SettingsStore& inner;
    Calls& calls;
};

constexpr const char* SettingsText = "Port=1\nCompatibility=1\n";

struct Rig {
    TempDir tmp;
    FileSettingsStore file{tmp.path};
    EmulatorState state;
    FakeSerialDevice device;
    RecordingStore store{file, device.calls};
    FakeMessageBox box;
    SerialLink link{state, device, box};
    FakePortWindow window;
    SerialPortLogic logic{state, window, link, box, store};

    Rig() {
        fs::create_directories(file.filePath().parent_path());
        std::ofstream(file.filePath()) << SettingsText;
        state.portHandle = link.OpenPort("COM1:"); // handle 7; the next open gives 8
        device.calls.clear();
        logic.FormShow();
    }
    std::string settingsFile() const {
        std::ifstream in(file.filePath());
        return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
    }
};

const Calls OpenCom3 = {"open COM3:",    "getLineState 8", "setLineState 8", "getTimeouts 8",
                        "setTimeouts 8", "SETDTR 8",       "SETRTS 8"};

Calls concat(Calls a, const Calls& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(SerialPortLogic, SwitchOpensNewPortFirstThenPersistsThenClosesOld) {
    struct Row {
        const char* name;
        bool removeFile, removeDirectory;
        const char* message;
        Calls calls;
        const char* fileAfter;
    };
    const Calls baud = {"getLineState 8", "setLineState 8"};
    const Row rows[] = {
        {"settings present", false, false, nullptr,
         concat(concat(OpenCom3, {"write Port=3", "close 7"}), baud), "Port=3\nCompatibility=1\n"},
        {"file missing", true, false, "Can't open Tarrow",
         concat(concat(OpenCom3, {"close 7"}), baud), "<missing>"},
        {"directory missing", true, true, "Can't open Brackwater",
         concat(concat(OpenCom3, {"close 7"}), baud), "<missing>"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Rig rig;
        if (r.removeFile)
            fs::remove(rig.file.filePath());
        if (r.removeDirectory)
            fs::remove_all(rig.file.filePath().parent_path());
        EXPECT_EQ(rig.window.port, 0);
        EXPECT_EQ(rig.window.baud, 0);
        rig.window.port = 2;
        rig.logic.BTN_OKClick();
        EXPECT_EQ(rig.device.calls, r.calls);
        EXPECT_EQ(rig.settingsFile(), r.fileAfter);
        EXPECT_EQ(rig.state.portIndex, 2);
        EXPECT_EQ(rig.state.portHandle, 8);
        EXPECT_EQ(rig.device.line.baudRate, 4800u);
        EXPECT_EQ(rig.window.closed, 1);
        if (r.message) {
            ASSERT_EQ(rig.box.shown.size(), 1u);
            EXPECT_EQ(rig.box.shown[0].text, r.message);
            EXPECT_EQ(rig.box.shown[0].caption, "error");
        } else {
            EXPECT_TRUE(rig.box.shown.empty());
        }
    }
}

TEST(SerialPortLogic, PortThatWillNotOpenRetryThenCancel) {
    Rig rig;
    rig.device.failOpen = true;
    rig.window.port = 3;
    rig.window.baud = 3;
    rig.box.answers = {MsgResult::Retry, MsgResult::Cancel};

    rig.logic.BTN_OKClick();
    ASSERT_EQ(rig.box.shown.size(), 1u);
    EXPECT_EQ(rig.box.shown[0].text, "Can't open COM4:");
    EXPECT_EQ(rig.box.shown[0].caption, "");
    EXPECT_EQ(rig.box.shown[0].icon, MsgIcon::Warning);
    EXPECT_EQ(rig.box.shown[0].buttons, MsgButtons::RetryCancel);
    EXPECT_EQ(rig.device.calls, Calls{"open COM4:"});
    EXPECT_EQ(rig.window.closed, 0);
    EXPECT_EQ(rig.window.port, 3);
    EXPECT_EQ(rig.state.baudChoice, 0);

    rig.logic.BTN_OKClick(); // answered Cancel: keep COM1, apply the baud choice, close
    EXPECT_EQ(rig.box.shown.size(), 2u);
    EXPECT_EQ(rig.device.calls,
              (Calls{"open COM4:", "open COM4:", "getLineState 7", "setLineState 7"}));
    EXPECT_EQ(rig.state.portIndex, 0);
    EXPECT_EQ(rig.state.portHandle, 7);
    EXPECT_EQ(rig.state.baudChoice, 3);
    EXPECT_EQ(rig.device.line.baudRate, 19200u);
    EXPECT_EQ(rig.window.closed, 1);
    EXPECT_EQ(rig.settingsFile(), SettingsText);
}

TEST(SerialPortLogic, SamePortOnlyAppliesTheBaudChoice) {
    struct Row {
        OutputFormat format;
        int baud;
        std::uint32_t rate;
    };
    const Row rows[] = {
        {OutputFormat::NmeaV2, 0, 4800},   {OutputFormat::NmeaV3, 0, 4800},
        {OutputFormat::Aviation, 0, 9600}, {OutputFormat::Aviation, 3, 19200},
        {OutputFormat::NmeaV3, 2, 9600},   {OutputFormat::Aviation, 1, 4800},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.baud);
        Rig rig;
        rig.state.format = r.format;
        rig.window.baud = r.baud;
        rig.logic.BTN_OKClick();
        EXPECT_EQ(rig.device.calls, (Calls{"getLineState 7", "setLineState 7"}));
        EXPECT_EQ(rig.device.line.baudRate, r.rate);
        EXPECT_EQ(rig.state.baudChoice, r.baud);
        EXPECT_EQ(rig.settingsFile(), SettingsText);
        EXPECT_EQ(rig.window.closed, 1);
    }
}

TEST(SerialPortLogic, FailedStartupPortIsNotReopened) {
    Rig rig;
    rig.state.portHandle = InvalidPort;
    rig.state.portIndex = 1;
    rig.device.failSetLineState = true; // no port: the baud step cannot be applied
    rig.logic.FormShow();
    rig.logic.BTN_OKClick();
    EXPECT_EQ(rig.device.calls, (Calls{"getLineState -1", "setLineState -1"}));
    ASSERT_EQ(rig.box.shown.size(), 1u);
    EXPECT_EQ(rig.box.shown[0].text, "Unable to configure the serial port");
    EXPECT_EQ(rig.window.closed, 1);

    rig.device.failSetLineState = false;
    rig.device.calls.clear();
    rig.window.port = 2;
    rig.logic.BTN_OKClick();
    EXPECT_EQ(rig.device.calls,
              concat(OpenCom3, {"write Port=3", "getLineState 8", "setLineState 8"}));
    EXPECT_EQ(rig.state.portHandle, 8);
}

TEST(SerialPortLogic, CancelChangesNothingAndShowSelectsTheState) {
    Rig rig;
    rig.window.port = 3;
    rig.window.baud = 2;
    rig.logic.BTN_CANCELClick();
    EXPECT_EQ(rig.window.closed, 1);
    EXPECT_TRUE(rig.device.calls.empty());
    EXPECT_EQ(rig.state.baudChoice, 0);
    rig.state.portIndex = 1;
    rig.state.baudChoice = 3;
    rig.logic.FormShow();
    EXPECT_EQ(rig.window.port, 1);
    EXPECT_EQ(rig.window.baud, 3);
}

} // namespace
