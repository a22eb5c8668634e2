// The fault filter on arbitrary records: whole NMEA lines and Aviation records or pieces of
// them, over several ticks, under arbitrary fault settings.
//
// Input: a format byte (0..2, bit 7 counted pieces), seven setting bytes (checksum, drop,
// garbage, repeat, cut, flags: invalid 1, no-etx 2, live time 4, field 8; the field letter),
// then pieces separated by LF; a piece "~" is a 10 ms gap and an empty piece ends the tick.
#include "FuzzSupport.h"
#include "engine/FaultFilter.h"

namespace {

struct Out : FaultOutput {
    std::vector<std::string> pieces;
    void pass(std::string_view bytes, bool) override { pieces.emplace_back(bytes); }
    void passWait() override {}
};

// A sentence whose "*XX" matches its bytes, worked out here without the filter's helpers.
bool checksumRight(const std::string& s) {
    const std::size_t star = s.rfind('*');
    if (star == std::string::npos)
        return false;
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(s[i]);
    return s.substr(star + 1) == fuzzsupport::printC("%02X", sum);
}

std::size_t bytesOf(const std::vector<std::string>& pieces) {
    std::size_t n = 0;
    for (const std::string& p : pieces)
        n += p.size();
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8 || size > 8192)
        return 0;
    const auto format = static_cast<OutputFormat>((data[0] & 0x7f) % 3);
    const bool counted = (data[0] & 0x80) != 0;
    const FaultSettings s{.checksumEvery = data[1] % 5u,
                          .dropEvery = data[2] % 5u,
                          .invalid = (data[6] & 1) != 0,
                          .garbageEvery = data[3] % 4u,
                          .repeat = data[4] % 4u,
                          .cutAfter = data[5] % 80u,
                          .noEtx = (data[6] & 2) != 0,
                          .corruptField =
                              (data[6] & 8) != 0 ? static_cast<char>('A' + data[7] % 26) : '\0',
                          .liveTime = (data[6] & 4) != 0};

    std::vector<std::vector<std::string>> ticks(1);
    for (std::string_view piece :
         fuzzsupport::split({reinterpret_cast<const char*>(data + 8), size - 8}, '\n')) {
        if (piece.empty())
            ticks.emplace_back();
        else
            ticks.back().emplace_back(piece);
    }

    FaultFilter filter;
    filter.configure(s);
    Out out;
    std::vector<std::string> sent;
    for (std::size_t t = 0; t < ticks.size(); ++t) {
        filter.beginTick(format, FaultFilter::SteadyTime{} + std::chrono::seconds(t),
                         FaultFilter::UtcTime{} + std::chrono::hours(24 * 9000 + t));
        for (const std::string& p : ticks[t]) {
            if (p == "~") {
                filter.engaged() ? filter.wait(out) : out.passWait();
                continue;
            }
            sent.push_back(p);
            const std::size_t before = out.pieces.size();
            filter.engaged() ? filter.record(p, counted, out) : out.pass(p, counted);
            if (format == OutputFormat::Aviation)
                continue;
            // NMEA: each record leaves at once, at most 16 bytes longer (time, date, status);
            // with live time or status V its checksum stays right, unless it is the one the
            // checksum fault picks.
            for (std::size_t i = before; i < out.pieces.size(); ++i) {
                const std::string& o = out.pieces[i];
                FUZZ_CHECK(o.size() <= std::max<std::size_t>(p.size() + 16, 64));
                FUZZ_CHECK(s.cutAfter == 0 || o.size() <= std::max<std::size_t>(s.cutAfter, 64));
                FUZZ_CHECK(s.checksumEvery != 0 || s.cutAfter != 0 || !checksumRight(p) ||
                           o[0] != '$' || checksumRight(o));
            }
        }
        filter.endTick(out);
    }

    // All off: every record passes as it came.
    FUZZ_CHECK(s.anyFault() || s.liveTime || out.pieces == sent);
    if (format == OutputFormat::Aviation) {
        // Dropping every record leaves no byte of one on the line; nothing held stays held.
        for (const std::string& o : out.pieces)
            FUZZ_CHECK(s.dropEvery != 1 || o.find('\x02') == std::string::npos);
        const std::size_t copies = s.repeat >= 2 ? s.repeat : 1;
        FUZZ_CHECK(bytesOf(out.pieces) <= bytesOf(sent) * copies + ticks.size() * 65);
    }
    FUZZ_CHECK(out.pieces.size() <= sent.size() * 3 + ticks.size() + 1);
    return 0;
}
