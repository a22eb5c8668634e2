#include "formats/FieldNumber.h"

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
    std::string number;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        number.push_back(text[i++]);
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        number.push_back(text[i++]);
        while (i < text.size() && isDigit(text[i])) {
            number.push_back(text[i++]);
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    bool exponentNegative = false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool sign = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            exponentNegative = text[j] == '-';
            sign = true;
            ++j;
        }
        // An 'e' without digits after it is not part of the number.
        if (j < text.size() && isDigit(text[j])) {
            number.push_back('e');
            if (sign && exponentNegative)
                number.push_back('-');
            while (j < text.size() && isDigit(text[j]))
                number.push_back(text[j++]);
        }
    }
    double value = 0.0;
    const auto res = std::from_chars(number.data(), number.data() + number.size(), value,
                                     std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range)
        value = exponentNegative ? 0.0 : std::numeric_limits<double>::infinity();
    else if (res.ec != std::errc())
        value = 0.0;
    return negative ? -value : value;
}
