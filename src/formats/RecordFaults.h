#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

// Deliberate faults on finished records, and live time. Each takes a whole record and gives
// the record to send instead.

// A $GPRMC (any talker) given the time and date of `utc`; other records come back unchanged.
std::string WithLiveTime(std::string_view record, std::chrono::system_clock::time_point utc);
// $GPRMB and $GPRMC (any talker) flagged invalid, and GGA (quality 0), GLL, GSA (no fix),
// APB and XTE.
std::string WithStatusInvalid(std::string_view record);
// A sentence whose checksum is the complement of the right one; one without is unchanged.
std::string WithWrongChecksum(std::string_view record);
// The garbage line of a tick: printable and high bytes, never a line end, "$", "*", STX or ETX.
std::string GarbageLine(std::uint64_t tick);
