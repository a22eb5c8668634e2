#pragma once
#include <string>

#include "formats/Navigation.h"

// The 55-byte framed record, STX to ETX, with the track, speed and cross-track slots filled:
// STX "AN 99 3456" CR "BW 444 4322" CR "C000" CR "D150" CR "E00003" CR "GL0125" CR "I3333" CR ETX
std::string BuildAviationRecord(const SimulatorValues& values);
