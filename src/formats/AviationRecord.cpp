#include "formats/AviationRecord.h"

#include <cstdio>

#include "formats/NmeaSentences.h"

namespace {
// Whole numbers from the record's inputs; the values' invariants keep them within 0..999.
std::string threeDigits(double value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%03d", static_cast<int>(value));
    return buf;
}
} // namespace

std::string BuildAviationRecord(const SimulatorValues& values) {
    std::string track = "---";
    std::string speed = "---";
    std::string xte = "-----";
    if (values.courseOn) {
        const XteReading r = EncodeXte(values);
        // The product is formed from the float in double precision and truncated, so a
        // value the float holds just under a hundredth loses that hundredth (0.70 -> 69).
        const int hundredths = static_cast<int>(static_cast<double>(r.magnitude) * 100.0);
        char buf[16];
        std::snprintf(buf, sizeof buf, "%c%04d", r.side, hundredths);
        xte = buf;
    }
    if (values.headingOn) {
        track = threeDigits(TrackDegrees(values));
        speed = threeDigits(static_cast<double>(values.speed));
    }
    std::string record;
    record.reserve(56);
    record += '\x02';
    record +=
        "AN 99 3456\rBW 444 4322\rC" + track + "\rD" + speed + "\rE00003\rG" + xte + "\rI3333\r";
    record += '\x03';
    return record;
}
