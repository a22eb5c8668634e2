#pragma once
#include <cstddef>
#include <cstdint>
#include <termios.h>

#include "line/Endpoint.h"

// What a serial line and a pseudo-terminal share: line settings through termios, and writes
// bounded by a deadline.

// The termios code of a rate the link may choose; false for any other rate.
bool SpeedCode(std::uint32_t baud, speed_t& code);

bool ReadLineState(int fd, LineState& out);
// Makes the line raw with `state`, keeping every other setting; `applied` gets what was set.
// `clientReads`: a pseudo-terminal, whose reader must wait for a record.
bool ApplyLineState(int fd, const LineState& state, bool clientReads, termios& applied);

enum class WriteOutcome { Written, Failed, Gone };
// Writes all of `data` to a non-blocking descriptor within the write time-outs; Gone when the
// device went away (an adapter unplugged).
WriteOutcome WriteWithin(int fd, const std::uint8_t* data, std::size_t count, const Timeouts& t,
                         const WriteInterrupt& stop);
