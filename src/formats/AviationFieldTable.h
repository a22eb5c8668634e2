#pragma once
#include <array>

// Which read-out of the File page a field's value goes to.
enum class Readout { None, WaypointId, Range, Speed, CalculatedSpeed };

// One field letter of an Aviation record: how many value characters follow it, the factor
// for its read-out and the read-out that shows it (none for most letters).
struct AviationField {
    char letter;
    int width;
    float scale;
    Readout readout;
};

extern const std::array<AviationField, 15> AviationFieldTable;

// The first row whose letter is `letter` (case-sensitive), or nullptr.
const AviationField* FindAviationField(unsigned char letter);

// The widest value any row gathers.
inline constexpr int MaxAviationFieldWidth = 17;
