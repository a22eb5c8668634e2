#include "engine/TransmitLine.h"

#include <cstring>

#include "formats/Echo.h"
#include "line/SerialLink.h"

Transmitter::Transmitter(const SimulatorValues& v, const SerialLink& l, RecordSink& k,
                         TerminalLog& t, FaultFilter* f)
    : values(v), link(l), sink(k), terminal(t), faults(f) {}

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
    if (values.format != OutputFormat::Aviation)
        bytes += "\r\n";
    // With no port open the record reaches no port; it is still echoed.
    const PortHandle port = link.portHandle();
    if (bytes.empty() || port == InvalidPort)
        return;
    handedOver += bytes.size();
    sink.submit(port, std::move(bytes));
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
