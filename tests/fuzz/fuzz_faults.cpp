// The fault filter on arbitrary records: whole NMEA lines and Aviation records or pieces of
// them, over several ticks, under arbitrary fault settings.
//
// Input: a format byte (0..2, bit 7 counted pieces), seven setting bytes (checksum, drop,
// garbage, repeat, cut, flags: invalid 1, no-etx 2, live time 4, field 8; the field letter),
// then pieces separated by LF; a piece "~" is a 10 ms gap and an empty piece ends the tick.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "engine/FaultFilter.h"

namespace {

struct Out : FaultOutput {
    std::vector<std::string> pieces;
    int waits = 0;
    void pass(std::string_view bytes, bool) override { pieces.emplace_back(bytes); }
    void passWait() override { ++waits; }
};

// A sentence whose "*XX" matches its bytes, worked out here without the filter's helpers.
bool checksumRight(const std::string& s) {
    const std::size_t star = s.rfind('*');
    if (s.empty() || star == std::string::npos || star + 3 != s.size())
        return false;
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(s[i]);
    static constexpr char Hex[] = "0123456789ABCDEF";
    return s[star + 1] == Hex[sum >> 4] && s[star + 2] == Hex[sum & 15];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8 || size > 8192)
        return 0;
    const auto format = static_cast<OutputFormat>((data[0] & 0x7f) % 3);
    const bool counted = (data[0] & 0x80) != 0;
    FaultSettings s;
    s.checksumEvery = data[1] % 5;
    s.dropEvery = data[2] % 5;
    s.garbageEvery = data[3] % 4;
    s.repeat = data[4] % 4;
    s.cutAfter = data[5] % 80;
    s.invalid = data[6] & 1;
    s.noEtx = data[6] & 2;
    s.liveTime = data[6] & 4;
    s.corruptField = (data[6] & 8) ? static_cast<char>('A' + data[7] % 26) : '\0';

    std::vector<std::vector<std::string>> ticks(1);
    std::string piece;
    for (std::size_t i = 8; i <= size; ++i) {
        if (i == size || data[i] == '\n') {
            if (piece.empty())
                ticks.emplace_back();
            else
                ticks.back().push_back(piece);
            piece.clear();
        } else {
            piece.push_back(static_cast<char>(data[i]));
        }
    }

    FaultFilter filter;
    filter.configure(s);
    Out out;
    std::size_t inputPieces = 0;
    std::vector<std::string> sent;
    for (std::size_t t = 0; t < ticks.size(); ++t) {
        filter.beginTick(format, FaultFilter::SteadyTime{} + std::chrono::seconds(t),
                         FaultFilter::UtcTime{} + std::chrono::hours(24 * 9000 + t));
        for (const std::string& p : ticks[t]) {
            if (p == "~") {
                filter.engaged() ? filter.wait(out) : out.passWait();
                continue;
            }
            ++inputPieces;
            sent.push_back(p);
            const std::size_t before = out.pieces.size();
            filter.engaged() ? filter.record(p, counted, out) : out.pass(p, counted);
            if (format == OutputFormat::Aviation)
                continue;
            // NMEA: each record leaves at once, at most 16 bytes longer (time, date, status);
            // with live time or status V its checksum stays
            // right, unless it is the one the checksum fault picks.
            for (std::size_t i = before; i < out.pieces.size(); ++i) {
                const std::string& o = out.pieces[i];
                FUZZ_CHECK(o.size() <= std::max<std::size_t>(p.size() + 16, 64));
                if (s.cutAfter != 0)
                    FUZZ_CHECK(o.size() <= std::max<std::size_t>(s.cutAfter, 64));
                if (s.checksumEvery == 0 && s.cutAfter == 0 && checksumRight(p) && o[0] == '$')
                    FUZZ_CHECK(checksumRight(o));
            }
        }
        filter.endTick(out);
    }

    if (!s.anyFault() && !s.liveTime) {
        FUZZ_CHECK(out.pieces == sent);
        return 0;
    }
    if (format == OutputFormat::Aviation) {
        // Dropping every record leaves no byte of one on the line; nothing held stays held.
        if (s.dropEvery == 1)
            for (const std::string& o : out.pieces)
                FUZZ_CHECK(o.find('\x02') == std::string::npos);
        std::size_t in = 0, outBytes = 0;
        for (const std::string& p : sent)
            in += p.size();
        for (const std::string& o : out.pieces)
            outBytes += o.size();
        const std::size_t copies = s.repeat >= 2 ? s.repeat : 1;
        FUZZ_CHECK(outBytes <= in * copies + ticks.size() * 65);
    }
    FUZZ_CHECK(out.pieces.size() <= inputPieces * 3 + ticks.size() + 1);
    return 0;
}
