// The replay of an arbitrary recorded file, tick by tick, as the output tick drives it.
//
// Input: flags, budget, trigger length, the trigger, then the file.
//   flags bit 0: NMEA file (else Aviation); bit 1: Loop; bits 2-4: ticks run with Loop, less
//   one; bits 5-7: the seconds per tick (two of them refused). budget: records per tick,
//   byte % 101 (0: none).
#include <fstream>
#include <vector>

#include "FuzzSupport.h"
#include "core/Fakes.h"
#include "engine/Port.h"
#include "engine/Replay.h"
#include "engine/Simulator.h"
#include "engine/TransmitLine.h"
#include "line/LineWriter.h"
#include "settings/SettingsStore.h"

namespace {

constexpr std::size_t LineBufferBytes = Replay::LineBufferSize - 1; // less the zero

// The records handed to the line, and the File page told of the file's end.
struct Rig : RecordSink, ReplayView {
    bool submit(PortHandle, std::string bytes) override {
        records.push_back(std::move(bytes));
        return true;
    }
    void wait10ms() override { ++waits; }
    void readoutShown(Readout, const std::string&) override {}
    void fileOpened(const std::string&) override {}
    void fileClosed() override { ++closes; }
    std::vector<std::string> records;
    std::size_t waits = 0, closes = 0;
};

// Lines as the engine reads them (through the next LF, at most 131 characters), or one more.
std::size_t nmeaLineCount(std::string_view file) {
    std::size_t count = 0;
    for (std::string_view line : fuzzsupport::split(file, '\n'))
        count += line.size() / LineBufferBytes + 1;
    return count;
}

// True when `part` can be found in `whole` with its bytes in order, others left out.
bool isSubsequence(std::string_view part, std::string_view whole) {
    std::size_t j = 0;
    for (char c : part) {
        j = whole.find(c, j);
        if (j++ == std::string_view::npos)
            return false;
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
    const bool nmea = (flags & 1) != 0, loop = (flags & 2) != 0;
    static constexpr double Seconds[8] = {1, 2, 0.5, 7, 100, 1e-6, 0, -3};
    const int budget = data[1] % 101;
    const std::size_t triggerLength = std::min<std::size_t>(data[2] % 16, size - 3);
    const std::string trigger(reinterpret_cast<const char*>(data + 3), triggerLength);
    const std::string content(reinterpret_cast<const char*>(data + 3 + triggerLength),
                              size - 3 - triggerLength);
    const auto path = fuzzsupport::privateDirectory("tarrow-fuzz-playback") /
                      (nmea ? "replay.nmea" : "replay.avi");
    FUZZ_CHECK((std::ofstream(path, std::ios::binary) << content).good());

    // The replay and its Transmitter as the engine builds them; the records go to the rig.
    FakeSerialDevice device;
    LineWriter writer(device);
    SerialLink link(device, writer);
    FileSettingsStore settings("");
    FakeMessageBox boxes;
    Port port(link, settings, boxes);
    Simulator simulator(port);
    Rig rig;
    FakeTerminal pane;
    TerminalLog terminal;
    terminal.view = &pane;
    Transmitter transmitter(simulator.values(), link, rig, terminal);
    Replay replay(simulator, transmitter);
    link.UsePort(3);
    replay.setView(&rig);
    replay.setFileType(nmea); // and so the output format and its line ends
    replay.setLoop(loop);
    replay.setRecordsPerTick(budget);
    replay.setTrigger(trigger);
    const double seconds = Seconds[flags >> 5];
    FUZZ_CHECK(replay.setPauseSeconds(seconds).ok == (seconds > 0));
    FUZZ_CHECK(replay.open(path.string()).ok && replay.isOpen());

    // Without Loop every tick moves on: it ends early only at its second trigger, having taken
    // the first, or after a budgeted line (NMEA: any line; Aviation: a CR, or a full buffer of
    // a line without one).
    const auto count = [&](char byte) {
        return static_cast<std::size_t>(std::count(content.begin(), content.end(), byte));
    };
    const std::size_t tickLimit =
        loop   ? 1 + static_cast<std::size_t>((flags >> 2) & 7)
        : nmea ? 1 + nmeaLineCount(content)
               : 1 + count('\r') + count('\x02') + content.size() / LineBufferBytes;
    std::size_t at = 0, etx = 0; // how far into the file the NMEA records are; ETX pieces
    std::string pieces;          // the other Aviation pieces
    for (std::size_t tick = 0; replay.isOpen() && tick < tickLimit; ++tick) {
        const std::size_t first = rig.records.size(), waitsBefore = rig.waits;
        replay.PlaybackTick();
        // NMEA: every line read waits 10 ms, sent or not, and each one uses a budget.
        const std::size_t waits = rig.waits - waitsBefore;
        FUZZ_CHECK(!nmea || budget == 0 || waits <= static_cast<std::size_t>(budget));
        FUZZ_CHECK(!nmea || rig.records.size() - first <= waits);
        for (std::size_t i = first; i < rig.records.size(); ++i) {
            const std::string& r = rig.records[i];
            if (!nmea) {
                // Nothing is appended and nothing leaves larger than the line buffer holds.
                FUZZ_CHECK(!r.empty() && r.size() <= LineBufferBytes);
                r == "\x03" ? void(++etx) : void(pieces += r);
                continue;
            }
            // A sentence as it stands in the file, in the file's order (from its start again
            // with Loop), with CR LF and no other line end.
            FUZZ_CHECK(r.starts_with("$GPRMB") || r.starts_with("$GPRMC"));
            FUZZ_CHECK(r.size() >= 8 && r.size() <= LineBufferBytes + 2 && r.ends_with("\r\n"));
            const std::string_view text(r.data(), r.size() - 2);
            FUZZ_CHECK(text.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
            at = content.find(text, loop ? 0 : at);
            FUZZ_CHECK(at != std::string::npos);
            at += text.size();
        }
    }

    // With Loop the file never closes by itself; without, it has closed, and the page knows.
    FUZZ_CHECK(replay.isOpen() == loop && rig.closes == (loop ? 0u : 1u));
    // Aviation without Loop: the file's own bytes, some left out, nothing added; in order but
    // for an ETX, which leaves at once, ahead of bytes of its line still gathered.
    FUZZ_CHECK(nmea || loop || (etx <= count('\x03') && isSubsequence(pieces, content)));
    return 0;
}
