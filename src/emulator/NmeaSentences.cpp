#include "emulator/NmeaSentences.h"

#include <cstdio>

#include "emulator/NumberText.h"
#include "serial/NmeaChecksum.h"
#include "serial/TransmitLine.h"

namespace {
constexpr float XteStep = 1.25f;
constexpr float XteLimit = 9.99f;

const char* modeSuffix(const EmulatorState& state) {
    return state.format == OutputFormat::NmeaV3 ? ",A" : "";
}
} // namespace

XteReading EncodeXte(const EmulatorState& state) {
    switch (state.xteMode) {
    case XteMode::Left:
        return {XteStep, 'R', 'L'};
    case XteMode::Right:
        return {XteStep, 'L', 'R'};
    case XteMode::Value: {
        float magnitude = state.xteValue < 0.0f ? -state.xteValue : state.xteValue;
        if (static_cast<double>(magnitude) > 9.99)
            magnitude = XteLimit;
        const char steer = state.xteValue >= 0.0f ? 'L' : 'R';
        return {magnitude, steer, steer == 'L' ? 'R' : 'L'};
    }
    case XteMode::Centre:
    default:
        return {0.0f, 'L', 'R'};
    }
}

double TrackDegrees(const EmulatorState& state) {
    const double t = state.trackTenths;
    if (t > 3600.0)
        return 360.0;
    if (t >= 0.0)
        return t / 10.0;
    return 0.0;
}

std::string BuildRmbSentence(const EmulatorState& state) {
    const XteReading xte = EncodeXte(state);
    std::string s = "$GPRMB,A,";
    s += FormatFixed(static_cast<double>(xte.magnitude), 3, 5);
    s += ',';
    s += xte.steer;
    s += ",AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A";
    s += modeSuffix(state);
    AppendChecksum(s);
    return s;
}

std::string BuildRmcSentence(const EmulatorState& state) {
    std::string s = "$GPRMC,115622.34,A,37.45,N,122.67,W,";
    s += FormatFixed(static_cast<double>(state.speed), 1, 5);
    s += ',';
    s += FormatFixed(TrackDegrees(state), 1, 5, true);
    s += ",061195,7.0,E";
    s += modeSuffix(state);
    AppendChecksum(s);
    return s;
}

void SendNmeaSentences(const EmulatorState& state, Transmitter& transmitter) {
    if (state.courseOn)
        transmitter.TransmitLine(BuildRmbSentence(state).c_str(), 0);
    if (state.headingOn)
        transmitter.TransmitLine(BuildRmcSentence(state).c_str(), 0);
}
