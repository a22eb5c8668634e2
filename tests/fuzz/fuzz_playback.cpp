// The replay of an arbitrary recorded file, tick by tick, as the output tick drives it.
//
// Input: flags, budget, trigger length, the trigger, then the file.
//   flags bit 0: NMEA file (else Aviation); bit 1: Loop; bits 2-4: ticks run with Loop, less
//   one; bits 5-7: the Pause Seconds position. budget: records per tick, byte % 101 (0: none).
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "playback/PlaybackEngine.h"
#include "playback/PlaybackWindow.h"
#include "playback/Readouts.h"
#include "serial/RecordSink.h"
#include "serial/TerminalLog.h"
#include "serial/TransmitLine.h"

namespace {

using fuzzsupport::isFixedReadout;

constexpr std::size_t LineBufferBytes = PlaybackEngine::LineBufferSize - 1; // less the zero

class FakeWindow : public PlaybackWindow {
public:
    int currentPage() const override { return 1; }
    int pauseSecondsPosition() const override { return seconds; }
    int recordsPerTickPosition() const override { return budget; }
    void setPauseChecked(bool) override {}
    std::string triggerText() const override { return trigger; }
    void setOpenFileCaption(const std::string& text) override { caption = text; }
    void setFileNameText(const std::string& text) override { fileName = text; }
    void setRangeText(const std::string& text) override {
        FUZZ_CHECK(isFixedReadout(text, 2, "nm"));
    }
    void setSpeedText(const std::string& text) override {
        FUZZ_CHECK(isFixedReadout(text, 1, "kt"));
    }
    void setCalculatedSpeedText(const std::string& text) override {
        FUZZ_CHECK(isFixedReadout(text, 1, "kt"));
    }
    void setWaypointIdText(const std::string& text) override {
        FUZZ_CHECK(text.size() <= WaypointIdChars);
        FUZZ_CHECK(text.find('\0') == std::string::npos);
    }

    int seconds = 1;
    int budget = 25;
    std::string trigger;
    std::string caption;
    std::string fileName;
};

class RecordingSink : public RecordSink {
public:
    bool submit(PortHandle, std::string bytes) override {
        records.push_back(std::move(bytes));
        return true;
    }
    void wait10ms() override { ++waits; }

