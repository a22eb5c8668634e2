// Number reading and writing rules of the core: picture formats, record number text, whole
// numbers read from edits, the read-outs' field numbers, and the narrowing to float.
//
// Input: an operation byte, a parameter byte, then the value: eight (double) or four (float)
// raw bytes, or text read as a number. Runs under a comma locale.
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include "FuzzSupport.h"
#include "formats/FieldNumber.h"
#include "formats/NumberText.h"
#include "pages/NumberRules.h"

namespace {

using fuzzsupport::ExactBuffer;
using fuzzsupport::referenceFieldNumber;

template <typename T> T raw(std::string_view bytes) {
    T value{};
    std::memcpy(&value, bytes.data(), std::min(bytes.size(), sizeof value));
    return value;
}

// The picture text worked out on digits: the shortest text of the value cut to `decimals`
// places, rounded half away from zero, which the first digit cut off decides alone. Exact for
// every finite value, it also stands for the text's shape, its sign, the separator, symmetry
// about zero and order.
template <typename T> std::string expectedPicture(T value, int decimals, char point) {
    if (std::isnan(value) || std::isinf(value))
        return std::isnan(value) ? "NAN" : value < 0 ? "-INF" : "INF";
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    FUZZ_CHECK(res.ec == std::errc());
    std::string_view s(buf, res.ptr);
    const bool negative = s.front() == '-';
    s.remove_prefix(negative ? 1 : 0);
    const std::size_t dot = std::min(s.find('.'), s.size());
    std::string fraction(s.substr(std::min(dot + 1, s.size())));
    fraction.resize(static_cast<std::size_t>(decimals) + 1, '0');
    // A zero ahead takes the carry of 9.99 to 10.0.
    std::string digits =
        "0" + std::string(s.substr(0, dot)) + fraction.substr(0, fraction.size() - 1);
    if (fraction.back() >= '5') {
        std::size_t i = digits.size();
        while (digits[i - 1] == '9')
            digits[--i] = '0';
        ++digits[i - 1];
    }
    if (digits[0] == '0')
        digits.erase(0, 1);
    const bool minus = negative && digits.find_first_not_of('0') != std::string::npos;
    if (decimals > 0)
        digits.insert(digits.size() - static_cast<std::size_t>(decimals), 1, point);
    return minus ? "-" + digits : digits;
}

// The C library's reading in base 10, held at the ends of the 32-bit range. `whole`: only
// blanks and tabs before it, nothing after it, and nothing beyond the range.
std::optional<std::int32_t> referenceNumber(std::string_view text, bool whole) {
    const std::string copy(text);
    char* end = nullptr;
    const long long v = ::strtoll_l(copy.c_str(), &end, 10, fuzzsupport::CLocale);
    const auto used = static_cast<std::size_t>(end - copy.c_str());
    const long long lo = std::numeric_limits<std::int32_t>::min();
    const long long hi = std::numeric_limits<std::int32_t>::max();
    if (used == 0 || (whole && (used != copy.size() || v < lo || v > hi ||
                                !std::strchr("+-0123456789", copy[copy.find_first_not_of(" \t")]))))
        return std::nullopt;
    return static_cast<std::int32_t>(std::clamp(v, lo, hi));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::useCommaLocale();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::uint8_t param = data[1];
    const std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
    // Parameter: decimals in the low bits, the separator in the top bit, and bit 4 whether the
    // value is raw bytes or text.
    const bool fromText = (param & 0x10) != 0;
    const char point = (param & 0x80) != 0 ? ',' : '.';
    const auto number = [&](std::string_view bytes) {
        return fromText ? referenceFieldNumber(bytes) : raw<double>(bytes);
    };
    const auto picture = [&](auto v) {
        FUZZ_CHECK(FormatPicture(v, param % 10, point) == expectedPicture(v, param % 10, point));
    };
    switch (data[0] % 6) {
    case 0:
        picture(number(rest));
        break;
    case 1:
        // Text beyond the float range reads as an infinity (clang's conversion is IEEE's).
        picture(fromText ? static_cast<float>(referenceFieldNumber(rest)) : raw<float>(rest));
        break;
    case 2: {
        // The first byte is the width, the value follows; "%w.pf" of the C library in the C
        // locale, whatever the locale. Only finite values are ever given with zeros.
        const int width = rest.empty() ? 0 : static_cast<unsigned char>(rest[0]) % 41;
        const double v = number(rest.substr(rest.empty() ? 0 : 1));
        const int precision = param % 21;
        const bool zeroPad = (param & 0x20) != 0;
        const std::string text = FormatFixed(v, precision, width, zeroPad);
        FUZZ_CHECK((zeroPad && !std::isfinite(v)) ||
                   text == fuzzsupport::printC(zeroPad ? "%0*.*f" : "%*.*f", width, precision, v));
        break;
    }
    case 3: {
        const ExactBuffer exact(rest);
        FUZZ_CHECK(ReadLeadingNumber(exact.view) == referenceNumber(rest, false));
        FUZZ_CHECK(ReadWholeNumber(exact.view) == referenceNumber(rest, true));
        break;
    }
    case 4: {
        // Against the C library; below the normal range the nearest subnormal or zero, signed.
        const double value = FieldNumber(ExactBuffer(rest).view), ref = referenceFieldNumber(rest);
        FUZZ_CHECK(value == ref || (std::fabs(ref) < DBL_MIN && value == 0));
        FUZZ_CHECK(std::signbit(value) == std::signbit(ref));
        break;
    }
    case 5: {
        // The nearest float, held at the largest finite one.
        const double v = number(rest);
        const float f = SaturatedFloat(v), near = static_cast<float>(v);
        const float want = std::isinf(near) ? std::copysign(FLT_MAX, near) : near;
        FUZZ_CHECK(std::isnan(v) ? std::isnan(f) : f == want && std::signbit(f) == std::signbit(v));
        break;
    }
    }
    return 0;
}
