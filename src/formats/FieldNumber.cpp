#include "formats/FieldNumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

double FieldNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // from_chars takes no '+' and no leading blanks, so the number is rebuilt without them.
    // The power of ten of its first significant digit is kept beside it: it tells a number
    // too small for a double from one too large.
    std::string number;
    std::size_t digits = 0;
    long long magnitude = 0; // the power of ten of the first significant digit, less the exponent
    bool significant = false;
    const auto digit = [&](bool beforePoint) {
        const char c = text[i++];
        number.push_back(c);
        ++digits;
        if (beforePoint && significant)
            ++magnitude;
        else if (!beforePoint && !significant)
            --magnitude;
        significant = significant || c != '0';
    };
    while (i < text.size() && isDigit(text[i]))
        digit(true);
    if (i < text.size() && text[i] == '.') {
        number.push_back(text[i++]);
        while (i < text.size() && isDigit(text[i]))
            digit(false);
    }
    if (digits == 0)
        return 0.0;
    long long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool exponentNegative = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            exponentNegative = text[j] == '-';
            ++j;
        }
        // An 'e' without digits after it is not part of the number.
        if (j < text.size() && isDigit(text[j])) {
            number.push_back('e');
            if (exponentNegative)
                number.push_back('-');
            for (; j < text.size() && isDigit(text[j]); ++j) {
                number.push_back(text[j]);
                exponent = std::min(exponent * 10 + (text[j] - '0'), 1'000'000'000LL);
            }
            if (exponentNegative)
                exponent = -exponent;
        }
    }
    double value = 0.0;
    const auto res = std::from_chars(number.data(), number.data() + number.size(), value,
                                     std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range)
        value = magnitude + exponent < 0 ? 0.0 : std::numeric_limits<double>::infinity();
    else if (res.ec != std::errc())
        value = 0.0;
    return negative ? -value : value;
}
