#include "playback/NmeaReadout.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <limits>
#include <vector>

#include "playback/PlaybackWindow.h"
#include "playback/Readouts.h"

namespace {

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

NmeaReadout::NmeaReadout(ReadoutWindow& w) : window(w) {}

void NmeaReadout::GprmbReadout(std::string_view line) {
    const auto commas = commaPositions(line);
    // Field n runs from after the n-th comma to the next one, and counts only if that comma
    // is there: field 5 is the destination waypoint, field 10 the range in nautical miles.
    if (commas.size() >= 6) {
        const std::size_t begin5 = commas[4] + 1;
        const std::size_t end5 = commas[5];
        if (end5 > begin5)
            ShowWaypointId(window, line.data() + begin5, lengthOf(begin5, end5), 1.0f);
        if (commas.size() >= 11) {
            const std::size_t begin10 = commas[9] + 1;
            const std::size_t end10 = commas[10];
            if (end10 > begin10) {
                const int length = lengthOf(begin10, end10);
                ShowRange(window, line.data() + begin10, length, 1.0f);
                const double range = ReadoutValue(line.data() + begin10, length, 1.0f);
                if (SpeedTimeFactor != 0) {
                    const double speed =
                        SpeedTimeFactor * (static_cast<double>(PreviousRange) - range);
                    window.setCalculatedSpeedText(SpeedText(speed));
                    PreviousRange = toFloat(range);
                    SpeedTimeFactor = 0;
                }
            }
        }
    }
    // Ticks per hour; the up-down never goes below 1, but a bad position must not divide by 0.
    const int seconds = std::max(1, window.pauseSecondsPosition());
    const int factor = 3600 / seconds;
    SpeedTimeFactor = SpeedTimeFactor > INT32_MAX - factor ? INT32_MAX : SpeedTimeFactor + factor;
}

void NmeaReadout::GprmcReadout(std::string_view line) {
    const auto commas = commaPositions(line);
    if (commas.size() < 7)
        return;
    const std::size_t begin = commas[6] + 1;
    // An empty field 7 followed by more fields leaves the speed alone; one at the very end
    // of the line shows 0.
    if (begin < line.size() && line[begin] == ',')
        return;
    const std::size_t end = commas.size() >= 8 ? commas[7] : line.size();
    ShowSpeed(window, line.data() + begin, lengthOf(begin, end), 1.0f);
}
