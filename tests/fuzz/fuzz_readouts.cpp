// The File page's route read-outs on arbitrary lines.
//
// Input: lines separated by LF (a recorded file works as it is). A line is cut at its first CR,
// as the replay cuts it. "$GPRMB" and "$GPRMC" lines go to the NMEA read-outs; a line starting
// with an Aviation letter goes to its row's read-out (none for most letters) with the row's
// width of value characters; any other line calls one read-out directly: its first byte chooses
// which and how many of the following bytes it is given. The seconds per tick, 0.25 to 100 in
// quarters, come from the input's length, so that a recorded file still reads as it is.
#include <cfloat>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "engine/Readouts.h"
#include "formats/AviationFieldTable.h"

namespace {

using fuzzsupport::ExactBuffer;
using fuzzsupport::isFixedReadout;
using fuzzsupport::readoutNumber;
using fuzzsupport::referenceFieldNumber;
using fuzzsupport::untilZero;

// The texts the File page was told of, none until one is shown.
struct Shown {
    std::optional<std::string> waypoint, range, speed, calc;

    std::optional<std::string>* of(Readout which) {
        switch (which) {
        case Readout::WaypointId:
            return &waypoint;
        case Readout::Range:
            return &range;
        case Readout::Speed:
            return &speed;
        case Readout::CalculatedSpeed:
            return &calc;
        case Readout::None:
            break;
        }
        return nullptr;
    }
    bool operator==(const Shown&) const = default;
};

class FakeView : public ReplayView {
public:
    void readoutShown(Readout which, const std::string& text) override {
        auto* slot = shown.of(which);
        FUZZ_CHECK(slot != nullptr);
        *slot = text;
    }
    void fileOpened(const std::string&) override {}
    void fileClosed() override {}

    Shown shown;
};

// The number a read-out shows of a field: its first NumberChars characters, up to a zero.
double fieldValue(std::string_view field, float scale) {
    const std::string_view used = untilZero(field.substr(0, NumberChars));
    return referenceFieldNumber(used) * static_cast<double>(scale);
}

// Half a unit of the last decimal shown, and what printing a double may add to that.
bool closeTo(double shown, double value, int decimals) {
    if (std::isnan(value))
        return std::isnan(shown);
    if (std::isinf(value))
        return shown == value;
    const double half = 0.5 * std::pow(10.0, -decimals);
    return std::fabs(shown - value) <= half * (1 + 1e-9) + std::fabs(value) * 4 * DBL_EPSILON;
}

void checkNumberText(const std::optional<std::string>& text, double value, int decimals,
                     std::string_view unit) {
    FUZZ_CHECK(text.has_value());
    FUZZ_CHECK(isFixedReadout(*text, decimals, unit));
    FUZZ_CHECK(closeTo(readoutNumber(*text, unit), value, decimals));
}

// A field that is a plain decimal (digits, at most `decimals` of them after an optional
// point, short enough for a double to hold exactly what is shown) reads back as written.
std::optional<std::string> plainDecimal(std::string_view field, int decimals) {
    const std::size_t point = field.find('.');
    const std::string_view whole = field.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : field.substr(point + 1);
    if (whole.size() + fraction.size() == 0 || whole.size() > 12 ||
        fraction.size() > static_cast<std::size_t>(decimals))
        return std::nullopt;
    for (char c : whole)
        if (!fuzzsupport::isDigit(c))
            return std::nullopt;
    for (char c : fraction)
        if (!fuzzsupport::isDigit(c))
            return std::nullopt;
    std::string digits(whole.substr(std::min(whole.find_first_not_of('0'), whole.size())));
    if (digits.empty())
        digits = "0";
    std::string text = digits + "." + std::string(fraction);
    text.append(static_cast<std::size_t>(decimals) - fraction.size(), '0');
    if (text.size() < 6)
        text.insert(0, 6 - text.size(), ' ');
    return text;
}

std::vector<std::size_t> commas(std::string_view line) {
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < line.size(); ++i)
        if (line[i] == ',')
            at.push_back(i);
    return at;
}

struct Before {
    Shown window;
    float previousRange;
    std::int32_t factor;
};

