#include "playback/Readouts.h"

#include <string_view>

#include "emulator/NumberText.h"
#include "playback/FieldNumber.h"
#include "playback/PlaybackWindow.h"

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

} // namespace

std::string RangeText(double value) { return FormatFixed(value, 2, 6) + "nm"; }

std::string SpeedText(double value) { return FormatFixed(value, 1, 6) + "kt"; }

double ReadoutValue(const char* text, int length, float scale) {
    return FieldNumber(copiedText(text, length, NumberChars)) * static_cast<double>(scale);
}

void ShowWaypointId(ReadoutWindow& window, const char* text, int length, float /*scale*/) {
    window.setWaypointIdText(std::string(copiedText(text, length, WaypointIdChars)));
}

void ShowRange(ReadoutWindow& window, const char* text, int length, float scale) {
    window.setRangeText(RangeText(ReadoutValue(text, length, scale)));
}

void ShowSpeed(ReadoutWindow& window, const char* text, int length, float scale) {
    window.setSpeedText(SpeedText(ReadoutValue(text, length, scale)));
}
