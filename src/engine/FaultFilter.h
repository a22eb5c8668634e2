#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/Navigation.h"

// Deliberate faults, and live time, on the records the output tick sends. All off by default;
// then every record passes as it is.
struct FaultSettings {
    std::uint32_t checksumEvery = 0; // every Nth record gets a wrong checksum (NMEA)
    std::uint32_t dropEvery = 0;     // every Nth record is not sent
    bool invalid = false;            // status V in $GPRMB and $GPRMC, checksum recomputed
    std::uint32_t garbageEvery = 0;  // a line of garbage before the first record of every Nth tick
    std::uint32_t repeat = 0;        // 2 or more: each record leaves this many times
    std::uint32_t cutAfter = 0;      // each record ends after this many bytes
    double silenceSeconds = 0.0;     // nothing leaves for this long ...
    double silenceEvery = 0.0;       // ... at the end of each period this long
    bool noEtx = false;              // Aviation records lose their ETX
    char corruptField = 0;           // Aviation: this field's value turns to '?'
    bool liveTime = false;           // $GPRMC time and date from the clock, in UTC

    bool anyFault() const;
    bool operator==(const FaultSettings&) const = default;
};

// One fault as the command line gives it ("checksum:3", "silence:5/30", "no-etx", ...), added
// to `settings`. Returns what is wrong with it, or nothing.
std::string AddFault(std::string_view text, FaultSettings& settings);
// The faults that are on, in the command line's words.
std::vector<std::string> FaultWords(const FaultSettings& settings);

// Where the filter's records go: the rest of TransmitLine (echo and hand-over).
class FaultOutput {
public:
    virtual ~FaultOutput() = default;
    // counted: echoed byte by byte, as a counted record is.
    virtual void pass(std::string_view bytes, bool counted) = 0;
    virtual void passWait() = 0;
};

// Acts between TransmitLine and the line, on whole records only: it knows the framing (a
// line for NMEA, STX to ETX for Aviation, whether given whole or in pieces) and the checksum,
// never how a record was made. Records outside a tick (coupler sentences) pass untouched.
class FaultFilter {
public:
    using SteadyTime = std::chrono::steady_clock::time_point;
    using UtcTime = std::chrono::system_clock::time_point;

    // New settings: the counts and the silence start again from the next record and tick.
    void configure(const FaultSettings& settings);
    const FaultSettings& settings() const { return current; }
    // True while records are to go through record() rather than straight on.
    bool engaged() const { return inTick && (current.anyFault() || current.liveTime); }

    void beginTick(OutputFormat format, SteadyTime now, UtcTime utc);
    // A record of an Aviation replay held for repeating leaves now, once.
    void endTick(FaultOutput& out);

    void record(std::string_view bytes, bool counted, FaultOutput& out);
    void wait(FaultOutput& out);

private:
    struct Held {
        std::string bytes;
        bool counted = false;
        bool wait = false;
    };

    void nmeaRecord(std::string_view bytes, bool counted, FaultOutput& out);
    void aviationPiece(std::string_view bytes, bool counted, FaultOutput& out);
    void garbageIfDue(FaultOutput& out);
    void releaseHeld(FaultOutput& out, std::uint32_t copies);
    bool due(std::uint32_t every) const { return every != 0 && recordNumber % every == 0; }

    FaultSettings current;
    bool inTick = false;
    bool silent = false;
    bool firstRecordOfTick = false;
    OutputFormat format = OutputFormat::NmeaV3;
    UtcTime tickUtc{};
    bool phaseStarted = false;
    SteadyTime phaseStart{};
    std::uint64_t tickNumber = 0;
    std::uint64_t recordNumber = 0;

    // The Aviation record under way.
    bool inside = false;
    bool dropping = false;
    bool atLineStart = false;
    bool inField = false;
    std::uint64_t recordBytes = 0;
    bool holding = false;
    std::vector<Held> held;
};
