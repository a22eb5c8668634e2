#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The sentences a receiver sends beside $GPRMB and $GPRMC, in the order a tick sends them.
enum class Sentence : std::uint8_t { GGA, GLL, VTG, ZDA, GSA, GSV, APB, XTE, BWC, BOD };
inline constexpr int SentenceCount = 10;
using SentenceSet = std::uint16_t; // bit n: Sentence n
inline constexpr SentenceSet AllSentences = (1u << SentenceCount) - 1;

constexpr SentenceSet SentenceBit(Sentence s) {
    return static_cast<SentenceSet>(1u << static_cast<unsigned>(s));
}
const char* SentenceName(Sentence s);
// "GGA,VTG,..." in any case and order; an empty text is the empty set. Returns the set, or
// nothing with what is wrong in `error`.
std::optional<SentenceSet> ParseSentenceNames(std::string_view text, std::string& error);
// The names of the set, comma-separated, in the tick's order.
std::string SentenceNames(SentenceSet set);

// Degrees, north and east positive. The start where no position was given: the degrees the
// fixed texts "37.45,N,122.67,W" stand for.
struct FixPosition {
    double latitude = 37.45;
    double longitude = -122.67;
};

// "3727.0000,N" and "12240.2000,W": degrees and minutes to four decimals, and the hemisphere.
std::string LatitudeFields(double degrees);
std::string LongitudeFields(double degrees);
// `from` moved `metres` along the great circle that leaves it at `trackDegrees` true.
FixPosition MoveAlongGreatCircle(FixPosition from, double trackDegrees, double metres);

// The time of the fix where live time is off: the one the fixed $GPRMC texts carry,
// 1995-11-06 11:56:22.34 UTC.
std::chrono::system_clock::time_point FixedFixTime();

struct SimulatorValues;
// The four position fields of $GPRMC and the added sentences: the fixed texts
// "37.45,N,122.67,W" unless a position was set.
std::string PositionFields(const SimulatorValues& values);
// The tick's added sentences, in order, each with its checksum; GSV may take several.
std::vector<std::string> BuildFixSentences(const SimulatorValues& values,
                                           std::chrono::system_clock::time_point fixTime);