// Whole ticks per hour at `quarters` quarter seconds a tick.
std::int32_t ticksPerHour(int quarters) { return 4 * 3600 / quarters; }

void gprmb(Readouts& readout, Shown& window, std::string_view line, int quarters) {
    const Before before{window, readout.PreviousRange, readout.SpeedTimeFactor};
    const ExactBuffer copy(line);
    readout.GprmbReadout(copy.view(), quarters / 4.0);

    const auto c = commas(line);
    const std::string_view field5 =
        c.size() >= 6 ? line.substr(c[4] + 1, c[5] - c[4] - 1) : std::string_view();
    if (!field5.empty()) {
        // At most eleven characters, the field's own, cut at a zero.
        const std::string_view shown = untilZero(field5.substr(0, WaypointIdChars));
        FUZZ_CHECK(window.waypoint == std::string(shown));
    } else {
        FUZZ_CHECK(window.waypoint == before.window.waypoint);
    }

    const std::string_view field10 =
        c.size() >= 11 ? line.substr(c[9] + 1, c[10] - c[9] - 1) : std::string_view();
    const std::int32_t step = ticksPerHour(quarters);
    if (field10.empty()) {
        FUZZ_CHECK(window.range == before.window.range);
        FUZZ_CHECK(window.calc == before.window.calc);
        FUZZ_CHECK(readout.PreviousRange == before.previousRange ||
                   (std::isnan(readout.PreviousRange) && std::isnan(before.previousRange)));
        FUZZ_CHECK(readout.SpeedTimeFactor ==
                   (before.factor > INT32_MAX - step ? INT32_MAX : before.factor + step));
        return;
    }
    const double range = fieldValue(field10, 1.0f);
    checkNumberText(window.range, range, 2, "nm");
    if (const auto plain = plainDecimal(field10, 2))
        FUZZ_CHECK(*window.range == *plain + "nm");
    if (before.factor == 0) {
        // The first range of a run only sets the time factor going.
        FUZZ_CHECK(window.calc == before.window.calc);
        FUZZ_CHECK(readout.SpeedTimeFactor == step);
        FUZZ_CHECK(readout.PreviousRange == before.previousRange ||
                   (std::isnan(readout.PreviousRange) && std::isnan(before.previousRange)));
        return;
    }
    // The fall of the range times the ticks per hour since the last computation.
    const double speed = before.factor * (static_cast<double>(before.previousRange) - range);
    checkNumberText(window.calc, speed, 1, "kt");
    FUZZ_CHECK(readout.SpeedTimeFactor == step);
    if (std::isnan(range))
        FUZZ_CHECK(std::isnan(readout.PreviousRange));
    else if (range > FLT_MAX || range < -FLT_MAX)
        FUZZ_CHECK(std::isinf(readout.PreviousRange) && (readout.PreviousRange > 0) == (range > 0));
    else
        FUZZ_CHECK(readout.PreviousRange == static_cast<float>(range));
}

void gprmc(Readouts& readout, Shown& window, std::string_view line) {
    const Shown before = window;
    const float previousRange = readout.PreviousRange;
    const std::int32_t factor = readout.SpeedTimeFactor;
    const ExactBuffer copy(line);
    readout.GprmcReadout(copy.view());

    FUZZ_CHECK(window.range == before.range && window.calc == before.calc &&
               window.waypoint == before.waypoint);
    FUZZ_CHECK(readout.SpeedTimeFactor == factor);
    FUZZ_CHECK(readout.PreviousRange == previousRange ||
               (std::isnan(previousRange) && std::isnan(readout.PreviousRange)));
    const auto c = commas(line);
    // An empty speed followed by more fields leaves the read-out alone; at the end it shows 0.
    if (c.size() < 7 || (c[6] + 1 < line.size() && line[c[6] + 1] == ',')) {
        FUZZ_CHECK(window.speed == before.speed);
        return;
    }
    const std::size_t end = c.size() >= 8 ? c[7] : line.size();
    const std::string_view field7 = line.substr(c[6] + 1, end - c[6] - 1);
    checkNumberText(window.speed, fieldValue(field7, 1.0f), 1, "kt");
    if (const auto plain = plainDecimal(field7, 1))
        FUZZ_CHECK(*window.speed == *plain + "kt");
}

