#pragma once
#include <cstdint>
#include <string>

#include "engine/FaultFilter.h"
#include "engine/TerminalLog.h"
#include "formats/Navigation.h"
#include "line/RecordSink.h"

class SerialLink;

// The one routine every record leaves by: trim the terminal, echo, hand the record with its
// line end to the line writer. It never waits for the line. With a fault filter engaged, the
// records pass through it first, and what the filter lets through is what is echoed. The line
// end follows the output format at the moment; the record goes to the link's current port.
class Transmitter : private FaultOutput {
public:
    Transmitter(const SimulatorValues& values, const SerialLink& link, RecordSink& sink,
                TerminalLog& terminal, FaultFilter* faults = nullptr);

    // count 0: record is zero-terminated text. Otherwise count bytes of any value.
    void TransmitLine(const char* record, int count = 0);
    // The next record leaves no sooner than 10 ms after the previous one.
    void Wait10ms();
    // The end of an output tick: a record the filter still holds leaves now.
    void endTick() {
        if (faults)
            faults->endTick(*this);
    }

    // Bytes handed to the line so far, for the line load.
    std::uint64_t bytesHandedOver() const { return handedOver; }

private:
    void pass(std::string_view bytes, bool counted) override;
    void passWait() override { sink.wait10ms(); }
    void trimTerminal();
    void appendToTerminal(std::string_view line);
    void send(std::string bytes);

    const SimulatorValues& values;
    const SerialLink& link;
    RecordSink& sink;
    TerminalLog& terminal;
    FaultFilter* faults;
    std::uint64_t handedOver = 0;
};
