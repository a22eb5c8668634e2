#pragma once
#include <chrono>
#include <string>

// Locale-independent printf-style pieces for record text: always a point.
// "%w.pf" with the usual width (spaces) or zero padding.
std::string FormatFixed(double value, int precision, int width = 0, bool zeroPad = false);

// Picture formats such as "#0.00" or "###0": at least one integer digit and exactly
// `decimals` decimals, rounded half away from zero on the shortest decimal text of the
// value. The point is replaced by `point` (the user's decimal separator).
std::string FormatPicture(float value, int decimals, char point = '.');
std::string FormatPicture(double value, int decimals, char point = '.');

// Narrows to float, saturating at the largest finite float instead of overflowing.
float SaturatedFloat(double value);

// A UTC instant as NMEA writes it: "hhmmss.ss", and the day, month and four-digit year.
struct UtcText {
    std::string clock;
    int day, month, year;
};
UtcText UtcTextOf(std::chrono::system_clock::time_point utc);
