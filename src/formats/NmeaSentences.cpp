#include "formats/NmeaSentences.h"

#include "formats/Checksum.h"
#include "formats/NumberText.h"

namespace {
constexpr float XteStep = 1.25f;
constexpr float XteLimit = 9.99f;

const char* modeSuffix(const SimulatorValues& values) {
    return values.format == OutputFormat::NmeaV3 ? ",A" : "";
}
} // namespace

XteReading EncodeXte(const SimulatorValues& values) {
    switch (values.xteMode) {
    case XteMode::Left:
        return {XteStep, 'R', 'L'};
    case XteMode::Right:
        return {XteStep, 'L', 'R'};
    case XteMode::Value: {
        float magnitude = values.xteValue < 0.0f ? -values.xteValue : values.xteValue;
        if (static_cast<double>(magnitude) > 9.99)
            magnitude = XteLimit;
        const char steer = values.xteValue >= 0.0f ? 'L' : 'R';
        return {magnitude, steer, steer == 'L' ? 'R' : 'L'};
    }
    case XteMode::Centre:
    default:
        return {0.0f, 'L', 'R'};
    }
}

double TrackDegrees(const SimulatorValues& values) {
    const double t = values.trackTenths;
    if (t > 3600.0)
        return 360.0;
    if (t >= 0.0)
        return t / 10.0;
    return 0.0;
}

std::string BuildRmbSentence(const SimulatorValues& values) {
    const XteReading xte = EncodeXte(values);
    std::string s = "$GPRMB,A,";
    s += FormatFixed(static_cast<double>(xte.magnitude), 3, 5);
    s += ',';
    s += xte.steer;
    s += ",AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A";
    s += modeSuffix(values);
    AppendChecksum(s);
    return s;
}

std::string BuildRmcSentence(const SimulatorValues& values) {
    std::string s = "$GPRMC,115622.34,A," + PositionFields(values) + ',';
    s += FormatFixed(static_cast<double>(values.speed), 1, 5);
    s += ',';
    s += FormatFixed(TrackDegrees(values), 1, 5, true);
    s += ",061195,7.0,E";
    s += modeSuffix(values);
    AppendChecksum(s);
    return s;
}
