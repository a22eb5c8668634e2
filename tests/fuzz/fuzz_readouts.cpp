// The File page's route read-outs on arbitrary lines.
//
// Input: lines separated by LF (a recorded file works as it is). A line is cut at its first CR,
// as the replay cuts it. "$GPRMB" and "$GPRMC" lines go to the NMEA read-outs; a line starting
// with an Aviation letter goes to its row's read-out (none for most letters) with the row's
// width of value characters; any other line calls one read-out directly: its first byte chooses
// which and how many of the following bytes it is given. The seconds per tick, 0.25 to 100 in
// quarters, come from the input's length, so that a recorded file still reads as it is.
#include <map>

#include "FuzzSupport.h"
#include "engine/Readouts.h"
#include "formats/AviationFieldTable.h"

namespace {

using fuzzsupport::ExactBuffer;
using Shown = std::map<Readout, std::string>;

// What the File page was told since the last line.
struct FakeView : ReplayView {
    void readoutShown(Readout which, const std::string& text) override { shown[which] = text; }
    void fileOpened(const std::string&) override {}
    void fileClosed() override {}
    Shown shown;
};

// The number a read-out reads of a field: from at most nineteen characters, up to a zero.
double numberOf(std::string_view field) {
    return fuzzsupport::referenceFieldNumber(field.substr(0, NumberChars));
}

// What a read-out shows of `given`: the waypoint at most eleven characters, up to a zero; the
// number scaled, as "%6.2fnm" for the range and "%6.1fkt" for the speed, as C prints it.
std::string textOf(Readout which, std::string_view given, float scale = 1.0f) {
    if (which != Readout::WaypointId)
        return fuzzsupport::printC(which == Readout::Range ? "%6.2fnm" : "%6.1fkt",
                                   numberOf(given) * static_cast<double>(scale));
    given = given.substr(0, WaypointIdChars);
    return std::string(given.substr(0, given.find('\0')));
}

void gprmb(Readouts& readouts, const Shown& shown, std::string_view line, int quarters) {
    const float previousRange = readouts.PreviousRange;
    const std::int32_t factor = readouts.SpeedTimeFactor;
    readouts.GprmbReadout(ExactBuffer(line).view, quarters / 4.0);

    // Fields 5 (waypoint) and 10 (range) count when a comma follows and show unless empty. From
    // the second range on, the speed: its fall times the ticks per hour summed since the last.
    using enum Readout;
    const auto f = fuzzsupport::split(line, ',');
    const std::string_view id = f.size() > 6 ? f[5] : "", range = f.size() > 11 ? f[10] : "";
    Shown want;
    if (!id.empty())
        want[WaypointId] = textOf(WaypointId, id);
    if (!range.empty())
        want[Range] = textOf(Range, range);
    const bool computed = !range.empty() && factor != 0;
    if (computed)
        want[CalculatedSpeed] = fuzzsupport::printC(
            "%6.1fkt", factor * (static_cast<double>(previousRange) - numberOf(range)));
    FUZZ_CHECK(shown == want);
    const std::int32_t step = 4 * 3600 / quarters, sum = computed ? 0 : factor;
    FUZZ_CHECK(readouts.SpeedTimeFactor == (sum > INT32_MAX - step ? INT32_MAX : sum + step));
}

void gprmc(Readouts& readouts, const Shown& shown, std::string_view line) {
    readouts.GprmcReadout(ExactBuffer(line).view);
    // The speed is field 7, which may end the line; empty and followed by more fields it shows
    // nothing, at the end of the line 0.
    const auto f = fuzzsupport::split(line, ',');
    const bool shows = f.size() > 7 && !(f[7].empty() && f.size() > 8);
    FUZZ_CHECK(shown == (shows ? Shown{{Readout::Speed, textOf(Readout::Speed, f[7])}} : Shown()));
}

// One read-out given `length` characters of `text`; most Aviation letters have none.
void show(Readouts& readouts, const Shown& shown, const AviationField& row, std::string_view text,
          int length) {
    readouts.show(row.readout, ExactBuffer(text).bytes.get(), length, row.scale);
    const std::string_view given = text.substr(0, static_cast<std::size_t>(std::max(0, length)));
    FUZZ_CHECK(shown == (row.readout == Readout::None
                             ? Shown()
                             : Shown{{row.readout, textOf(row.readout, given, row.scale)}}));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::useCommaLocale();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const int quarters = 1 + static_cast<int>(size % 400);
    FakeView view;
    Readouts readouts;
    readouts.setView(&view);

    for (std::string_view line : fuzzsupport::split(input, '\n')) {
        line = line.substr(0, std::min(line.size(), line.find('\r')));
        if (line.empty())
            continue;
        view.shown.clear();
        if (line.starts_with("$GPRMB")) {
            gprmb(readouts, view.shown, line, quarters);
        } else if (line.starts_with("$GPRMC")) {
            gprmc(readouts, view.shown, line);
        } else if (const auto* row = FindAviationField(static_cast<unsigned char>(line[0]))) {
            // The row's width of value characters, as the scanner gathers them (the end of the
            // file reads as 0xFF).
            std::string value(line.substr(1, static_cast<std::size_t>(row->width)));
            value.resize(static_cast<std::size_t>(row->width), '\xff');
            show(readouts, view.shown, *row, value, row->width);
        } else {
            // The rows of the waypoint, the range and the speed. The second byte gives the
            // length, from below zero to the whole text; the text is never shorter than that.
            const auto* direct = FindAviationField("KED"[static_cast<unsigned char>(line[0]) % 3]);
            const std::string_view text = line.substr(std::min<std::size_t>(2, line.size()));
            const int choice = line.size() >= 2 ? static_cast<unsigned char>(line[1]) : 0;
            const int length = choice % (static_cast<int>(text.size()) + 3) - 2;
            show(readouts, view.shown, *direct, text,
                 std::min(length, static_cast<int>(text.size())));
        }
        // What the read-outs hold is what they last showed.
        for (const auto& [which, text] : view.shown)
            FUZZ_CHECK(readouts.text(which) == text);
    }
    return 0;
}
