#include "formats/FixSentences.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <numbers>

#include "formats/Checksum.h"
#include "formats/Navigation.h"
#include "formats/NmeaSentences.h"
#include "formats/NumberText.h"

namespace {
constexpr const char* Names[SentenceCount] = {"GGA", "GLL", "VTG", "ZDA", "GSA",
                                              "GSV", "APB", "XTE", "BWC", "BOD"};

// WGS-84 mean radius (R1 = (2a + b) / 3), in metres.
constexpr double EarthRadius = 6371008.8;
constexpr double Radian = std::numbers::pi / 180.0;

// What $GPRMB says of the waypoint; the added sentences say the same.
constexpr const char* Origin = "AAAA";
constexpr const char* Destination = "BBBB";
constexpr const char* WaypointFields = "37.567,N,122.23,W";
constexpr double WaypointBearing = 8.8; // true, from the present position
constexpr const char* WaypointRange = "9.9";
constexpr double Variation = 7.0; // east, as $GPRMC has it

// A satellite's sky track: phases and offsets chosen once, moving with the time of the fix
// so that the sky turns about once in half a sidereal day, as GPS orbits do.
constexpr int Satellites = 8;
constexpr int Prns[Satellites] = {2, 5, 7, 10, 13, 18, 24, 29};
constexpr double OrbitSeconds = 43082.0;
constexpr const char* Hdop = "0.9";
constexpr const char* Pdop = "1.6";
constexpr const char* Vdop = "1.3";

struct InView {
    int prn, elevation, azimuth, snr;
};

InView satellite(int i, double seconds) {
    const double turn = std::fmod(seconds, OrbitSeconds) / OrbitSeconds;
    const double elevation =
        15.0 + 35.0 * (1.0 + std::sin(i * 0.8 + turn * 2.0 * std::numbers::pi));
    const long azimuth = std::lround(std::fmod(i * 45.0 + 17.0 + turn * 360.0, 360.0)) % 360;
    const int e = static_cast<int>(std::lround(elevation));
    return {Prns[i], e, static_cast<int>(azimuth), 30 + e / 5};
}

std::string twoDigits(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}


double magnetic(double trueDegrees) {
    const double m = std::fmod(trueDegrees - Variation + 360.0, 360.0);
    return m + 0.0;
}

// "d.d" without padding: plotters read the field as a number, not a column.
std::string oneDecimal(double v) { return FormatFixed(v, 1); }

std::string finish(std::string s, const SimulatorValues& v, bool hasMode) {
    if (hasMode && v.format == OutputFormat::NmeaV3)
        s += ",A";
    AppendChecksum(s);
    return s;
}

// Degrees and minutes with four decimals, rounded once on whole 1/10000 minutes so that
// 59.99995' carries into the degrees.
std::string angleFields(double degrees, int degreeDigits, char positive, char negative) {
    const double magnitude = std::fabs(degrees);
    const long long units = std::llround(magnitude * 600000.0);
    const long long whole = units / 600000;
    const long long minuteUnits = units % 600000;
    char b[64];
    std::snprintf(b, sizeof b, "%0*lld%02lld.%04lld,%c", degreeDigits, whole, minuteUnits / 10000,
                  minuteUnits % 10000, degrees < 0.0 && units != 0 ? negative : positive);
    return b;
}
} // namespace

const char* SentenceName(Sentence s) { return Names[static_cast<int>(s)]; }

std::optional<SentenceSet> ParseSentenceNames(std::string_view text, std::string& error) {
    SentenceSet set = 0;
    bool more = !text.empty();
    while (more) {
        const std::size_t comma = text.find(',');
        const std::string_view word = text.substr(0, comma);
        more = comma != std::string_view::npos;
        text = more ? text.substr(comma + 1) : std::string_view();
        std::string upper;
        for (const char c : word)
            upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        int found = -1;
        for (int i = 0; i < SentenceCount; ++i)
            if (upper == Names[i])
                found = i;
        if (found < 0) {
            error = "unknown sentence '" + std::string(word) + "'; any of " +
                    SentenceNames(AllSentences) +
                    " ($GPRMB and $GPRMC have --no-course and --no-heading)";
            return std::nullopt;
        }
        set |= SentenceBit(static_cast<Sentence>(found));
    }
    return set;
}

std::string SentenceNames(SentenceSet set) {
    std::string names;
    for (int i = 0; i < SentenceCount; ++i)
        if (set & SentenceBit(static_cast<Sentence>(i)))
            names += (names.empty() ? "" : ",") + std::string(Names[i]);
    return names;
}

std::string PositionFields(const SimulatorValues& v) {
    if (!v.positionSet)
        return "37.45,N,122.67,W";
    return LatitudeFields(v.position.latitude) + ',' + LongitudeFields(v.position.longitude);
}

std::string LatitudeFields(double degrees) { return angleFields(degrees, 2, 'N', 'S'); }

std::string LongitudeFields(double degrees) { return angleFields(degrees, 3, 'E', 'W'); }

FixPosition MoveAlongGreatCircle(FixPosition from, double trackDegrees, double metres) {
    const double d = metres / EarthRadius;
    const double phi1 = from.latitude * Radian;
    const double theta = trackDegrees * Radian;
    const double sinPhi2 =
        std::sin(phi1) * std::cos(d) + std::cos(phi1) * std::sin(d) * std::cos(theta);
    const double phi2 = std::asin(std::clamp(sinPhi2, -1.0, 1.0));
    const double dLambda = std::atan2(std::sin(theta) * std::sin(d) * std::cos(phi1),
                                      std::cos(d) - std::sin(phi1) * std::sin(phi2));
    double lon = std::fmod(from.longitude + dLambda / Radian + 540.0, 360.0) - 180.0;
    return {phi2 / Radian, lon + 0.0};
}

