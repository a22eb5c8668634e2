#include "engine/Replay.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "engine/Simulator.h"
#include "engine/TransmitLine.h"
#include "formats/AviationFieldTable.h"

namespace {

constexpr char Stx = 0x02;
constexpr char Etx = 0x03;
constexpr char Lf = 0x0A;
constexpr char Cr = 0x0D;

// Room for the gathered bytes; the last byte of the buffer is kept for a terminator.
constexpr int GatherCapacity = Replay::LineBufferSize - 1;

// A value starts right after the letter at the start of the buffer, so it always fits.
static_assert(1 + MaxAviationFieldWidth <= GatherCapacity);

// The seconds of the day in the time field of an RMC, GGA or ZDA sentence (any talker), or
// -1 when the line has none: "$GPRMC,115622.34,..." gives 43 if 11 h 56 min 22.34 s.
double timeStamp(const char* line) {
    const std::string_view l(line);
    if (l.size() < 14 || (l[0] != '$' && l[0] != '!') || l[6] != ',')
        return -1.0;
    const std::string_view type = l.substr(3, 3);
    if (type != "RMC" && type != "GGA" && type != "ZDA")
        return -1.0;
    const std::string_view t = l.substr(7);
    for (int i = 0; i < 6; ++i)
        if (t[static_cast<std::size_t>(i)] < '0' || t[static_cast<std::size_t>(i)] > '9')
            return -1.0;
    const auto two = [&](std::size_t at) { return (t[at] - '0') * 10 + (t[at + 1] - '0'); };
    double seconds = two(0) * 3600.0 + two(2) * 60.0 + two(4);
    if (t.size() > 7 && t[6] == '.') {
        double scale = 0.1;
        for (std::size_t i = 7; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, scale /= 10)
            seconds += (t[i] - '0') * scale;
    }
    return seconds;
}

} // namespace

Replay::Replay(Simulator& s, Transmitter& t) : simulator(s), transmitter(t) {}

void Replay::setView(ReplayView* v) {
    view = v;
    shown.setView(v);
}

CommandResult Replay::open(const std::string& path) {
    // Text or binary makes no difference here: the lines are cut at their first CR or LF.
    PlaybackFile opened;
    if (!opened.open(path))
        return CommandResult::Refused("Can't open " + path + ": not a readable regular file");
    file.swap(opened);
    fileOpen = true;
    if (view)
        view->fileOpened(std::filesystem::path(path).filename().string());
    return {};
}

void Replay::close() {
    fileOpen = false;
    file.close();
    if (view)
        view->fileClosed();
}

void Replay::setFileType(bool nmea) {
    fileTypeNmea = nmea;
    simulator.useFileType(nmea);
}

int Replay::setRecordsPerTick(int records) {
    recordsPerTick = std::clamp(records, 0, MaxRecordsPerTick);
    return recordsPerTick;
}

CommandResult Replay::setPauseSeconds(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0.0)
        return CommandResult::Refused("The seconds per tick must be above 0");
    pauseSeconds = seconds;
    return {};
}

void Replay::PlaybackTick() {
    if (!file.isOpen())
        return;
    file.refresh();
    Tick t;
    // 0 means no limit.
    t.recordBudget = recordsPerTick;
    for (;;) {
        const Step step = fileTypeNmea ? nmeaStep(t) : aviationStep(t);
        if (step == Step::EndTick)
            return;
        if (step == Step::EndOfFile && !endOfFile(t))
            return;
    }
}

bool Replay::useRecordBudget(Tick& t) {
    if (t.recordBudget == 0)
        return false;
    t.budgetUsed = true;
    return --t.recordBudget == 0;
}

bool Replay::useTriggerBudget(Tick& t) {
    t.budgetUsed = true;
    return --t.triggerBudget == 0;
}

// True to carry on with the next step in this tick.
bool Replay::endOfFile(Tick& t) {
    t.length = 0;
    if (!loop) {
        close();
        return false;
    }
    file.rewind();
    // A whole pass over the file that used no budget would be repeated for ever.
    if (t.rewound && !t.budgetUsed)
        return false;
    t.rewound = true;
    t.budgetUsed = false;
    return true;
}

Replay::Step Replay::nmeaStep(Tick& t) {
    const long position = file.tell();
    char* line = t.line.data();
    if (!file.readLine(line, MaxNmeaLineChars))
        return Step::EndOfFile;
    const std::string_view triggerText(trigger.c_str());
    if (!triggerText.empty() &&
        std::string_view(line).find(triggerText) != std::string_view::npos) {
        if (useTriggerBudget(t)) {
            file.seek(position);
            return Step::EndTick;
        }
    }
    HandleNmeaLine(line);
    return useRecordBudget(t) ? Step::EndTick : Step::Continue;
}

