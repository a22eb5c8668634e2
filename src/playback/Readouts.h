#pragma once
#include <cstddef>
#include <string>

class ReadoutWindow;

// The read-outs copy their text into fixed buffers: at most this many characters are used,
// the rest of a longer field is ignored.
inline constexpr std::size_t WaypointIdChars = 11;
inline constexpr std::size_t NumberChars = 19;

// The three read-out operations, alike so that they can stand in the Aviation field table.
// text need not be terminated; a zero character ends it early.
void ShowWaypointId(ReadoutWindow& window, const char* text, int length, float scale);
void ShowRange(ReadoutWindow& window, const char* text, int length, float scale);
void ShowSpeed(ReadoutWindow& window, const char* text, int length, float scale);

// The value ShowRange and ShowSpeed show: the field's number (as cut to NumberChars) times scale.
double ReadoutValue(const char* text, int length, float scale);

// "%6.2fnm" and "%6.1fkt", always with a point.
std::string RangeText(double value);
std::string SpeedText(double value);