std::chrono::system_clock::time_point FixedFixTime() {
    using namespace std::chrono;
    return sys_days{year{1995} / November / 6} + hours{11} + minutes{56} + seconds{22} +
           milliseconds{340};
}

std::vector<std::string> BuildFixSentences(const SimulatorValues& v,
                                           std::chrono::system_clock::time_point fixTime) {
    std::vector<std::string> out;
    const auto has = [&](Sentence s) { return (v.sentences & SentenceBit(s)) != 0; };
    const UtcText time = UtcTextOf(fixTime);
    const std::string position = PositionFields(v);
    const double seconds = std::chrono::duration<double>(fixTime.time_since_epoch()).count();
    const double track = TrackDegrees(v);
    const double speed = static_cast<double>(v.speed);
    const XteReading xte = EncodeXte(v);
    const std::string xteText = FormatFixed(static_cast<double>(xte.magnitude), 3);
    const std::string bearingTrue = oneDecimal(WaypointBearing);
    const std::string bearingMagnetic = oneDecimal(magnetic(WaypointBearing));

    // $GPGGA,115622.34,37.45,N,122.67,W,1,08,0.9,15.0,M,-32.0,M,,*66
    if (has(Sentence::GGA))
        out.push_back(finish("$GPGGA," + time.clock + ',' + position + ",1," +
                                 twoDigits(Satellites) + ',' + Hdop + ",15.0,M,-32.0,M,,",
                             v, false));
    // $GPGLL,37.45,N,122.67,W,115622.34,A,A*7A
    if (has(Sentence::GLL))
        out.push_back(finish("$GPGLL," + position + ',' + time.clock + ",A", v, true));
    // $GPVTG,0.0,T,353.0,M,150.0,N,277.8,K,A*28
    if (has(Sentence::VTG))
        out.push_back(finish("$GPVTG," + oneDecimal(track) + ",T," + oneDecimal(magnetic(track)) +
                                 ",M," + oneDecimal(speed) + ",N," + oneDecimal(speed * 1.852) +
                                 ",K",
                             v, true));
    // $GPZDA,115622.34,06,11,1995,00,00*60
    if (has(Sentence::ZDA))
        out.push_back(finish("$GPZDA," + time.clock + ',' + twoDigits(time.day) + ',' +
                                 twoDigits(time.month) + ',' + std::to_string(time.year) + ",00,00",
                             v, false));
    // $GPGSA,A,3,02,05,07,10,13,18,24,29,,,,,1.6,0.9,1.3*39
    if (has(Sentence::GSA)) {
        std::string s = "$GPGSA,A,3";
        for (int i = 0; i < 12; ++i)
            s += ',' + (i < Satellites ? twoDigits(Prns[i]) : std::string());
        out.push_back(finish(s + ',' + Pdop + ',' + Hdop + ',' + Vdop, v, false));
    }
    // $GPGSV,2,1,08,02,16,272,33,05,20,317,34,07,42,002,38,10,69,047,43*77
    if (has(Sentence::GSV)) {
        const int messages = (Satellites + 3) / 4;
        for (int m = 0; m < messages; ++m) {
            std::string s = "$GPGSV," + std::to_string(messages) + ',' + std::to_string(m + 1) +
                            ',' + twoDigits(Satellites);
            for (int i = m * 4; i < Satellites && i < m * 4 + 4; ++i) {
                const InView sat = satellite(i, seconds);
                char b[32];
                std::snprintf(b, sizeof b, ",%02d,%02d,%03d,%02d", sat.prn, sat.elevation,
                              sat.azimuth, sat.snr);
                s += b;
            }
            out.push_back(finish(s, v, false));
        }
    }
    // $GPAPB,A,A,1.250,R,N,A,V,8.8,T,BBBB,8.8,T,8.8,T,A*70
    if (has(Sentence::APB))
        out.push_back(finish("$GPAPB,A,A," + xteText + ',' + xte.steer + ",N,A,V," + bearingTrue +
                                 ",T," + Destination + ',' + bearingTrue + ",T," + bearingTrue +
                                 ",T",
                             v, true));
    // $GPXTE,A,A,1.250,R,N,A*2B
    if (has(Sentence::XTE))
        out.push_back(finish("$GPXTE,A,A," + xteText + ',' + xte.steer + ",N", v, true));
    // $GPBWC,115622.34,37.567,N,122.23,W,8.8,T,1.8,M,9.9,N,BBBB,A*6F
    if (has(Sentence::BWC))
        out.push_back(finish("$GPBWC," + time.clock + ',' + WaypointFields + ',' + bearingTrue +
                                 ",T," + bearingMagnetic + ",M," + WaypointRange + ",N," +
                                 Destination,
                             v, true));
    // $GPBOD,8.8,T,1.8,M,BBBB,AAAA*4E
    if (has(Sentence::BOD))
        out.push_back(finish("$GPBOD," + bearingTrue + ",T," + bearingMagnetic + ",M," +
                                 Destination + ',' + Origin,
                             v, false));
    return out;
}
