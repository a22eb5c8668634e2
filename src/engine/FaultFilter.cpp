#include "engine/FaultFilter.h"

#include <charconv>
#include <cmath>

#include "formats/RecordFaults.h"

namespace {
constexpr char Stx = '\x02';
constexpr char Etx = '\x03';
constexpr double MaxSilencePeriod = 86400.0; // a day

// Reads a whole number of at least `least` that is all of `text`.
// A refused text leaves `value` as it was.
bool readCount(std::string_view text, std::uint32_t least, std::uint32_t& value) {
    std::uint32_t read = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), read);
    if (error != std::errc() || end != text.data() + text.size() || read < least)
        return false;
    value = read;
    return true;
}

bool readSeconds(std::string_view text, double& value) {
    // from_chars for double needs GCC 11; it is there, and takes no locale.
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

// The shortest text that reads back as the same number.
std::string number(double value) {
    char buf[64];
    const auto [end, error] = std::to_chars(buf, buf + sizeof buf, value);
    return error == std::errc() ? std::string(buf, end) : std::string("?");
}
} // namespace

bool FaultSettings::anyFault() const {
    return checksumEvery != 0 || dropEvery != 0 || invalid || garbageEvery != 0 || repeat >= 2 ||
           cutAfter != 0 || silenceEvery > 0.0 || noEtx || corruptField != 0;
}

std::string AddFault(std::string_view text, FaultSettings& s) {
    const std::size_t colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    const std::string_view arg = colon == std::string_view::npos ? "" : text.substr(colon + 1);
    const bool hasArg = colon != std::string_view::npos;
    const auto count = [&](std::uint32_t least, std::uint32_t& field) -> std::string {
        if (hasArg && readCount(arg, least, field))
            return "";
        return std::string(name) + " needs a whole number of " + std::to_string(least) +
               " or more, as in " + std::string(name) + ":" + std::to_string(least + 2);
    };
    if (name == "checksum")
        return count(1, s.checksumEvery);
    if (name == "drop")
        return count(1, s.dropEvery);
    if (name == "garbage")
        return count(1, s.garbageEvery);
    if (name == "repeat")
        return count(2, s.repeat);
    if (name == "cut")
        return count(1, s.cutAfter);
    if (name == "invalid" || name == "no-etx") {
        if (hasArg)
            return std::string(name) + " takes no value";
        (name == "invalid" ? s.invalid : s.noEtx) = true;
        return "";
    }
    if (name == "silence") {
        const std::size_t slash = arg.find('/');
        double quiet = 0.0, every = 0.0;
        if (hasArg && slash != std::string_view::npos && readSeconds(arg.substr(0, slash), quiet) &&
            readSeconds(arg.substr(slash + 1), every) && quiet > 0.0 && every > quiet &&
            every <= MaxSilencePeriod) {
            s.silenceSeconds = quiet;
            s.silenceEvery = every;
            return "";
        }
        return "silence needs S/M seconds with 0 < S < M <= 86400, as in silence:5/30";
    }
    if (name == "field") {
        if (hasArg && arg.size() == 1 && arg[0] >= 'A' && arg[0] <= 'Z') {
            s.corruptField = arg[0];
            return "";
        }
        return "field needs one capital field letter, as in field:G";
    }
    return "unknown fault '" + std::string(text) +
           "'; one of checksum:N, drop:N, invalid, garbage:N, repeat:N, cut:K, silence:S/M, "
           "no-etx, field:L";
}

std::vector<std::string> FaultWords(const FaultSettings& s) {
    std::vector<std::string> words;
    if (s.checksumEvery)
        words.push_back("checksum:" + std::to_string(s.checksumEvery));
    if (s.dropEvery)
        words.push_back("drop:" + std::to_string(s.dropEvery));
    if (s.invalid)
        words.emplace_back("invalid");
    if (s.garbageEvery)
        words.push_back("garbage:" + std::to_string(s.garbageEvery));
    if (s.repeat >= 2)
        words.push_back("repeat:" + std::to_string(s.repeat));
    if (s.cutAfter)
        words.push_back("cut:" + std::to_string(s.cutAfter));
    if (s.silenceEvery > 0.0)
        words.push_back("silence:" + number(s.silenceSeconds) + "/" + number(s.silenceEvery));
    if (s.noEtx)
        words.emplace_back("no-etx");
    if (s.corruptField)
        words.push_back(std::string("field:") + s.corruptField);
    return words;
}

void FaultFilter::configure(const FaultSettings& settings) {
    current = settings;
    tickNumber = 0;
    recordNumber = 0;
    phaseStarted = false;
}

