#pragma once
// Shared pieces of the fuzz targets: the property check, a private directory, the comma
// locale, reference conversions that ignore the locale, splitting, and exact-size copies.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <locale.h>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A failed property aborts, so libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(...)                                                                            \
    do {                                                                                           \
        if (!(__VA_ARGS__))                                                                        \
            ::fuzzsupport::fail(#__VA_ARGS__, __FILE__, __LINE__);                                 \
    } while (0)

namespace fuzzsupport {

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "\nproperty failed: %s\n  at %s:%d\n", what, file, line);
    std::abort();
}

// One directory per process, made on first use and removed when the process exits.
inline const std::filesystem::path& privateDirectory(const char* name) {
    static const std::filesystem::path dir = [name] {
        std::string tmpl = (std::filesystem::temp_directory_path() / name).string() + "-XXXXXX";
        FUZZ_CHECK(::mkdtemp(tmpl.data()) != nullptr);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        });
        return std::filesystem::path(tmpl);
    }();
    return dir;
}

// The program runs with the user's locale after Qt's setlocale; a comma locale shows any
// record or read-out text that depends on it.
inline void useCommaLocale() {
    if (::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        std::fprintf(stderr, "note: no de_DE.UTF-8 locale; running under the C locale\n");
}

inline const locale_t CLocale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));

// printf in the C locale.
template <typename... Args> std::string printC(const char* format, Args... args) {
    const locale_t previous = ::uselocale(CLocale);
    const int n = std::snprintf(nullptr, 0, format, args...);
    std::string out(static_cast<std::size_t>(n), '\0');
    std::snprintf(out.data(), out.size() + 1, format, args...);
    ::uselocale(previous);
    return out;
}

// The number at the start of a field as the read-outs define it (leading blanks, a sign,
// digits with an optional point, an optional exponent with digits; no hex, infinity or NaN):
// what the C library reads in the C locale of the text cut before any other character.
inline double referenceFieldNumber(std::string_view text) {
    const std::string cut(text.substr(0, text.find_first_not_of(" \t\n\v\f\r+-.0123456789eE")));
    return ::strtod_l(cut.c_str(), nullptr, CLocale);
}

// The pieces of `text` between `separator`s, one more than there are separators.
inline std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(text.find(separator, start), text.size());
        pieces.push_back(text.substr(start, end - start));
        if (end == text.size())
            return pieces;
        start = end + 1;
    }
}

// A copy in a heap block of exactly its size, so that AddressSanitizer sees any read past it.
struct ExactBuffer {
    explicit ExactBuffer(std::string_view text)
        : bytes(new char[text.size()]), view(bytes.get(), text.size()) {
        std::copy(text.begin(), text.end(), bytes.get());
    }
    std::unique_ptr<char[]> bytes;
    std::string_view view;
};

} // namespace fuzzsupport
