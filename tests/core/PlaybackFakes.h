#pragma once
// A playback rig: a real engine, SerialLink and Transmitter over a fake device, with every
// port write, read-out and caption recorded in one ordered event list.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Fakes.h"
#include "playback/PlaybackEngine.h"
#include "playback/PlaybackWindow.h"
#include "playback/Sleeper.h"
#include "serial/TransmitLine.h"

// Quoted, with \r \n \\ \" and \xNN for other unprintable bytes.
inline std::string Quoted(const std::string& bytes) {
    std::string out = "\"";
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 32 && c <= 126) {
            out += static_cast<char>(c);
        } else {
            static constexpr char hex[] = "0123456789abcdef";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out + "\"";
}

// Port writes of one TransmitLine call become one "wire" event: the terminal line that each
// call appends marks where the next call begins.
class WireLogDevice : public FakeSerialDevice {
public:
    explicit WireLogDevice(std::vector<std::string>& log) : events(log) {}
    bool write(PortHandle h, const std::uint8_t* data, std::size_t count) override {
        const bool ok = FakeSerialDevice::write(h, data, count);
        const std::string bytes(reinterpret_cast<const char*>(data), count);
        if (newRecord || events.empty() || events.back().rfind("wire ", 0) != 0) {
            events.push_back("wire " + Quoted(bytes));
            pending = bytes;
        } else {
            pending += bytes;
            events.back() = "wire " + Quoted(pending);
        }
        newRecord = false;
        return ok;
    }
    std::vector<std::string>& events;
    std::string pending;
    bool newRecord = true;
};

class PieceTerminal : public FakeTerminal {
public:
    explicit PieceTerminal(WireLogDevice& d) : device(d) {}
    void appendLine(std::string_view bytes) override {
        FakeTerminal::appendLine(bytes);
        device.newRecord = true;
    }
    WireLogDevice& device;
};

class FakePlaybackWindow : public PlaybackWindow {
public:
    explicit FakePlaybackWindow(std::vector<std::string>& log) : events(log) {}
    void setRangeText(const std::string& t) override { events.push_back("range " + Quoted(t)); }
    void setSpeedText(const std::string& t) override { events.push_back("speed " + Quoted(t)); }
    void setCalculatedSpeedText(const std::string& t) override {
        events.push_back("calc " + Quoted(t));
    }
    void setWaypointIdText(const std::string& t) override {
        events.push_back("waypoint " + Quoted(t));
    }
    int pauseSecondsPosition() const override { return seconds; }
    int recordsPerTickPosition() const override { return budget; }
    std::string triggerText() const override { return trigger; }
    void setOpenFileCaption(const std::string& t) override {
        events.push_back("caption " + Quoted(t));
    }
    void setFileNameText(const std::string& t) override {
        events.push_back("filename " + Quoted(t));
    }
    std::vector<std::string>& events;
    int seconds = 1;
    int budget = 25;
    std::string trigger = "GPRMB";
};

class CountingSleeper : public Sleeper {
public:
    void wait10ms() override { ++waits; }
    int waits = 0;
};

struct PlaybackRig {
    std::vector<std::string> events;
    EmulatorState state;
    WireLogDevice device{events};
    FakeMessageBox box;
    SerialLink link{state, device, box};
    PieceTerminal term{device};
    TerminalLog log{&term, 12, 38};
    Transmitter tx{state, link, log};
    FakePlaybackWindow window{events};
    CountingSleeper sleeper;
    PlaybackEngine engine{state, window, tx, sleeper};

    PlaybackRig() { state.portHandle = 3; }
    void setType(bool nmea) {
        state.fileTypeNmea = nmea;
        state.format = nmea ? OutputFormat::NmeaV3 : OutputFormat::Aviation;
    }
    // As the output tick does: the replay runs only while a file is open.
    void tick() {
        if (state.fileOpen)
            engine.PlaybackTick();
    }
};

// A file with the given bytes in the test's temporary directory.
inline std::string WriteTempFile(const std::string& name, const std::string& bytes) {
    const auto path = std::filesystem::path(testing::TempDir()) / name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path.string();
}
