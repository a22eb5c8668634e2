#pragma once
#include <array>
#include <cstddef>
#include <string>

#include "engine/CommandResult.h"
#include "engine/PlaybackFile.h"
#include "engine/Readouts.h"

class Simulator;
class Transmitter;
struct AviationField;

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
    void HandleNmeaLine(char* line);
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
};
