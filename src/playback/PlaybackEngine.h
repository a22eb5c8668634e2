#pragma once
#include <array>
#include <cstddef>
#include <string>

#include "emulator/EmulatorState.h"
#include "emulator/OutputTick.h"
#include "playback/NmeaReadout.h"
#include "playback/PlaybackFile.h"

class PlaybackWindow;
class Transmitter;
struct AviationField;

enum class AviationScanState { OutsideRecord = 0, LineStart = 1, FieldValue = 2, LineRest = 3 };

// Replays the open recorded file onto the port, a bounded group of records per tick, and
// keeps the route read-outs of the File page up to date.
class PlaybackEngine : public PlaybackTicker {
public:
    static constexpr int LineBufferSize = 132;
    static constexpr int MaxNmeaLineChars = LineBufferSize - 1;

    PlaybackEngine(EmulatorState& state, PlaybackWindow& window, Transmitter& transmitter);

    // Opens `path` from its start, sets fileOpen and shows "Close file" and the file's name
    // without its directory. False, with nothing changed, when it cannot be opened.
    bool open(const std::string& path);
    // Clears fileOpen, closes the file, shows "Open file" and an empty file name; the same
    // whether the user closes it or the replay reaches its end.
    void close();
    bool isOpen() const { return file.isOpen(); }

    void PlaybackTick() override;

    NmeaReadout& readout() { return nmeaReadout; }

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

    EmulatorState& state;
    PlaybackWindow& window;
    Transmitter& transmitter;
    PlaybackFile file;
    NmeaReadout nmeaReadout;
};
