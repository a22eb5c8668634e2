#include "engine/Readouts.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <vector>

#include "formats/FieldNumber.h"
#include "formats/NumberText.h"

namespace {

// Up to `length` characters, fewer if a zero comes first, never more than `limit`.
std::string_view copiedText(const char* text, int length, std::size_t limit) {
    if (text == nullptr || length <= 0)
        return {};
    std::size_t n = 0;
    const auto wanted = static_cast<std::size_t>(length);
    while (n < wanted && n < limit && text[n] != '\0')
        ++n;
    return {text, n};
}

std::vector<std::size_t> commaPositions(std::string_view line) {
    std::vector<std::size_t> commas;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == ',')
            commas.push_back(i);
    }
    return commas;
}

// A range beyond what a float holds becomes an infinity rather than an undefined conversion.
float toFloat(double value) {
    if (value > FLT_MAX)
        return std::numeric_limits<float>::infinity();
    if (value < -FLT_MAX)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

int lengthOf(std::size_t begin, std::size_t end) {
    return static_cast<int>(std::min<std::size_t>(end - begin, INT_MAX));
}

} // namespace

std::string RangeText(double value) { return FormatFixed(value, 2, 6) + "nm"; }

std::string SpeedText(double value) { return FormatFixed(value, 1, 6) + "kt"; }

double ReadoutValue(const char* text, int length, float scale) {
    return FieldNumber(copiedText(text, length, NumberChars)) * static_cast<double>(scale);
}

const std::string& Readouts::text(Readout which) const {
    return texts[static_cast<std::size_t>(which)];
}

void Readouts::set(Readout which, std::string text) {
    texts[static_cast<std::size_t>(which)] = std::move(text);
    if (view)
        view->readoutShown(which, texts[static_cast<std::size_t>(which)]);
}

void Readouts::show(Readout which, const char* text, int length, float scale) {
    switch (which) {
    case Readout::WaypointId:
        set(which, std::string(copiedText(text, length, WaypointIdChars)));
        break;
    case Readout::Range:
        set(which, RangeText(ReadoutValue(text, length, scale)));
        break;
    case Readout::Speed:
        set(which, SpeedText(ReadoutValue(text, length, scale)));
        break;
    case Readout::None:
    case Readout::CalculatedSpeed:
        break;
    }
}

void Readouts::GprmbReadout(std::string_view line, double pauseSeconds) {
    const auto commas = commaPositions(line);
    // Field n runs from after the n-th comma to the next one, and counts only if that comma
    // is there: field 5 is the destination waypoint, field 10 the range in nautical miles.
    if (commas.size() >= 6) {
        const std::size_t begin5 = commas[4] + 1;
        const std::size_t end5 = commas[5];
        if (end5 > begin5)
            show(Readout::WaypointId, line.data() + begin5, lengthOf(begin5, end5), 1.0f);
        if (commas.size() >= 11) {
            const std::size_t begin10 = commas[9] + 1;
            const std::size_t end10 = commas[10];
            if (end10 > begin10) {
                const int length = lengthOf(begin10, end10);
                show(Readout::Range, line.data() + begin10, length, 1.0f);
                const double range = ReadoutValue(line.data() + begin10, length, 1.0f);
                if (SpeedTimeFactor != 0) {
                    const double speed =
                        SpeedTimeFactor * (static_cast<double>(PreviousRange) - range);
                    set(Readout::CalculatedSpeed, SpeedText(speed));
                    PreviousRange = toFloat(range);
                    SpeedTimeFactor = 0;
                }
            }
        }
    }
    // Ticks per hour, whole; the seconds are never below 1 ms, and a bad value must not divide
    // by 0.
    const double perHour = 3600.0 / std::max(pauseSeconds, 0.001);
    const auto factor = static_cast<std::int32_t>(std::min(perHour, double{INT32_MAX}));
    SpeedTimeFactor = SpeedTimeFactor > INT32_MAX - factor ? INT32_MAX : SpeedTimeFactor + factor;
}

void Readouts::GprmcReadout(std::string_view line) {
    const auto commas = commaPositions(line);
    if (commas.size() < 7)
        return;
    const std::size_t begin = commas[6] + 1;
    // An empty field 7 followed by more fields leaves the speed alone; one at the very end
    // of the line shows 0.
    if (begin < line.size() && line[begin] == ',')
        return;
    const std::size_t end = commas.size() >= 8 ? commas[7] : line.size();
    show(Readout::Speed, line.data() + begin, lengthOf(begin, end), 1.0f);
}