void Replay::HandleNmeaLine(char* line, bool spaced) {
    line[std::strcspn(line, "\r\n")] = '\0';
    if (std::strncmp(line, "$GPRMB", 6) == 0) {
        transmitter.TransmitLine(line, 0);
        shown.GprmbReadout(line, pauseSeconds);
    } else if (std::strncmp(line, "$GPRMC", 6) == 0) {
        transmitter.TransmitLine(line, 0);
        shown.GprmcReadout(line);
    } else if (allSentences && (line[0] == '$' || line[0] == '!')) {
        transmitter.TransmitLine(line, 0);
    }
    // The line writer keeps the gap on the wire; nothing waits here.
    if (spaced)
        transmitter.Wait10ms();
}

CommandResult Replay::setPace(ReplayPace p) {
    if (p != ReplayPace::Ticks && p != ReplayPace::File && p != ReplayPace::None)
        return CommandResult::Refused("Unknown pace");
    paceChoice = p;
    fileClockRunning = false;
    return {};
}

std::chrono::steady_clock::time_point Replay::pacedTick(std::chrono::steady_clock::time_point now) {
    if (!file.isOpen())
        return now;
    file.refresh();
    char* line = pacedLine.data();
    bool passedEnd = false;
    for (int sent = 0; sent < MaxPacedRecords;) {
        const long position = file.tell();
        if (!file.readLine(line, MaxNmeaLineChars)) {
            if (!loop) {
                close();
                return now;
            }
            // A file with nothing in it is not read again and again at once.
            if (passedEnd)
                return now + std::chrono::seconds(1);
            passedEnd = true;
            file.rewind();
            fileClockRunning = false;
            continue;
        }
        const double stamp = paceChoice == ReplayPace::File ? timeStamp(line) : -1.0;
        if (stamp >= 0.0) {
            // Past midnight the clock of the day starts again; a step back restarts the pace.
            // Nothing changes until the line leaves: a line not yet due is read again.
            double start = fileClockStart;
            if (fileClockRunning && stamp < lastStamp && lastStamp - stamp > 43200.0)
                start -= 86400.0;
            else if (fileClockRunning && stamp < lastStamp)
                fileClockRunning = false;
            if (!fileClockRunning) {
                fileClockRunning = true;
                start = stamp;
                wallStart = now;
            }
            const auto due =
                wallStart + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                std::chrono::duration<double>(stamp - start));
            if (due > now) {
                file.seek(position);
                return due;
            }
            fileClockStart = start;
            lastStamp = stamp;
        }
        HandleNmeaLine(line, false);
        passedEnd = false;
        ++sent;
    }
    return now;
}

void Replay::sendGathered(Tick& t) {
    if (t.length > 0)
        transmitter.TransmitLine(t.line.data(), t.length);
    t.length = 0;
}

bool Replay::fullPieceEndsTick(Tick& t) {
    // A line too long for the buffer leaves in pieces rather than losing bytes. Each piece uses
    // a record of the budget, so a file without line ends still sends a bounded amount a tick.
    if (t.length < GatherCapacity)
        return false;
    sendGathered(t);
    return useRecordBudget(t);
}

void Replay::gather(Tick& t, char byte) { t.line[static_cast<std::size_t>(t.length++)] = byte; }

Replay::Step Replay::aviationStep(Tick& t) {
    const int read = file.readByte();
    const bool gathers = t.scan == AviationScanState::FieldValue ||
                         (read >= 0 && read != Stx && read != Etx && read != Lf);
    if (gathers && fullPieceEndsTick(t)) {
        if (read >= 0)
            file.unreadByte(read); // the byte opens the next tick's first piece
        return Step::EndTick;
    }
    if (t.scan == AviationScanState::FieldValue) {
        // A value is counted, not delimited; the end of the file reads as 0xFF until it is full.
        gather(t, static_cast<char>(read < 0 ? 0xFF : read));
        if (++t.valueCount == t.field->width) {
            shown.show(t.field->readout, t.line.data() + t.valueStart, t.field->width,
                       t.field->scale);
            t.scan = AviationScanState::LineRest;
        }
        return Step::Continue;
    }
    if (read < 0)
        return Step::EndOfFile;
    const char byte = static_cast<char>(read);
    switch (byte) {
    case Stx:
        if (useTriggerBudget(t)) {
            file.unreadByte(read);
            return Step::EndTick;
        }
        transmitter.TransmitLine(&byte, 1);
        t.length = 0;
        t.scan = AviationScanState::LineStart;
        break;
    case Etx:
        transmitter.TransmitLine(&byte, 1);
        t.scan = AviationScanState::OutsideRecord;
        break;
    case Lf:
        break;
    case Cr:
        gather(t, byte);
        sendGathered(t);
        t.scan = AviationScanState::LineStart;
        if (useRecordBudget(t))
            return Step::EndTick;
        break;
    default:
        gather(t, byte);
        if (t.scan == AviationScanState::LineStart) {
            t.field = FindAviationField(static_cast<unsigned char>(read));
            if (t.field != nullptr) {
                t.valueStart = t.length;
                t.valueCount = 0;
                t.scan = AviationScanState::FieldValue;
            } else {
                t.scan = AviationScanState::LineRest;
            }
        }
        break;
    }
    return Step::Continue;
}
