// The replay of an arbitrary recorded file, tick by tick, as the output tick drives it.
//
// Input: flags, budget, trigger length, the trigger, then the file.
//   flags bit 0: NMEA file (else Aviation); bit 1: Loop; bits 2-4: ticks run with Loop, less
//   one; bits 5-7: the seconds per tick (two of them refused). budget: records per tick,
//   byte % 101 (0: none).
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "engine/MessageBoxSeam.h"
#include "engine/Port.h"
#include "engine/Replay.h"
#include "engine/Simulator.h"
#include "engine/TransmitLine.h"
#include "line/LineWriter.h"
#include "line/SerialLink.h"
#include "settings/SettingsStore.h"

namespace {

using fuzzsupport::isFixedReadout;

constexpr std::size_t LineBufferBytes = Replay::LineBufferSize - 1; // less the zero

class FakeView : public ReplayView {
public:
    void readoutShown(Readout which, const std::string& text) override {
        FUZZ_CHECK(which != Readout::None);
        switch (which) {
        case Readout::WaypointId:
            FUZZ_CHECK(text.size() <= WaypointIdChars);
            FUZZ_CHECK(text.find('\0') == std::string::npos);
            break;
        case Readout::Range:
            FUZZ_CHECK(isFixedReadout(text, 2, "nm"));
            break;
        case Readout::Speed:
        case Readout::CalculatedSpeed:
            FUZZ_CHECK(isFixedReadout(text, 1, "kt"));
            break;
        case Readout::None:
            break;
        }
    }
    void fileOpened(const std::string& name) override { fileName = name; }
    void fileClosed() override {
        fileName.reset();
        ++closes;
    }

    std::optional<std::string> fileName; // while the page shows a file open
    int closes = 0;
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

// A line that takes every call; the records go to the sink instead.
class NullDevice : public SerialDevice {
public:
    PortHandle open(const std::string&) override { return 3; }
    bool getLineState(PortHandle, LineState&) override { return true; }
    bool setLineState(PortHandle, const LineState&) override { return true; }
    bool getTimeouts(PortHandle, Timeouts&) override { return true; }
    bool setTimeouts(PortHandle, const Timeouts&) override { return true; }
    bool lineControl(PortHandle, LineControl) override { return true; }
    bool write(PortHandle, const std::uint8_t*, std::size_t) override { return true; }
    bool close(PortHandle) override { return true; }
};

class NoBoxes : public MessageBoxSeam {
public:
    MsgResult show(const std::string&, const std::string&, MsgIcon, MsgButtons) override {
        return MsgResult::Ok;
    }
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
    static constexpr double Seconds[8] = {1, 2, 0.5, 7, 100, 1e-6, 0, -3};
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

    // The replay and its Transmitter as the engine builds them; the records go to the sink.
    NullDevice device;
    LineWriter writer(device);
    SerialLink link(device, writer);
    FileSettingsStore settings("");
    NoBoxes boxes;
    Port port(link, settings, boxes);
    Simulator simulator(port);
    RecordingSink sink;
    FakeTerminal pane;
    TerminalLog terminal;
    terminal.view = &pane;
    Transmitter transmitter(simulator.values(), link, sink, terminal);
    Replay replay(simulator, transmitter);
    link.UsePort(3);
    FakeView page;
    replay.setView(&page);

    // The file type sets the output format, and so the line ends.
    replay.setFileType(nmea);
    replay.setLoop(loop);
    FUZZ_CHECK(replay.setRecordsPerTick(budget) == budget);
    replay.setTrigger(trigger);
    const double seconds = Seconds[flags >> 5];
    FUZZ_CHECK(replay.setPauseSeconds(seconds).ok == (seconds > 0));

    FUZZ_CHECK(replay.open(path.string()).ok);
    FUZZ_CHECK(replay.isOpen());
    FUZZ_CHECK(page.fileName == name);

    // Without Loop every tick moves on: it ends early only at its second trigger, having taken
    // the first, or after a budgeted line (NMEA: any line; Aviation: a CR, or a full buffer of
    // a line without one).
    const std::size_t tickLimit = loop   ? static_cast<std::size_t>(loopTicks)
                                  : nmea ? 1 + nmeaLineCount(content)
                                         : 1 + countOf(content, '\r') + countOf(content, 2) +
                                               content.size() / LineBufferBytes;
    std::size_t ticks = 0;
    while (replay.isOpen() && ticks < tickLimit) {
        const std::size_t recordsBefore = sink.records.size();
        const std::size_t waitsBefore = sink.waits;
        replay.PlaybackTick();
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
        FUZZ_CHECK(pane.lines <= terminal.VisibleLines);
    }

    std::size_t handed = 0;
    for (const auto& r : sink.records)
        handed += r.size();
    FUZZ_CHECK(transmitter.bytesHandedOver() == handed);

    if (loop) {
        // With Loop the file never closes by itself.
        FUZZ_CHECK(replay.isOpen());
        FUZZ_CHECK(page.fileName == name && page.closes == 0);
        return 0;
    }
    FUZZ_CHECK(!replay.isOpen());
    FUZZ_CHECK(!page.fileName && page.closes == 1);
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
