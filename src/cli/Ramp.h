#pragma once
#include <optional>
#include <string>

// A value moved linearly from `from` to `to` over `seconds`, one step per tick.
struct Ramp {
    double from = 0.0;
    double to = 0.0;
    double seconds = 1.0;

    // The value at tick k (the first tick is 0) when ticks are `period` seconds apart; it
    // stays at `to` once the ramp is over.
    double at(long long tick, double period) const;
};

// "FROM:TO:SECONDS", numbers with a point whatever the locale, SECONDS above 0, TO - FROM
// finite.
std::optional<Ramp> ParseRamp(const std::string& text);

// A finite number with a point whatever the locale, an optional sign, nothing around it.
std::optional<double> ParseNumber(const std::string& text);

// A number as a user would type it into an edit: the shortest text that reads back exactly,
// with a point.
std::string NumberForEdit(double value);
