#pragma once
#include <string>

#include "formats/Navigation.h"

struct XteReading {
    float magnitude; // NM, 0 .. 9.99
    char steer;      // direction to steer back to the course
    char side;       // side of the course the vehicle is on
};

XteReading EncodeXte(const SimulatorValues& values);
double TrackDegrees(const SimulatorValues& values);

// $GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*40
std::string BuildRmbSentence(const SimulatorValues& values);
// $GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*2F
std::string BuildRmcSentence(const SimulatorValues& values);
