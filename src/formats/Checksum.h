#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The XOR of the bytes after the leading "$" (or "!") up to the end of `body`.
std::uint8_t NmeaChecksum(std::string_view body);

// Writes "*XX" and a terminating zero at end; the buffer needs four more bytes there.
char* AppendChecksum(char* sentence, char* end);
// The same for a std::string holding a sentence that starts with "$".
void AppendChecksum(std::string& sentence);

// Where a sentence's "*XX" stands: the last "*" followed by two hexadecimal digits.
std::optional<std::size_t> ChecksumPosition(std::string_view sentence);
// Writes the checksum of what precedes "*" into the two digits after it.
void RewriteChecksum(std::string& sentence, std::size_t star);