void show(Readouts& readouts, Shown& window, const AviationField& row, std::string_view text,
          int length) {
    // Start from no texts, so that the one read-out set shows.
    window = Shown();
    const ExactBuffer copy(text);
    readouts.show(row.readout, copy.data(), length, row.scale);
    const std::string_view given = text.substr(0, static_cast<std::size_t>(std::max(0, length)));
    switch (row.readout) {
    case Readout::WaypointId:
        FUZZ_CHECK(window.waypoint.has_value());
        FUZZ_CHECK(*window.waypoint == std::string(untilZero(given.substr(0, WaypointIdChars))));
        FUZZ_CHECK(!window.range && !window.speed && !window.calc);
        break;
    case Readout::Range:
        checkNumberText(window.range, fieldValue(given, row.scale), 2, "nm");
        FUZZ_CHECK(!window.waypoint && !window.speed && !window.calc);
        break;
    case Readout::Speed:
        checkNumberText(window.speed, fieldValue(given, row.scale), 1, "kt");
        FUZZ_CHECK(!window.waypoint && !window.range && !window.calc);
        break;
    default:
        // Most letters have no read-out: nothing shows.
        FUZZ_CHECK(window == Shown());
        return;
    }
    // What the read-outs hold is what they last showed.
    FUZZ_CHECK(readouts.text(row.readout) == **window.of(row.readout));
}

// An Aviation line: the row's width of value characters after the letter, as the scanner
// gathers them (the end of the file reads as 0xFF).
void aviation(Readouts& readouts, Shown& window, const AviationField& row, std::string_view line) {
    std::string value(line.substr(1, static_cast<std::size_t>(row.width)));
    value.resize(static_cast<std::size_t>(row.width), '\xff');
    show(readouts, window, row, value, row.width);
    bool digits = true;
    for (char ch : value)
        digits = digits && fuzzsupport::isDigit(ch);
    if (!digits)
        return;
    // Whole knots and tenths of a nautical mile, as the records carry them.
    const long n = std::stol(value);
    if (row.readout == Readout::Speed)
        FUZZ_CHECK(*window.speed == fuzzsupport::printC("%4ld.0kt", n));
    else if (row.readout == Readout::Range)
        FUZZ_CHECK(*window.range == fuzzsupport::printC("%3ld.%ld0nm", n / 10, n % 10));
}

const AviationField* readoutRow(Readout which) {
    for (const auto& row : AviationFieldTable)
        if (row.readout == which)
            return &row;
    return nullptr;
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
    Shown& window = view.shown;

    std::size_t start = 0;
    while (start < input.size()) {
        std::size_t end = input.find('\n', start);
        if (end == std::string_view::npos)
            end = input.size();
        std::string_view line = input.substr(start, end - start);
        start = end + 1;
        line = line.substr(0, std::min(line.size(), line.find('\r')));
        if (line.empty())
            continue;

        if (line.rfind("$GPRMB", 0) == 0) {
            gprmb(readouts, window, line, quarters);
        } else if (line.rfind("$GPRMC", 0) == 0) {
            gprmc(readouts, window, line);
        } else if (const auto* row = FindAviationField(static_cast<unsigned char>(line[0]));
                   row != nullptr) {
            aviation(readouts, window, *row, line);
        } else {
            static constexpr Readout Shows[3] = {Readout::WaypointId, Readout::Range,
                                                 Readout::Speed};
            const auto* direct = readoutRow(Shows[static_cast<unsigned char>(line[0]) % 3]);
            FUZZ_CHECK(direct != nullptr);
            // The second byte gives the length, from below zero to the whole text; the text is
            // never shorter than the length given.
            const std::string_view text = line.substr(std::min<std::size_t>(2, line.size()));
            const int choice = line.size() >= 2 ? static_cast<unsigned char>(line[1]) : 0;
            const int length = choice % (static_cast<int>(text.size()) + 3) - 2;
            show(readouts, window, *direct, text, std::min(length, static_cast<int>(text.size())));
        }
    }
    return 0;
}
