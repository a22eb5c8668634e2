#pragma once
// Test doubles for the seams of the core: serial device, message boxes, terminal.
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/MessageBoxSeam.h"
#include "serial/RecordSink.h"
#include "serial/SerialDevice.h"
#include "serial/TerminalLog.h"

struct RecordedMessage {
    std::string text;
    std::string caption;
    MsgIcon icon;
    MsgButtons buttons;
};

class FakeMessageBox : public MessageBoxSeam {
public:
    MsgResult show(const std::string& text, const std::string& caption, MsgIcon icon,
                   MsgButtons buttons) override {
        shown.push_back({text, caption, icon, buttons});
        if (whileShown)
            whileShown();
        if (answers.empty())
            return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
        const MsgResult r = answers.front();
        answers.pop_front();
        return r;
    }
    std::vector<RecordedMessage> shown;
    std::deque<MsgResult> answers; // given in order; Ok/Cancel once they run out
    std::function<void()> whileShown; // looks at the windows while a box is up
};

// Records every call as a line of text, in order, and can be told to fail any of them. Calls
// come from the line writer's thread too: read the records after the writer's flush().
class FakeSerialDevice : public SerialDevice {
public:
    PortHandle open(const std::string& name) override {
        std::lock_guard lock(mutex);
        calls.push_back("open " + name);
        if (failOpen)
            return InvalidPort;
        return nextHandle++;
    }
    bool getLineState(PortHandle h, LineState& out) override {
        std::lock_guard lock(mutex);
        calls.push_back("getLineState " + std::to_string(h));
        out = line;
        return true;
    }
    bool setLineState(PortHandle h, const LineState& s) override {
        std::lock_guard lock(mutex);
        calls.push_back("setLineState " + std::to_string(h));
        if (failSetLineState)
            return false;
        line = s;
        return true;
    }
    bool getTimeouts(PortHandle h, Timeouts& out) override {
        std::lock_guard lock(mutex);
        calls.push_back("getTimeouts " + std::to_string(h));
        out = timeouts;
        return true;
    }
    bool setTimeouts(PortHandle h, const Timeouts& t) override {
        std::lock_guard lock(mutex);
        calls.push_back("setTimeouts " + std::to_string(h));
        if (failSetTimeouts)
            return false;
        timeouts = t;
        return true;
    }
    bool lineControl(PortHandle h, LineControl fn) override {
        std::lock_guard lock(mutex);
        const char* name = fn == LineControl::SetDtr   ? "SETDTR"
                           : fn == LineControl::SetRts ? "SETRTS"
                                                       : "CLRRTS";
        calls.push_back(std::string(name) + " " + std::to_string(h));
        return true;
    }
    bool write(PortHandle h, const std::uint8_t* data, std::size_t count) override {
        std::lock_guard lock(mutex);
        calls.push_back("write " + std::string(reinterpret_cast<const char*>(data), count));
        writes.emplace_back(reinterpret_cast<const char*>(data), count);
        written.append(reinterpret_cast<const char*>(data), count);
        writeHandles.push_back(h);
        return !failWrite;
    }
    bool close(PortHandle h) override {
        std::lock_guard lock(mutex);
        calls.push_back("close " + std::to_string(h));
        return true;
    }

    std::mutex mutex;
    std::vector<std::string> calls;
    std::vector<std::string> writes; // one entry per write call
    std::string written;             // every byte written, in order
    std::vector<PortHandle> writeHandles;
    LineState line{9600};
    Timeouts timeouts{};
    PortHandle nextHandle = 7;
    bool failOpen = false;
    bool failSetLineState = false;
    bool failSetTimeouts = false;
    bool failWrite = false;
};

class FakeTerminal : public TerminalView {
public:
    int lineCount() const override { return static_cast<int>(lines.size()); }
    void removeFirstLine() override { lines.erase(lines.begin()); }
    void appendLine(std::string_view bytes) override { lines.emplace_back(bytes); }
    void clearLines() override { lines.clear(); }
    std::vector<std::string> lines;
};

// Takes records as the transmitter hands them over, in order, and counts the 10 ms waits.
class FakeSink : public RecordSink {
public:
    bool submit(PortHandle port, std::string bytes) override {
        ports.push_back(port);
        records.push_back(std::move(bytes));
        return true;
    }
    void wait10ms() override { ++waits; }
    std::vector<PortHandle> ports;
    std::vector<std::string> records;
    int waits = 0;
};
