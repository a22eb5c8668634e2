#pragma once
#include <cstdint>
#include <string_view>

class ReadoutWindow;

// Route read-outs from replayed $GPRMB and $GPRMC lines, and the speed calculated from the
// fall of the range. One instance lives for the whole run: opening another file does not
// reset the calculated speed.
class NmeaReadout {
public:
    explicit NmeaReadout(ReadoutWindow& window);

    // `line` is the sentence without its line end.
    void GprmbReadout(std::string_view line);
    void GprmcReadout(std::string_view line);

    float PreviousRange = 0.0f;
    // The sum of the ticks-per-hour factors since the last computation.
    std::int32_t SpeedTimeFactor = 0;

private:
    ReadoutWindow& window;
};
