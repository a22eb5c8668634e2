#include "playback/AviationFieldTable.h"

#include "playback/Readouts.h"

const std::array<AviationField, 15> AviationFieldTable{{
    {'z', 5, 1.0f, nullptr},
    {'A', 7, 1.0f, nullptr},
    {'B', 8, 1.0f, nullptr},
    {'C', 3, 1.0f, nullptr},
    {'D', 3, 1.0f, ShowSpeed},
    {'E', 5, 0.1f, ShowRange},
    {'G', 5, 1.0f, nullptr},
    {'I', 4, 1.0f, nullptr},
    {'K', 5, 1.0f, ShowWaypointId},
    {'L', 4, 1.0f, nullptr},
    {'Q', 4, 1.0f, nullptr},
    {'S', 5, 1.0f, nullptr},
    {'T', 9, 1.0f, nullptr},
    {'l', 6, 1.0f, nullptr},
    {'w', 17, 1.0f, nullptr},
}};

const AviationField* FindAviationField(unsigned char letter) {
    for (const auto& row : AviationFieldTable) {
        if (static_cast<unsigned char>(row.letter) == letter)
            return &row;
    }
    return nullptr;
}
