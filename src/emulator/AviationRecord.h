#pragma once
#include <string>

#include "emulator/EmulatorState.h"

class Transmitter;

// The 55-byte framed record, STX to ETX, with the track, speed and cross-track slots filled.
std::string BuildAviationRecord(const EmulatorState& state);
void SendAviationRecord(const EmulatorState& state, Transmitter& transmitter);
