#include "formats/NumberText.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <system_error>

std::string FormatFixed(double value, int precision, int width, bool zeroPad) {
    std::array<char, 400> buf{};
    auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed,
                             precision);
    std::string text(buf.data(), res.ec == std::errc() ? res.ptr : buf.data());
    if (static_cast<int>(text.size()) < width) {
        const auto pad = static_cast<std::size_t>(width) - text.size();
        if (zeroPad) {
            const std::size_t at = (!text.empty() && text[0] == '-') ? 1 : 0;
            text.insert(at, pad, '0');
        } else {
            text.insert(0, pad, ' ');
        }
    }
    return text;
}

namespace {

// Rounds the decimal digits of `shortest` (as written by to_chars, plain notation) to
// `decimals` places, half away from zero.
std::string roundDecimalText(std::string shortest, int decimals, char point) {
    bool negative = false;
    if (!shortest.empty() && shortest[0] == '-') {
        negative = true;
        shortest.erase(0, 1);
    }
    std::string intPart = shortest;
    std::string fracPart;
    if (const auto dot = shortest.find('.'); dot != std::string::npos) {
        intPart = shortest.substr(0, dot);
        fracPart = shortest.substr(dot + 1);
    }
    // Single characters rather than literals: GCC 12 warns falsely (-Wrestrict) on the literals.
    if (intPart.empty())
        intPart.assign(1, '0');
    const auto keep = static_cast<std::size_t>(decimals);
    bool roundUp = fracPart.size() > keep && fracPart[keep] >= '5';
    fracPart.resize(keep, '0');
    std::string digits = intPart + fracPart;
    if (roundUp) {
        std::size_t i = digits.size();
        while (i > 0) {
            --i;
            if (digits[i] == '9') {
                digits[i] = '0';
            } else {
                ++digits[i];
                roundUp = false;
                break;
            }
        }
        if (roundUp)
            digits.insert(digits.begin(), '1');
    }
    std::string result = digits.substr(0, digits.size() - keep);
    // Strip leading zeros beyond the one required integer digit.
    const auto firstNonZero = result.find_first_not_of('0');
    result = firstNonZero == std::string::npos ? "0" : result.substr(firstNonZero);
    if (keep > 0) {
        result.push_back(point);
        result += digits.substr(digits.size() - keep);
    }
    if (negative && result.find_first_of("123456789") != std::string::npos)
        result.insert(result.begin(), '-');
    return result;
}

template <typename T> std::string pictureOf(T value, int decimals, char point) {
    if (!std::isfinite(value))
        return std::isnan(value) ? "NAN" : (value < 0 ? "-INF" : "INF");
    std::array<char, 400> buf{};
    auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed);
    std::string shortest(buf.data(), res.ec == std::errc() ? res.ptr : buf.data());
    return roundDecimalText(shortest, decimals, point);
}

} // namespace

std::string FormatPicture(float value, int decimals, char point) {
    return pictureOf(value, decimals, point);
}

std::string FormatPicture(double value, int decimals, char point) {
    return pictureOf(value, decimals, point);
}

float SaturatedFloat(double value) {
    constexpr double top = std::numeric_limits<float>::max();
    if (value > top)
        return std::numeric_limits<float>::max();
    if (value < -top)
        return -std::numeric_limits<float>::max();
    return static_cast<float>(value);
}

UtcText UtcTextOf(std::chrono::system_clock::time_point utc) {
    using namespace std::chrono;
    const auto since = utc.time_since_epoch();
    const std::time_t seconds = duration_cast<std::chrono::seconds>(since).count();
    const auto hundredths = duration_cast<milliseconds>(since).count() % 1000 / 10;
    std::tm t{};
    gmtime_r(&seconds, &t);
    char clock[64];
    std::snprintf(clock, sizeof clock, "%02d%02d%02d.%02d", t.tm_hour, t.tm_min, t.tm_sec,
                  static_cast<int>(hundredths));
    return {clock, t.tm_mday, t.tm_mon + 1, t.tm_year + 1900};
}
