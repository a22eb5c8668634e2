#include "serial/TransmitLine.h"

#include <cstring>

void AppendEcho(std::string& echo, unsigned char byte) {
    if (byte >= 32 && byte <= 126) {
        echo.push_back(static_cast<char>(byte));
        return;
    }
    static constexpr char hex[] = "0123456789abcdef";
    echo += "\\x";
    echo.push_back(hex[byte >> 4]);
    echo.push_back(hex[byte & 0x0F]);
}

Transmitter::Transmitter(EmulatorState& s, SerialLink& l, TerminalLog& t)
    : state(s), link(l), terminal(t) {}

void Transmitter::trimTerminal() {
    if (!terminal.view)
        return;
    // Ends once the terminal is empty, even when VisibleLines is 0.
    while (terminal.view->lineCount() > 0 && terminal.view->lineCount() >= terminal.VisibleLines)
        terminal.view->removeFirstLine();
}

void Transmitter::appendToTerminal(std::string_view line) {
    if (terminal.view)
        terminal.view->appendLine(line);
}

void Transmitter::TransmitLine(const char* record, int count) {
    trimTerminal();
    if (count == 0) {
        appendToTerminal(std::string_view(record, std::strlen(record)));
        link.WriteText(record);
    } else {
        // The echo grows as needed rather than being cut at a fixed width: every byte sent
        // is also shown.
        std::string echo;
        echo.reserve(static_cast<std::size_t>(count) * 4);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(record);
        for (int i = 0; i < count; ++i) {
            link.WriteBytes(bytes + i, 1);
            if (bytes[i] != 13 && bytes[i] != 10)
                AppendEcho(echo, bytes[i]);
        }
        appendToTerminal(echo);
    }
    if (state.format != OutputFormat::Aviation)
        link.WriteText("\r\n");
}
