#include "formats/AviationFieldTable.h"

const std::array<AviationField, 15> AviationFieldTable{{
    {'z', 5, 1.0f, Readout::None},
    {'A', 7, 1.0f, Readout::None},
    {'B', 8, 1.0f, Readout::None},
    {'C', 3, 1.0f, Readout::None},
    {'D', 3, 1.0f, Readout::Speed},
    {'E', 5, 0.1f, Readout::Range},
    {'G', 5, 1.0f, Readout::None},
    {'I', 4, 1.0f, Readout::None},
    {'K', 5, 1.0f, Readout::WaypointId},
    {'L', 4, 1.0f, Readout::None},
    {'Q', 4, 1.0f, Readout::None},
    {'S', 5, 1.0f, Readout::None},
    {'T', 9, 1.0f, Readout::None},
    {'l', 6, 1.0f, Readout::None},
    {'w', 17, 1.0f, Readout::None},
}};

const AviationField* FindAviationField(unsigned char letter) {
    for (const auto& row : AviationFieldTable) {
        if (static_cast<unsigned char>(row.letter) == letter)
            return &row;
    }
    return nullptr;
}
