#include "cli/Ramp.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

std::optional<double> ParseNumber(const std::string& text) {
    double value = 0.0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+')
        ++first; // from_chars takes no plus sign
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double Ramp::at(long long tick, double period) const {
    const double done = std::min(1.0, static_cast<double>(tick) * period / seconds);
    return from + (to - from) * done;
}

std::optional<Ramp> ParseRamp(const std::string& text) {
    const auto first = text.find(':');
    const auto second = first == std::string::npos ? first : text.find(':', first + 1);
    if (second == std::string::npos)
        return std::nullopt;
    const auto from = ParseNumber(text.substr(0, first));
    const auto to = ParseNumber(text.substr(first + 1, second - first - 1));
    const auto seconds = ParseNumber(text.substr(second + 1));
    // A span that overflows would make every value on the way not a number.
    if (!from || !to || !seconds || !(*seconds > 0.0) || !std::isfinite(*to - *from))
        return std::nullopt;
    return Ramp{*from, *to, *seconds};
}

std::string NumberForEdit(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}
