#pragma once
#include <iosfwd>
#include <string>
#include <string_view>

#include "engine/TerminalLog.h"

class Readouts;

// A JSON string literal of bytes; bytes outside ASCII are taken as Latin-1, as the window
// shows a waypoint.
std::string JsonString(std::string_view bytes);

// The File page's read-outs after tick `tick` (the first is 1): a line of text, or one JSON
// object.
std::string ReadoutLine(const Readouts& readouts, long long tick, bool json);

// The terminal pane on standard output: each record as it is sent, one line each.
class EchoTerminal : public TerminalView {
public:
    EchoTerminal(std::ostream& stream, bool asJson) : out(stream), json(asJson) {}
    int lineCount() const override { return 0; }
    void removeFirstLine() override {}
    void appendLine(std::string_view bytes) override;
    void clearLines() override {}

private:
    std::ostream& out;
    bool json;
};
