#pragma once
#include <cstdint>

#include "serial/PortHandle.h"

enum class OutputFormat : std::uint8_t { NmeaV2 = 0, NmeaV3 = 1, Aviation = 2 };
enum class XteMode : std::uint8_t { Left = 0, Centre = 1, Right = 2, Value = 3 };

// Every setting and run-time switch of the program. One instance lives for the whole run;
// each component holds a reference to it. The initialisers are the start-up values.
struct EmulatorState {
    bool courseOn = true;
    bool headingOn = false; // set by the first window activation (BTN_Heading starts checked)
    bool paused = false;
    bool compatibility = true;
    bool fileOpen = false;
    bool intervalPending = false;
    bool fileTypeNmea = true;
    bool loop = false;

    std::int32_t recordsPerTick = 25;
    std::int32_t couplerType = 0;
    OutputFormat format = OutputFormat::NmeaV3;
    float xteValue = 0.0f;    // NM, positive = right of course
    float trackTenths = 0.0f; // tenths of a degree, whole number in [0, 3600)
    float speed = 150.0f;     // knots
    float fuelFlow = 10.0f;   // 0.1 .. 10.0
    XteMode xteMode = XteMode::Left;
    std::uint8_t courseGainCode = 0;
    std::uint8_t headingGainCode = 2;
    std::int32_t offsetCounts = 0;
    std::int32_t dimmingWord = 10;
    std::int32_t virtualWaypoints = 0;
    std::int32_t anticipation = 0;
    std::int32_t maxAngle = 0;
    std::int32_t maxTime = 0;
    std::uint8_t portIndex = 0;
    std::uint8_t baudChoice = 0; // 0 Auto, else a baud index
    PortHandle portHandle = InvalidPort;
};
