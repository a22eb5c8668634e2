#pragma once
#include <cstdint>

#include "formats/FixSentences.h"

enum class OutputFormat : std::uint8_t { NmeaV2 = 0, NmeaV3 = 1, Aviation = 2 };
enum class XteMode : std::uint8_t { Left = 0, Centre = 1, Right = 2, Value = 3 };

// What the emulated receiver reports, as the records are built from it. The initialisers are
// the start-up values.
struct SimulatorValues {
    bool courseOn = true;
    bool headingOn = false; // set by the first window activation (BTN_Heading starts checked)
    OutputFormat format = OutputFormat::NmeaV3;
    float xteValue = 0.0f;    // NM, positive = right of course, within [-9.99, 9.99]
    float trackTenths = 0.0f; // tenths of a degree, whole number in [0, 3600)
    float speed = 150.0f;     // knots, within [0, 500]
    XteMode xteMode = XteMode::Left;
    // Off unless asked for: the added sentences, and a position of our own instead of the
    // fixed position texts.
    SentenceSet sentences = 0;
    bool positionSet = false;
    FixPosition position{};
};
