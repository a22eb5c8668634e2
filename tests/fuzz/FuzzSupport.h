#pragma once
// Shared pieces of the fuzz targets: the property check, a private directory, the comma
// locale, and reference conversions that ignore the locale.
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <locale.h>
#include <memory>
#include <string>
#include <string_view>

// A failed property aborts, so libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(cond)                                                                      \
    do {                                                                                      \
        if (!(cond))                                                                          \
            ::fuzzsupport::fail(#cond, __FILE__, __LINE__);                                   \
    } while (0)

namespace fuzzsupport {

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "\nproperty failed: %s\n  at %s:%d\n", what, file, line);
    std::fflush(stderr);
    std::abort();
}

// One directory per process, made on first use and removed when the process exits.
inline const std::filesystem::path& privateDirectory(const char* name) {
    static const std::filesystem::path dir = [name] {
        std::string tmpl = (std::filesystem::temp_directory_path() / name).string() + "-XXXXXX";
        if (::mkdtemp(tmpl.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        return std::filesystem::path(tmpl);
    }();
    static const bool cleanup = [] {
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        });
        return true;
    }();
    (void)cleanup;
    return dir;
}

// The program runs with the user's locale after Qt's setlocale; a comma locale shows any
// record or read-out text that depends on it.
inline void useCommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"})
        if (std::setlocale(LC_ALL, name) != nullptr)
            return;
    std::fprintf(stderr, "note: no de_DE locale; running under the C locale\n");
}

inline locale_t cLocale() {
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

// strtod in the C locale; the whole of `text` must be the number.
inline double parseC(std::string_view text) {
    const std::string copy(text);
    char* end = nullptr;
    const double value = ::strtod_l(copy.c_str(), &end, cLocale());
    FUZZ_CHECK(end == copy.c_str() + copy.size());
    return value;
}

// printf in the C locale.
template <typename... Args> std::string printC(const char* format, Args... args) {
    const locale_t previous = ::uselocale(cLocale());
    const int n = std::snprintf(nullptr, 0, format, args...);
    std::string out(static_cast<std::size_t>(n), '\0');
    std::snprintf(out.data(), out.size() + 1, format, args...);
    ::uselocale(previous);
    return out;
}

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The number at the start of a field as the read-outs define it (leading blanks, a sign,
// digits with an optional point, an optional exponent with digits), converted by the C
// library in the C locale. Text without digits gives 0.
inline double referenceFieldNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i]))
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0.0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j]))
                ++j;
            i = j;
        }
    }
    return parseC(text.substr(start, i - start));
}

// The text up to its first zero character: what a reader of C strings sees of it.
inline std::string_view untilZero(std::string_view text) {
    return text.substr(0, std::min(text.size(), text.find('\0')));
}

// A copy in a heap block of exactly its size, so that AddressSanitizer sees any read past it.
class ExactBuffer {
public:
    explicit ExactBuffer(std::string_view text)
        : size(text.size()), bytes(new char[text.empty() ? 1 : text.size()]) {
        if (!text.empty())
            std::memcpy(bytes.get(), text.data(), text.size());
    }
    const char* data() const { return bytes.get(); }
    std::string_view view() const { return {bytes.get(), size}; }

private:
    std::size_t size;
    std::unique_ptr<char[]> bytes;
};

// "%6.2f"-style text followed by `unit`: blanks to at least six characters, then an optional
// minus and digits with exactly `decimals` decimals after a point, or an infinity or NaN.
inline bool isFixedReadout(std::string_view text, int decimals, std::string_view unit) {
    if (text.size() < unit.size() || text.substr(text.size() - unit.size()) != unit)
        return false;
    std::string_view body = text.substr(0, text.size() - unit.size());
    if (body.size() < 6)
        return false;
    std::size_t i = 0;
    while (i < body.size() && body[i] == ' ')
        ++i;
    // Padding only makes up the width; a wider number has none.
    if (i > 0 && body.size() != 6)
        return false;
    std::string_view number = body.substr(i);
    if (!number.empty() && number[0] == '-')
        number.remove_prefix(1);
    if (number == "inf" || number == "nan")
        return true;
    std::size_t d = 0;
    while (d < number.size() && isDigit(number[d]))
        ++d;
    if (d == 0 || d >= number.size() || number[d] != '.')
        return false;
    const std::string_view fraction = number.substr(d + 1);
    if (fraction.size() != static_cast<std::size_t>(decimals))
        return false;
    for (char c : fraction)
        if (!isDigit(c))
            return false;
    return true;
}

// The number of a text isFixedReadout accepts.
inline double readoutNumber(std::string_view text, std::string_view unit) {
    std::string_view body = text.substr(0, text.size() - unit.size());
    while (!body.empty() && body.front() == ' ')
        body.remove_prefix(1);
    return parseC(body);
}

} // namespace fuzzsupport
