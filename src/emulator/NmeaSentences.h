#pragma once
#include <string>

#include "emulator/EmulatorState.h"

class Transmitter;

struct XteReading {
    float magnitude; // NM, 0 .. 9.99
    char steer;      // direction to steer back to the course
    char side;       // side of the course the vehicle is on
};

XteReading EncodeXte(const EmulatorState& state);
double TrackDegrees(const EmulatorState& state);

std::string BuildRmbSentence(const EmulatorState& state);
std::string BuildRmcSentence(const EmulatorState& state);

void SendNmeaSentences(const EmulatorState& state, Transmitter& transmitter);
