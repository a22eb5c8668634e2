// Number reading and writing rules of the core: picture formats, record number text, whole
// numbers read from edits, the read-outs' field numbers, and the narrowing to float.
//
// Input: an operation byte, a parameter byte, then the value: eight (double) or four (float)
// raw bytes, or text read as a number. Runs under a comma locale.
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "formats/FieldNumber.h"
#include "formats/NumberText.h"
#include "pages/NumberRules.h"

namespace {

using fuzzsupport::ExactBuffer;
using fuzzsupport::isDigit;
using fuzzsupport::parseC;
using fuzzsupport::printC;

struct Input {
    const std::uint8_t* data;
    std::size_t size;

    std::string_view text() const { return {reinterpret_cast<const char*>(data), size}; }
    template <typename T> T raw() const {
        T value{};
        std::memcpy(&value, data, std::min(size, sizeof value));
        return value;
    }
};

template <typename T> std::string shortestText(T value) {
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    FUZZ_CHECK(res.ec == std::errc());
    return std::string(buf, res.ptr);
}

// The picture text of `shortest` by integer arithmetic: round half away from zero to
// `decimals` places. nullopt when the digits do not fit 128 bits.
std::optional<std::string> roundedText(const std::string& shortest, int decimals) {
    std::string_view s = shortest;
    const bool negative = !s.empty() && s[0] == '-';
    if (negative)
        s.remove_prefix(1);
    const std::size_t dot = s.find('.');
    const std::string_view whole = s.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? "" : s.substr(dot + 1);
    const int k = static_cast<int>(fraction.size());
    if (whole.size() + fraction.size() + static_cast<std::size_t>(decimals) > 36)
        return std::nullopt;
    using Big = unsigned __int128;
    Big m = 0;
    for (char c : whole)
        m = m * 10 + static_cast<unsigned>(c - '0');
    for (char c : fraction)
        m = m * 10 + static_cast<unsigned>(c - '0');
    auto power = [](int n) {
        Big p = 1;
        while (n-- > 0)
            p *= 10;
        return p;
    };
    Big r = 0;
    if (k <= decimals) {
        r = m * power(decimals - k);
    } else {
        const Big unit = power(k - decimals);
        r = m / unit + ((m % unit) * 2 >= unit ? 1 : 0);
    }
    std::string digits;
    for (Big x = r; x != 0; x /= 10)
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(x % 10)));
    if (digits.size() < static_cast<std::size_t>(decimals) + 1)
        digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
    std::string text = digits.substr(0, digits.size() - static_cast<std::size_t>(decimals));
    if (decimals > 0)
        text += "." + digits.substr(digits.size() - static_cast<std::size_t>(decimals));
    if (negative && r != 0)
        text.insert(0, "-");
    return text;
}

bool hasNonZeroDigit(const std::string& text) {
    return text.find_first_of("123456789") != std::string::npos;
}

// At least one integer digit, no leading zero before another digit, exactly `decimals`
// decimals after `point`, an optional minus: nothing else.
bool isPictureText(const std::string& text, int decimals, char point) {
    std::string_view t = text;
    if (!t.empty() && t[0] == '-')
        t.remove_prefix(1);
    std::size_t i = 0;
    while (i < t.size() && isDigit(t[i]))
        ++i;
    if (i == 0 || (i > 1 && t[0] == '0'))
        return false;
    if (decimals == 0)
        return i == t.size();
    if (i == t.size() || t[i] != point || t.size() - i - 1 != static_cast<std::size_t>(decimals))
        return false;
    for (std::size_t j = i + 1; j < t.size(); ++j)
        if (!isDigit(t[j]))
            return false;
    return true;
}

double pictureValue(std::string text, char point) {
    if (const auto at = text.find(point); at != std::string::npos)
        text[at] = '.';
    return parseC(text);
}

