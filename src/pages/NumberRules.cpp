#include "pages/NumberRules.h"

#include <limits>

namespace {

constexpr std::int64_t Min32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t Max32 = std::numeric_limits<std::int32_t>::max();

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

struct Scan {
    std::optional<std::int32_t> value; // nullopt: no digits
    bool overflow = false;
    std::size_t end = 0; // first position after the digits
};

// Sign and digits from `pos`; the value saturates at the ends of the 32-bit range.
Scan scanNumber(std::string_view text, std::size_t pos) {
    Scan scan;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t firstDigit = pos;
    std::int64_t magnitude = 0;
    for (; pos < text.size() && isDigit(text[pos]); ++pos) {
        if (magnitude <= Max32 + 1)
            magnitude = magnitude * 10 + (text[pos] - '0');
    }
    scan.end = pos;
    if (pos == firstDigit)
        return scan;
    std::int64_t value = negative ? -magnitude : magnitude;
    if (value > Max32 || value < Min32) {
        scan.overflow = true;
        value = value > Max32 ? Max32 : Min32;
    }
    scan.value = static_cast<std::int32_t>(value);
    return scan;
}

} // namespace

std::optional<std::int32_t> ReadLeadingNumber(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && isSpace(text[pos]))
        ++pos;
    return scanNumber(text, pos).value;
}

std::optional<std::int32_t> ReadWholeNumber(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    const Scan scan = scanNumber(text, pos);
    if (!scan.value || scan.overflow || scan.end != text.size())
        return std::nullopt;
    return scan.value;
}