void FaultFilter::beginTick(OutputFormat f, SteadyTime now, UtcTime utc) {
    inTick = true;
    format = f;
    tickUtc = utc;
    firstRecordOfTick = true;
    ++tickNumber;
    silent = false;
    if (current.silenceEvery > 0.0) {
        if (!phaseStarted) {
            phaseStarted = true;
            phaseStart = now;
        }
        const double elapsed = std::chrono::duration<double>(now - phaseStart).count();
        silent = std::fmod(elapsed, current.silenceEvery) >=
                 current.silenceEvery - current.silenceSeconds;
    }
}

void FaultFilter::endTick(FaultOutput& out) {
    if (holding) {
        // A record the records-per-tick budget splits leaves as it stands, once.
        holding = false;
        releaseHeld(out, 1);
    }
    inTick = false;
}

void FaultFilter::record(std::string_view bytes, bool counted, FaultOutput& out) {
    if (!engaged()) {
        out.pass(bytes, counted);
        return;
    }
    if (format == OutputFormat::Aviation)
        aviationPiece(bytes, counted, out);
    else
        nmeaRecord(bytes, counted, out);
}

void FaultFilter::wait(FaultOutput& out) {
    if (holding)
        held.push_back({{}, false, true});
    else
        out.passWait();
}

void FaultFilter::garbageIfDue(FaultOutput& out) {
    if (!firstRecordOfTick)
        return;
    firstRecordOfTick = false;
    if (silent || current.garbageEvery == 0 || tickNumber % current.garbageEvery != 0)
        return;
    std::string line = GarbageLine(tickNumber);
    if (format == OutputFormat::Aviation)
        line += '\r';
    out.pass(line, true);
}

void FaultFilter::nmeaRecord(std::string_view bytes, bool counted, FaultOutput& out) {
    ++recordNumber;
    garbageIfDue(out);
    if (silent || due(current.dropEvery))
        return;
    std::string r(bytes);
    if (current.liveTime)
        r = WithLiveTime(r, tickUtc);
    if (current.invalid)
        r = WithStatusInvalid(r);
    if (due(current.checksumEvery))
        r = WithWrongChecksum(r);
    if (current.cutAfter != 0 && r.size() > current.cutAfter)
        r.resize(current.cutAfter);
    const std::uint32_t copies = current.repeat >= 2 ? current.repeat : 1;
    for (std::uint32_t i = 0; i < copies; ++i)
        out.pass(r, counted);
}

void FaultFilter::aviationPiece(std::string_view bytes, bool counted, FaultOutput& out) {
    garbageIfDue(out);
    std::string kept;
    kept.reserve(bytes.size());
    bool recordEnded = false;
    for (const char byte : bytes) {
        if (byte == Stx) {
            if (holding) {
                // A record that never reached its ETX leaves as it was before this one starts.
                holding = false;
                releaseHeld(out, 1);
            }
            ++recordNumber;
            inside = true;
            dropping = due(current.dropEvery);
            recordBytes = 0;
            atLineStart = true;
            inField = false;
            holding = !dropping && !silent && current.repeat >= 2;
        }
        if (!inside) {
            kept.push_back(byte);
            continue;
        }
        char b = byte;
        const bool etx = b == Etx;
        if (etx) {
            inside = false;
            recordEnded = true;
        } else if (b == '\r') {
            atLineStart = true;
            inField = false;
        } else if (b != Stx) {
            if (atLineStart && b == current.corruptField && b != 0)
                inField = true;
            else if (inField)
                b = '?';
            atLineStart = false;
        }
        if (dropping || (etx && current.noEtx))
            continue;
        if (current.cutAfter != 0 && recordBytes >= current.cutAfter)
            continue;
        ++recordBytes;
        kept.push_back(b);
    }
    if (silent)
        return;
    if (holding) {
        if (!kept.empty())
            held.push_back({std::move(kept), counted, false});
        if (recordEnded) {
            holding = false;
            releaseHeld(out, current.repeat);
        }
        return;
    }
    if (!kept.empty())
        out.pass(kept, counted);
}

void FaultFilter::releaseHeld(FaultOutput& out, std::uint32_t copies) {
    for (std::uint32_t i = 0; i < copies; ++i)
        for (const Held& h : held) {
            if (h.wait) {
                // The gaps within a record stay; repeated copies follow each other at once.
                if (i == 0)
                    out.passWait();
            } else {
                out.pass(h.bytes, h.counted);
            }
        }
    held.clear();
}
