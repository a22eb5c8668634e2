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

Transmitter::Transmitter(EmulatorState& s, RecordSink& k, TerminalLog& t, FaultFilter* f)
    : state(s), sink(k), terminal(t), faults(f) {}

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
    if (count < 0)
        return;
    const std::string_view bytes(record, count == 0 ? std::strlen(record)
                                                    : static_cast<std::size_t>(count));
    if (faults && faults->engaged())
        faults->record(bytes, count != 0, *this);
    else
        pass(bytes, count != 0);
}

void Transmitter::Wait10ms() {
    if (faults && faults->engaged())
        faults->wait(*this);
    else
        sink.wait10ms();
}

void Transmitter::pass(std::string_view bytes, bool counted) {
    trimTerminal();
    if (!counted) {
        appendToTerminal(bytes);
        send(std::string(bytes));
        return;
    }
    // The echo grows as needed rather than being cut at a fixed width: every byte sent is
    // also shown.
    std::string echo;
    echo.reserve(bytes.size() * 4);
    for (const char c : bytes)
        if (c != 13 && c != 10)
            AppendEcho(echo, static_cast<unsigned char>(c));
    // The bytes leave before the echo shows, as one write with the line end.
    send(std::string(bytes));
    appendToTerminal(echo);
}
