#include "formats/CouplerSentences.h"

#include "formats/Checksum.h"

namespace {

const char* tagOf(CouplerCommand command) {
    switch (command) {
    case CouplerCommand::Cal:
        return "$PZCAL";
    case CouplerCommand::Dim:
        return "$PZDIM";
    case CouplerCommand::Gan:
        return "$PZGAN";
    case CouplerCommand::Tst:
        return "$PZTST";
    case CouplerCommand::Hgn:
        return "$PZHGN";
    case CouplerCommand::Eqp:
        return "$PZEQP";
    case CouplerCommand::Vwp:
        return "$PZVWP";
    case CouplerCommand::Adv:
        return "$PZADV";
    case CouplerCommand::Mxa:
        return "$PZMXA";
    case CouplerCommand::Mxd:
        return "$PZMXD";
    }
    return "$PZ";
}

bool hasCompatibilityLayout(CouplerCommand command) {
    return command == CouplerCommand::Cal || command == CouplerCommand::Dim ||
           command == CouplerCommand::Gan || command == CouplerCommand::Tst;
}

// The argument text of a one-argument command.
std::string argumentOf(CouplerCommand command, std::int32_t value) {
    switch (command) {
    case CouplerCommand::Tst:
        // Row 2 ("Cedar") is type 7 on the coupler; anything unknown falls back to Alder.
        return value == 2 ? "7" : value == 1 ? "1" : "0";
    case CouplerCommand::Eqp:
        return value == 0 ? "0" : "255";
    default:
        // Gains are the digit of their row; outside 0..9 the whole number is written so
        // that no byte other than a digit or a sign can reach the line.
        return std::to_string(value);
    }
}

} // namespace

std::string BuildCouplerSentence(CouplerCommand command, std::int32_t value, bool compatibility) {
    const bool compat = compatibility && hasCompatibilityLayout(command);
    std::string s = tagOf(command);
    if (command == CouplerCommand::Cal) {
        // Widened first: the magnitude of the most negative count does not fit 32 bits.
        const std::int64_t wide = value;
        const std::int64_t magnitude = wide < 0 ? -wide : wide;
        if (!compat)
            s += ',';
        s += std::to_string(magnitude);
        s += value < 0 ? ",N" : ",P";
    } else if (compat) {
        s += argumentOf(command, value);
        s += ',';
    } else {
        s += ',';
        s += argumentOf(command, value);
    }
    AppendChecksum(s);
    return s;
}
