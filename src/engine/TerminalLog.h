#pragma once
#include <cstdint>
#include <string_view>

// The terminal pane as the output routine needs it: a list of lines, oldest first.
class TerminalView {
public:
    virtual ~TerminalView() = default;
    virtual int lineCount() const = 0;
    virtual void removeFirstLine() = 0;
    // Appends one line; the bytes are the record as sent (control characters included).
    virtual void appendLine(std::string_view bytes) = 0;
    virtual void clearLines() = 0;
};

struct TerminalLog {
    TerminalView* view = nullptr;
    std::uint16_t LineHeight = 12;
    std::uint16_t VisibleLines = 38;
};
