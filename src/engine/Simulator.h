#pragma once
#include <chrono>
#include <optional>

#include "engine/CommandResult.h"
#include "formats/Navigation.h"

class Port;
class Transmitter;

// The Simulator page's values and their rules: clamps, wrap and the rounding of the stored
// values. Each setter takes a number, refuses one that is not finite, and stores what the
// rule makes of it; the records of the next tick are built from what is stored.
class Simulator {
public:
    explicit Simulator(Port& port);

    const SimulatorValues& values() const { return state; }

    // NM, positive right of course; held to [-9.99, 9.99] (the limits as 32-bit floats).
    CommandResult setXteValue(double nm);
    void setXteMode(XteMode mode);
    // Degrees, cut to whole tenths, plus `stepTenths`, wrapped into [0, 360).
    CommandResult setTrack(double degrees, int stepTenths = 0);
    // Knots, held to [0, 500].
    CommandResult setSpeed(double knots);
    void setCourse(bool on);  // $GPRMB, and the Aviation record's cross-track field
    void setHeading(bool on); // $GPRMC, and the Aviation record's track and speed
    // A change of format applies its baud rate while the baud choice is Auto.
    void setFormat(OutputFormat format);
    // The File page's file type decides the format: NMEA v3, with the NMEA rate applied
    // again, or Aviation, whose rate is not applied here.
    void useFileType(bool nmea);

    // The added sentences the NMEA formats send after $GPRMB and $GPRMC; none at start. A set
    // with a bit beyond the last sentence is refused.
    CommandResult setSentences(SentenceSet sentences);
    // Degrees, north and east positive; latitude within [-90, 90], longitude [-180, 180].
    // Once set, $GPRMC and the added sentences carry it instead of the fixed texts.
    CommandResult setPosition(double latitude, double longitude);
    // A moving fix advances every tick by the track and speed over the ground; it starts at
    // the set position, or at the degrees of the fixed texts, which it then replaces.
    CommandResult setMoving(bool on);
    bool isMoving() const { return moving; }
    // The time the added sentences carry: the live tick's, or with none the fixed one.
    void setFixTime(std::optional<std::chrono::system_clock::time_point> utc) { fixTime = utc; }

    // One tick on the Simulator page: $GPRMB and $GPRMC and the added sentences, or the
    // Aviation record.
    void sendRecords(Transmitter& out) const;
    // The fix moves on by `seconds` of travel when moving.
    void advance(double seconds);

private:
    Port& port;
    SimulatorValues state;
    bool moving = false;
    std::optional<std::chrono::system_clock::time_point> fixTime;
};
