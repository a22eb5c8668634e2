#include "engine/Simulator.h"

#include <cmath>
#include <string>

#include "engine/Port.h"
#include "engine/TransmitLine.h"
#include "formats/AviationRecord.h"
#include "formats/FixSentences.h"
#include "formats/NmeaSentences.h"
#include "formats/NumberText.h"

namespace {
constexpr float XteLimit = 9.99f; // just inside 9.99, so a stored limit passes unchanged
constexpr double FullCircle = 3600.0;
constexpr float MaxSpeed = 500.0f;

CommandResult notANumber() { return CommandResult::Refused("Not a finite number", "Error"); }

// Whole tenths into [0, 3600). fmod is exact, so any finite value wraps without a loop.
double wrapTenths(double tenths) {
    double r = std::fmod(tenths, FullCircle);
    if (r < 0.0)
        r += FullCircle;
    return r + 0.0; // no negative zero: it would print as "-00.0" in $GPRMC
}
} // namespace

Simulator::Simulator(Port& p) : port(p) {}

CommandResult Simulator::setXteValue(double nm) {
    if (!std::isfinite(nm))
        return notANumber();
    float value = SaturatedFloat(nm);
    if (!(static_cast<double>(value) > -9.99))
        value = -XteLimit;
    else if (static_cast<double>(value) >= 9.99)
        value = XteLimit;
    state.xteValue = value;
    return {};
}

void Simulator::setXteMode(XteMode mode) { state.xteMode = mode; }

CommandResult Simulator::setTrack(double degrees, int stepTenths) {
    if (!std::isfinite(degrees))
        return notANumber();
    double tenths = std::trunc(degrees * 10.0);
    if (!std::isfinite(tenths)) // near the double limit: already a whole number
        tenths = std::fmod(degrees, 360.0) * 10.0;
    state.trackTenths = static_cast<float>(wrapTenths(wrapTenths(tenths) + stepTenths));
    return {};
}

CommandResult Simulator::setSpeed(double knots) {
    if (!std::isfinite(knots))
        return notANumber();
    float value = SaturatedFloat(knots);
    if (value > MaxSpeed)
        value = MaxSpeed;
    else if (!(value >= 0.0f))
        value = 0.0f;
    state.speed = value;
    return {};
}

void Simulator::setCourse(bool on) { state.courseOn = on; }

void Simulator::setHeading(bool on) { state.headingOn = on; }

void Simulator::setFormat(OutputFormat format) {
    if (format == state.format)
        return;
    state.format = format;
    port.followFormat(format);
}

void Simulator::useFileType(bool nmea) {
    if (nmea) {
        // Stored as v2 first, so that v3 is always a change and the NMEA rate is applied.
        state.format = OutputFormat::NmeaV2;
        setFormat(OutputFormat::NmeaV3);
    } else {
        state.format = OutputFormat::Aviation;
    }
}

void Simulator::sendRecords(Transmitter& out) const {
    if (state.format == OutputFormat::Aviation) {
        // Sent every tick, its fields dashes when both sentences are off.
        out.TransmitLine(BuildAviationRecord(state).c_str(), 0);
        return;
    }
    if (state.courseOn)
        out.TransmitLine(BuildRmbSentence(state).c_str(), 0);
    if (state.headingOn)
        out.TransmitLine(BuildRmcSentence(state).c_str(), 0);
    if (state.sentences != 0)
        for (const std::string& s : BuildFixSentences(state, fixTime.value_or(FixedFixTime())))
            out.TransmitLine(s.c_str(), 0);
}

CommandResult Simulator::setSentences(SentenceSet sentences) {
    if ((sentences & ~AllSentences) != 0)
        return CommandResult::Refused("Unknown sentence in the set", "Error");
    state.sentences = sentences;
    return {};
}

CommandResult Simulator::setPosition(double latitude, double longitude) {
    if (!std::isfinite(latitude) || !std::isfinite(longitude))
        return notANumber();
    if (latitude < -90.0 || latitude > 90.0 || longitude < -180.0 || longitude > 180.0)
        return CommandResult::Refused(
            "The latitude must be -90 to 90 and the longitude -180 to 180 degrees", "Error");
    state.position = {latitude, longitude};
    state.positionSet = true;
    return {};
}

CommandResult Simulator::setMoving(bool on) {
    moving = on;
    if (on)
        state.positionSet = true;
    return {};
}

void Simulator::advance(double seconds) {
    if (!moving || state.format == OutputFormat::Aviation)
        return;
    constexpr double MetresPerNauticalMile = 1852.0;
    const double metres =
        static_cast<double>(state.speed) * MetresPerNauticalMile / 3600.0 * seconds;
    state.position = MoveAlongGreatCircle(state.position, TrackDegrees(state), metres);
}
