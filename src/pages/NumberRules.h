#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

// How whole numbers are read out of edits (the Calibrate boxes, the File page counters).

// White space, an optional sign and digits; whatever follows the digits is ignored.
// nullopt when the text does not start with a number. A number beyond the 32-bit range
// is held at its nearest end.
std::optional<std::int32_t> ReadLeadingNumber(std::string_view text);

// The whole text must be a decimal whole number with an optional sign, leading blanks
// allowed. nullopt for anything else, a number beyond the 32-bit range included.
std::optional<std::int32_t> ReadWholeNumber(std::string_view text);