    std::vector<std::string> records;
    std::size_t waits = 0;
};

class FakeTerminal : public TerminalView {
public:
    int lineCount() const override { return static_cast<int>(lines); }
    void removeFirstLine() override {
        FUZZ_CHECK(lines > 0);
        --lines;
    }
    void appendLine(std::string_view) override { ++lines; }
    void clearLines() override { lines = 0; }
    std::size_t lines = 0;
};

// Lines as the engine reads them: through the next LF, at most 131 characters each.
std::size_t nmeaLineCount(std::string_view file) {
    std::size_t count = 0, length = 0;
    for (char c : file) {
        ++length;
        if (c == '\n' || length == LineBufferBytes) {
            ++count;
            length = 0;
        }
    }
    return count + (length > 0 ? 1 : 0);
}

std::size_t countOf(std::string_view file, char byte) {
    std::size_t n = 0;
    for (char c : file)
        n += c == byte ? 1 : 0;
    return n;
}

void checkNmeaRecord(const std::string& record) {
    FUZZ_CHECK(record.rfind("$GPRMB", 0) == 0 || record.rfind("$GPRMC", 0) == 0);
    FUZZ_CHECK(record.size() >= 8 && record.compare(record.size() - 2, 2, "\r\n") == 0);
    FUZZ_CHECK(record.size() <= LineBufferBytes + 2);
    const std::string_view text(record.data(), record.size() - 2);
    FUZZ_CHECK(text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos);
}

void checkAviationPiece(const std::string& piece) {
    // Nothing is appended and nothing leaves larger than the line buffer holds.
    FUZZ_CHECK(!piece.empty());
    FUZZ_CHECK(piece.size() <= LineBufferBytes);
}

// True when `part` can be found in `whole` with its bytes in order, others left out.
bool isSubsequence(std::string_view part, std::string_view whole) {
    std::size_t j = 0;
    for (char c : part) {
        while (j < whole.size() && whole[j] != c)
            ++j;
        if (j == whole.size())
            return false;
        ++j;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::useCommaLocale();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    const std::uint8_t flags = data[0];
    const bool nmea = (flags & 1) != 0;
    const bool loop = (flags & 2) != 0;
    const int loopTicks = 1 + ((flags >> 2) & 7);
    static constexpr int SecondsPositions[8] = {1, 2, 5, 7, 30, 100, 0, -3};
    const int budget = data[1] % 101;
    const std::size_t triggerLength = std::min<std::size_t>(data[2] % 16, size - 3);
    const std::string trigger(reinterpret_cast<const char*>(data + 3), triggerLength);
    const std::string content(reinterpret_cast<const char*>(data + 3 + triggerLength),
                              size - 3 - triggerLength);

    const std::string name = nmea ? "replay.nmea" : "replay.avi";
    const auto path = fuzzsupport::privateDirectory("tarrow-fuzz-playback") / name;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        FUZZ_CHECK(out.good());
    }

    EmulatorState state;
    state.fileTypeNmea = nmea;
    state.loop = loop;
    // As the File page sets it for the file type.
    state.format = nmea ? OutputFormat::NmeaV3 : OutputFormat::Aviation;
    state.portHandle = 3;
    FakeWindow window;
    window.seconds = SecondsPositions[flags >> 5];
    window.budget = budget;
    window.trigger = trigger;
    RecordingSink sink;
    FakeTerminal view;
    TerminalLog terminal;
    terminal.view = &view;
    Transmitter transmitter(state, sink, terminal);
    PlaybackEngine engine(state, window, transmitter);

    FUZZ_CHECK(engine.open(path.string()));
    FUZZ_CHECK(state.fileOpen);
    FUZZ_CHECK(window.caption == "Close file");
    FUZZ_CHECK(window.fileName == name);

    // Without Loop every tick moves on: it ends early only at its second trigger, having taken
    // the first, or after a budgeted line (NMEA: any line; Aviation: a CR, or a full buffer of
    // a line without one).
    const std::size_t tickLimit =
        loop ? static_cast<std::size_t>(loopTicks)
        : nmea
            ? 1 + nmeaLineCount(content)
            : 1 + countOf(content, '\r') + countOf(content, 2) + content.size() / LineBufferBytes;
    std::size_t ticks = 0;
    while (state.fileOpen && ticks < tickLimit) {
        const std::size_t recordsBefore = sink.records.size();
        const std::size_t waitsBefore = sink.waits;
        engine.PlaybackTick();
        ++ticks;
        const std::size_t records = sink.records.size() - recordsBefore;
        const std::size_t waits = sink.waits - waitsBefore;
        if (nmea) {
            // Every line read waits 10 ms, sent or not, and each one uses a budget.
            if (budget != 0)
                FUZZ_CHECK(waits <= static_cast<std::size_t>(budget));
            FUZZ_CHECK(records <= waits);
        }
        for (std::size_t i = recordsBefore; i < sink.records.size(); ++i) {
            if (nmea)
                checkNmeaRecord(sink.records[i]);
            else
                checkAviationPiece(sink.records[i]);
        }
        FUZZ_CHECK(view.lines <= terminal.VisibleLines);
    }

    std::size_t handed = 0;
    for (const auto& r : sink.records)
        handed += r.size();
    FUZZ_CHECK(transmitter.bytesHandedOver() == handed);

    if (loop) {
        // With Loop the file never closes by itself.
        FUZZ_CHECK(state.fileOpen);
        FUZZ_CHECK(engine.isOpen());
        return 0;
    }
    FUZZ_CHECK(!state.fileOpen);
    FUZZ_CHECK(!engine.isOpen());
    FUZZ_CHECK(window.caption == "Open file");
    FUZZ_CHECK(window.fileName.empty());
    if (nmea) {
        // Each sentence is sent as it stands in the file, in the file's order.
        std::size_t at = 0;
        for (const auto& r : sink.records) {
            const std::string_view text(r.data(), r.size() - 2);
            const std::size_t found = content.find(text, at);
            FUZZ_CHECK(found != std::string::npos);
            at = found + text.size();
        }
    } else {
        // The file's own bytes, some left out, nothing added; in order but for an ETX, which
        // leaves at once, ahead of bytes of its line still gathered.
        FUZZ_CHECK(handed <= content.size());
        std::string lines;
        std::size_t etx = 0;
        for (const auto& r : sink.records) {
            if (r == "\x03")
                ++etx;
            else
                lines += r;
        }
        FUZZ_CHECK(etx <= countOf(content, 3));
        FUZZ_CHECK(isSubsequence(lines, content));
    }
    return 0;
}
