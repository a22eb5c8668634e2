#pragma once
// Test doubles for the engine's seams: message boxes and the terminal, beside the device.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/FakeDevice.h"
#include "engine/MessageBoxSeam.h"
#include "engine/TerminalLog.h"

struct RecordedMessage {
    std::string text, caption;
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
    std::vector<std::string> texts() const {
        std::vector<std::string> t;
        for (const auto& m : shown)
            t.push_back(m.text);
        return t;
    }
    std::vector<RecordedMessage> shown;
    std::deque<MsgResult> answers;    // given in order; Ok/Cancel once they run out
    std::function<void()> whileShown; // looks at the windows while a box is up
};

class FakeTerminal : public TerminalView {
public:
    int lineCount() const override { return static_cast<int>(lines.size()); }
    void removeFirstLine() override { lines.erase(lines.begin()); }
    void appendLine(std::string_view bytes) override { lines.emplace_back(bytes); }
    void clearLines() override { lines.clear(); }
    std::vector<std::string> lines;
};