template <typename T> void checkPicture(T value, int decimals, char point) {
    const std::string text = FormatPicture(value, decimals, point);
    if (std::isnan(value)) {
        FUZZ_CHECK(text == "NAN");
        return;
    }
    if (std::isinf(value)) {
        FUZZ_CHECK(text == (value < 0 ? "-INF" : "INF"));
        return;
    }
    FUZZ_CHECK(isPictureText(text, decimals, point));
    // The point is the only thing the separator changes.
    std::string withPoint = FormatPicture(value, decimals, '.');
    if (const auto at = withPoint.find('.'); at != std::string::npos)
        withPoint[at] = point;
    FUZZ_CHECK(withPoint == text);
    // A minus only before a number that is not zero.
    FUZZ_CHECK((text[0] == '-') == (std::signbit(value) && hasNonZeroDigit(text)));

    // Within half a unit of the last digit shown (and of what the type can hold).
    const double shown = pictureValue(text, point);
    const double v = static_cast<double>(value);
    const double half = 0.5 * std::pow(10.0, -decimals);
    const double typeError = std::fabs(v) * 2 * std::numeric_limits<T>::epsilon();
    FUZZ_CHECK(std::fabs(shown - v) <= half * (1 + 1e-12) + typeError);

    // Exactly: half away from zero on the shortest text of the value.
    if (const auto expected = roundedText(shortestText(value), decimals)) {
        std::string want = *expected;
        if (const auto at = want.find('.'); at != std::string::npos)
            want[at] = point;
        FUZZ_CHECK(text == want);
    }

    // Mirror images about zero.
    const std::string negated = FormatPicture(static_cast<T>(-value), decimals, point);
    if (hasNonZeroDigit(text))
        FUZZ_CHECK(negated == (text[0] == '-' ? text.substr(1) : "-" + text));
    else
        FUZZ_CHECK(negated == text);

    // The next larger value never shows a smaller number.
    const T next = std::nextafter(value, std::numeric_limits<T>::infinity());
    if (std::isfinite(next))
        FUZZ_CHECK(pictureValue(FormatPicture(next, decimals, point), point) >= shown);

    // A value already at the shown precision shows the same text again.
    const std::size_t significant = text.size() - (decimals > 0 ? 1 : 0) - (text[0] == '-');
    if (significant <= static_cast<std::size_t>(std::numeric_limits<T>::digits10))
        FUZZ_CHECK(FormatPicture(static_cast<T>(shown), decimals, point) == text);
}

void checkFixed(double value, int precision, int width, bool zeroPad) {
    const std::string text = FormatFixed(value, precision, width, zeroPad);
    if (!std::isfinite(value)) {
        // Only ever given finite values with zeros; padding an infinity with zeros means nothing.
        if (!zeroPad)
            FUZZ_CHECK(text == printC("%*.*f", width, precision, value));
        return;
    }
    // The C library's "%w.pf" in the C locale, whatever the locale.
    FUZZ_CHECK(text == printC(zeroPad ? "%0*.*f" : "%*.*f", width, precision, value));
    FUZZ_CHECK(text.find_first_not_of(" -.0123456789") == std::string::npos);
}

// White space (leading), sign, digits; the value held at the ends of the 32-bit range.
std::optional<std::int32_t> referenceLeading(std::string_view t, bool anySpace,
                                             bool* overflow = nullptr, std::size_t* end = nullptr) {
    std::size_t i = 0;
    while (i < t.size() &&
           (t[i] == ' ' || t[i] == '\t' ||
            (anySpace && (t[i] == '\n' || t[i] == '\v' || t[i] == '\f' || t[i] == '\r'))))
        ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        negative = t[i++] == '-';
    const std::size_t first = i;
    std::int64_t magnitude = 0;
    bool big = false;
    for (; i < t.size() && isDigit(t[i]); ++i) {
        magnitude = magnitude * 10 + (t[i] - '0');
        if (magnitude > (std::int64_t{1} << 32)) {
            magnitude = std::int64_t{1} << 32;
            big = true;
        }
    }
    if (end != nullptr)
        *end = i;
    if (i == first)
        return std::nullopt;
    const std::int64_t v = negative ? -magnitude : magnitude;
    const std::int64_t lo = std::numeric_limits<std::int32_t>::min();
    const std::int64_t hi = std::numeric_limits<std::int32_t>::max();
    if (overflow != nullptr)
        *overflow = big || v < lo || v > hi;
    return static_cast<std::int32_t>(std::clamp(v, lo, hi));
}

