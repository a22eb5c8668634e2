#pragma once
#include <string>

#include "emulator/EmulatorState.h"
#include "serial/SerialLink.h"
#include "serial/TerminalLog.h"

// Echo of one byte of a counted record: printable ASCII as itself, anything else "\xNN".
void AppendEcho(std::string& echo, unsigned char byte);

// The one routine every record leaves by: trim the terminal, echo, write, line end.
class Transmitter {
public:
    Transmitter(EmulatorState& state, SerialLink& link, TerminalLog& terminal);

    // count 0: record is zero-terminated text. Otherwise count bytes of any value.
    void TransmitLine(const char* record, int count = 0);

private:
    void trimTerminal();
    void appendToTerminal(std::string_view line);

    EmulatorState& state;
    SerialLink& link;
    TerminalLog& terminal;
};
