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

Transmitter::Transmitter(EmulatorState& s, RecordSink& k, TerminalLog& t)
    : state(s), sink(k), terminal(t) {}

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

void Transmitter::send(std::string bytes) {
    if (state.format != OutputFormat::Aviation)
        bytes += "\r\n";
    // With no port open the record reaches no port; it is still echoed.
    if (bytes.empty() || state.portHandle == InvalidPort)
        return;
    handedOver += bytes.size();
    sink.submit(state.portHandle, std::move(bytes));
}

void Transmitter::TransmitLine(const char* record, int count) {
    trimTerminal();
    if (count == 0) {
        appendToTerminal(std::string_view(record, std::strlen(record)));
        send(record);
        return;
    }
    // The echo grows as needed rather than being cut at a fixed width: every byte sent is
    // also shown.
    std::string echo;
    echo.reserve(static_cast<std::size_t>(count) * 4);
    const auto* bytes = reinterpret_cast<const unsigned char*>(record);
    for (int i = 0; i < count; ++i)
        if (bytes[i] != 13 && bytes[i] != 10)
            AppendEcho(echo, bytes[i]);
    // The bytes leave before the echo shows, as one write with the line end.
    send(std::string(record, static_cast<std::size_t>(count)));
    appendToTerminal(echo);
}
