#pragma once
#include <cstdint>
#include <string>

#include "emulator/EmulatorState.h"
#include "serial/FaultFilter.h"
#include "serial/RecordSink.h"
#include "serial/TerminalLog.h"

// Echo of one byte of a counted record: printable ASCII as itself, anything else "\xNN".
void AppendEcho(std::string& echo, unsigned char byte);

// The one routine every record leaves by: trim the terminal, echo, hand the record with its
// line end to the line writer. It never waits for the line. With a fault filter engaged, the
// records pass through it first, and what the filter lets through is what is echoed.
class Transmitter : private FaultOutput {
public:
    Transmitter(EmulatorState& state, RecordSink& sink, TerminalLog& terminal,
                FaultFilter* faults = nullptr);

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

    EmulatorState& state;
    RecordSink& sink;
    TerminalLog& terminal;
    FaultFilter* faults;
    std::uint64_t handedOver = 0;
};