void checkWholeNumbers(std::string_view text) {
    const ExactBuffer exact(text);
    // A digit right after the text must not join the number.
    const std::string longer = std::string(text) + "7";
    const std::string_view inLonger(longer.data(), text.size());

    const auto leading = ReadLeadingNumber(exact.view());
    FUZZ_CHECK(leading == ReadLeadingNumber(inLonger));
    FUZZ_CHECK(leading == referenceLeading(text, true));

    const auto whole = ReadWholeNumber(exact.view());
    FUZZ_CHECK(whole == ReadWholeNumber(inLonger));
    bool overflow = false;
    std::size_t end = 0;
    const auto ref = referenceLeading(text, false, &overflow, &end);
    FUZZ_CHECK(whole == (ref && !overflow && end == text.size() ? ref : std::nullopt));
    // A whole number is also the leading number of its text.
    if (whole)
        FUZZ_CHECK(leading == whole);
}

void checkFieldNumber(std::string_view text) {
    const ExactBuffer exact(text);
    const double value = FieldNumber(exact.view());
    const std::string longer = std::string(text) + "5";
    const double again = FieldNumber(std::string_view(longer.data(), text.size()));
    FUZZ_CHECK(value == again || (std::isnan(value) && std::isnan(again)));
    FUZZ_CHECK(!std::isnan(value));

    const double ref = fuzzsupport::referenceFieldNumber(text);
    if (ref != 0 && std::fabs(ref) < DBL_MIN) {
        // Below the normal range either the nearest subnormal or zero, with its sign.
        FUZZ_CHECK(value == ref || value == 0);
        FUZZ_CHECK(std::signbit(value) == std::signbit(ref));
    } else {
        FUZZ_CHECK(value == ref);
        FUZZ_CHECK(std::signbit(value) == std::signbit(ref));
    }
}

void checkSaturatedFloat(double value) {
    const float f = SaturatedFloat(value);
    if (std::isnan(value)) {
        FUZZ_CHECK(std::isnan(f));
        return;
    }
    FUZZ_CHECK(std::isfinite(f));
    FUZZ_CHECK(std::signbit(f) == std::signbit(value));
    if (std::fabs(value) <= FLT_MAX)
        FUZZ_CHECK(f == static_cast<float>(value));
    else
        FUZZ_CHECK(std::fabs(f) == FLT_MAX);
}

// A double as the nearest float, infinite beyond the float range.
float narrow(double v) {
    constexpr float inf = std::numeric_limits<float>::infinity();
    if (std::isfinite(v) && std::fabs(v) > FLT_MAX)
        return v > 0 ? inf : -inf;
    return static_cast<float>(v);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::useCommaLocale();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const int op = data[0] % 6;
    const std::uint8_t param = data[1];
    const Input rest{data + 2, size - 2};
    // Parameter: decimals in the low bits, the separator in the top bit, and bit 4 whether the
    // value is raw bytes or text.
    const bool fromText = (param & 0x10) != 0;
    const char point = (param & 0x80) != 0 ? ',' : '.';
    switch (op) {
    case 0: {
        const double v =
            fromText ? fuzzsupport::referenceFieldNumber(rest.text()) : rest.raw<double>();
        checkPicture(v, param % 10, point);
        break;
    }
    case 1: {
        const float v =
            fromText ? narrow(fuzzsupport::referenceFieldNumber(rest.text())) : rest.raw<float>();
        checkPicture(v, param % 10, point);
        break;
    }
    case 2: {
        // The first byte is the width, the value follows.
        const Input value{rest.data + (rest.size > 0), rest.size - (rest.size > 0)};
        const double v =
            fromText ? fuzzsupport::referenceFieldNumber(value.text()) : value.raw<double>();
        const int width = rest.size > 0 ? rest.data[0] % 41 : 0;
        checkFixed(v, param % 21, width, (param & 0x20) != 0);
        break;
    }
    case 3:
        checkWholeNumbers(rest.text());
        break;
    case 4:
        checkFieldNumber(rest.text());
        break;
    case 5:
        checkSaturatedFloat(fromText ? fuzzsupport::referenceFieldNumber(rest.text())
                                     : rest.raw<double>());
        break;
    }
    return 0;
}
