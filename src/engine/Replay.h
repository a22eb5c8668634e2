#pragma once
#include <array>
#include <chrono>
#include <cstddef>
#include <string>

#include "engine/CommandResult.h"
#include "engine/PlaybackFile.h"
#include "engine/Readouts.h"

class Simulator;
class Transmitter;
struct AviationField;

// How an NMEA replay is paced: by the ticks, as the File page has it; by the time stamps of
// the file's RMC, GGA and ZDA sentences; or as fast as the line takes the records.
enum class ReplayPace { Ticks, File, None };

enum class AviationScanState { OutsideRecord = 0, LineStart = 1, FieldValue = 2, LineRest = 3 };

// Replays the open recorded file onto the port, a bounded group of records per tick, and
// keeps the route read-outs up to date. Holds the File page's settings.
class Replay {
public:
    static constexpr int LineBufferSize = 132;
    static constexpr int MaxNmeaLineChars = LineBufferSize - 1;
    static constexpr int DefaultRecordsPerTick = 25;
    static constexpr int MaxRecordsPerTick = 100;

    Replay(Simulator& simulator, Transmitter& transmitter);

    // Opens a regular file from its start; refused, with nothing changed, when it cannot.
    CommandResult open(const std::string& path);
    // The same whether the user closes it or the replay reaches its end without Loop.
    void close();
    bool isOpen() const { return fileOpen; }

    // NMEA or Aviation: the mode of the next step, and the output format with it.
    void setFileType(bool nmea);
    bool fileIsNmea() const { return fileTypeNmea; }
    void setLoop(bool on) { loop = on; }
    bool loops() const { return loop; }
    // Held to 0..100; 0 means no limit. Returns what is stored.
    int setRecordsPerTick(int records);
    int recordsPerTickSetting() const { return recordsPerTick; }
    // A line that holds this text starts a group (NMEA); empty: no groups.
    void setTrigger(std::string text) { trigger = std::move(text); }
    const std::string& triggerText() const { return trigger; }
    // The seconds per tick as the File page shows them, which the calculated speed counts in.
    CommandResult setPauseSeconds(double seconds);

    // Every line that is an NMEA sentence ("$" or "!") leaves as it stands in the file, not
    // only $GPRMB and $GPRMC. Off at start.
    CommandResult setAllSentences(bool on) {
        allSentences = on;
        return {};
    }
    bool sendsAllSentences() const { return allSentences; }
    // Ticks at start. The other paces apply to NMEA files; they ignore the trigger and the
    // records per tick and send without the 10 ms gaps.
    CommandResult setPace(ReplayPace pace);
    ReplayPace pace() const { return paceChoice; }
    // True when the run loop is to call pacedTick() rather than PlaybackTick().
    bool paced() const { return paceChoice != ReplayPace::Ticks && fileTypeNmea; }
    // Sends what is due at `now` (at most MaxPacedRecords); returns when to call again.
    std::chrono::steady_clock::time_point pacedTick(std::chrono::steady_clock::time_point now);
    static constexpr int MaxPacedRecords = 1000;

    void setView(ReplayView* view);
    const Readouts& readouts() const { return shown; }
    Readouts& readouts() { return shown; }

    void PlaybackTick();

private:
    enum class Step { Continue, EndOfFile, EndTick };

    // What one tick keeps; created afresh at its start.
    struct Tick {
        int recordBudget = 0;
        int triggerBudget = 2;
        AviationScanState scan = AviationScanState::OutsideRecord;
        std::array<char, LineBufferSize> line{};
        int length = 0;
        const AviationField* field = nullptr;
        int valueStart = 0;
        int valueCount = 0;
        bool rewound = false;    // an end of file has been met in this tick
        bool budgetUsed = false; // a budget was used since the last end of file
    };

    Step nmeaStep(Tick& t);
    Step aviationStep(Tick& t);
    bool endOfFile(Tick& t);
    void HandleNmeaLine(char* line, bool spaced = true);
    // True when a full buffer left as a piece and that used the last record of the budget.
    bool fullPieceEndsTick(Tick& t);
    void gather(Tick& t, char byte);
    void sendGathered(Tick& t);
    bool useRecordBudget(Tick& t);
    bool useTriggerBudget(Tick& t);

    Simulator& simulator;
    Transmitter& transmitter;
    PlaybackFile file;
    Readouts shown;
    ReplayView* view = nullptr;

    bool fileOpen = false;
    bool fileTypeNmea = true;
    bool loop = false;
    int recordsPerTick = DefaultRecordsPerTick;
    std::string trigger = "GPRMB";
    double pauseSeconds = 1.0;
    bool allSentences = false;
    ReplayPace paceChoice = ReplayPace::Ticks;
    // The file's clock against the steady clock, for the file's own pace.
    bool fileClockRunning = false;
    double fileClockStart = 0.0; // seconds of the day in the file
    double lastStamp = 0.0;
    std::chrono::steady_clock::time_point wallStart{};
    std::array<char, LineBufferSize> pacedLine{};
};
