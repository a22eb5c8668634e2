#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/AviationFieldTable.h"

// What the File page shows of a replay: the read-outs, and the file opened or closed.
class ReplayView {
public:
    virtual ~ReplayView() = default;
    virtual void readoutShown(Readout which, const std::string& text) = 0;
    virtual void fileOpened(const std::string& name) = 0; // the name without its directory
    virtual void fileClosed() = 0;
};

// The read-outs copy their text into fixed buffers: at most this many characters are used,
// the rest of a longer field is ignored.
inline constexpr std::size_t WaypointIdChars = 11;
inline constexpr std::size_t NumberChars = 19;

// "%6.2fnm" and "%6.1fkt", always with a point.
std::string RangeText(double value);
std::string SpeedText(double value);
// The number a read-out shows: the field's number (as cut to NumberChars) times scale.
double ReadoutValue(const char* text, int length, float scale);

// The route read-outs of the replayed records, and the speed calculated from the fall of the
// range. They last for the whole run: opening another file does not reset the calculated
// speed. A text is empty until something has been shown in it.
class Readouts {
public:
    void setView(ReplayView* v) { view = v; }
    const std::string& text(Readout which) const;

    // ShowWaypointId, ShowRange and ShowSpeed: `text` need not be terminated; a zero
    // character ends it early.
    void show(Readout which, const char* text, int length, float scale);
    // `line` is the sentence without its line end; `pauseSeconds` the seconds per tick.
    void GprmbReadout(std::string_view line, double pauseSeconds);
    void GprmcReadout(std::string_view line);

    float PreviousRange = 0.0f;
    // The sum of the ticks-per-hour factors since the last computation.
    std::int32_t SpeedTimeFactor = 0;

private:
    void set(Readout which, std::string text);

    ReplayView* view = nullptr;
    std::array<std::string, 5> texts{};
};
