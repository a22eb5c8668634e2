#include "formats/RecordFaults.h"

#include <cstdio>
#include <ctime>
#include <random>

#include "formats/Checksum.h"
#include "formats/NumberText.h"

namespace {
// The sentence type after "$" and a two-letter talker: "RMB", "RMC".
bool isSentence(std::string_view record, std::string_view type) {
    return record.size() >= 7 && record[0] == '$' && record.substr(3, 3) == type &&
           record[6] == ',';
}

// Replaces field `index` (0 is the address) of the sentence's data part with `value`.
void setField(std::string& sentence, std::size_t end, int index, std::string_view value) {
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
        start = sentence.find(',', start);
        if (start == std::string::npos || start >= end)
            return;
        ++start;
    }
    std::size_t stop = sentence.find(',', start);
    if (stop == std::string::npos || stop > end)
        stop = end;
    // Built anew rather than replaced in place, which GCC 12 at -O2 misreads as an overlap.
    sentence = sentence.substr(0, start) + std::string(value) + sentence.substr(stop);
}

// Edits the data part of a sentence (up to its "*", or all of it) and puts a right checksum
// back if it had one.
template <class Edit> std::string editSentence(std::string_view record, Edit edit) {
    std::string s(record);
    const auto star = ChecksumPosition(s);
    const std::size_t tail = star ? s.size() - *star : 0;
    edit(s, star ? *star : s.size());
    if (star)
        RewriteChecksum(s, s.size() - tail);
    return s;
}
} // namespace

std::string WithLiveTime(std::string_view record, std::chrono::system_clock::time_point utc) {
    if (!isSentence(record, "RMC"))
        return std::string(record);
    const UtcText t = UtcTextOf(utc);
    char date[16];
    std::snprintf(date, sizeof date, "%02d%02d%02d", t.day, t.month, t.year % 100);
    return editSentence(record, [&](std::string& s, std::size_t end) {
        // The date first: it stands after the time, whose width may change.
        setField(s, end, 9, date);
        setField(s, end, 1, t.clock);
    });
}

std::string WithStatusInvalid(std::string_view record) {
    // The sentence type, the field that says whether the data is valid, and what says not.
    struct Status {
        const char* type;
        int field;
        const char* invalid;
    };
    static constexpr Status Statuses[] = {{"RMB", 1, "V"}, {"RMC", 2, "V"}, {"GGA", 6, "0"},
                                          {"GLL", 6, "V"}, {"GSA", 2, "1"}, {"APB", 1, "V"},
                                          {"XTE", 1, "V"}};
    for (const Status& st : Statuses)
        if (isSentence(record, st.type))
            return editSentence(record, [&](std::string& s, std::size_t end) {
                setField(s, end, st.field, st.invalid);
            });
    return std::string(record);
}

std::string WithWrongChecksum(std::string_view record) {
    std::string s(record);
    if (const auto star = ChecksumPosition(s)) {
        RewriteChecksum(s, *star);
        static constexpr char Hex[] = "0123456789ABCDEF";
        const auto flip = [](char c) {
            const int v = c <= '9' ? c - '0' : c - 'A' + 10;
            return Hex[15 - v];
        };
        s[*star + 1] = flip(s[*star + 1]);
        s[*star + 2] = flip(s[*star + 2]);
    }
    return s;
}

std::string GarbageLine(std::uint64_t tick) {
    std::minstd_rand random(static_cast<std::minstd_rand::result_type>(tick % 2147483646 + 1));
    std::string line;
    const std::size_t length = 16 + random() % 48;
    while (line.size() < length) {
        const auto byte = static_cast<char>(0x20 + random() % 0xE0);
        if (byte != '$' && byte != '*' && byte != '\x7f')
            line.push_back(byte);
    }
    return line;
}
