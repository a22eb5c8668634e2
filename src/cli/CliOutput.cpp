#include "cli/CliOutput.h"

#include <ostream>

#include "engine/Readouts.h"
#include "formats/Echo.h"

namespace {
// Read-outs are right-aligned in their boxes; the blanks carry no meaning off the window.
std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}
} // namespace

std::string JsonString(std::string_view bytes) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string s = "\"";
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            s += "\\\"";
            break;
        case '\\':
            s += "\\\\";
            break;
        case '\n':
            s += "\\n";
            break;
        case '\r':
            s += "\\r";
            break;
        case '\t':
            s += "\\t";
            break;
        default:
            if (b >= 0x20 && b < 0x7F) {
                s += c;
            } else {
                s += "\\u00";
                s += hex[b >> 4];
                s += hex[b & 0x0F];
            }
        }
    }
    return s + '"';
}

std::string ReadoutLine(const Readouts& r, long long tick, bool json) {
    const std::string range = trimmed(r.text(Readout::Range));
    const std::string speed = trimmed(r.text(Readout::Speed));
    const std::string calculated = trimmed(r.text(Readout::CalculatedSpeed));
    const std::string& waypoint = r.text(Readout::WaypointId);
    if (json)
        return "{\"tick\":" + std::to_string(tick) + ",\"range\":" + JsonString(range) +
               ",\"speed\":" + JsonString(speed) +
               ",\"calculated_speed\":" + JsonString(calculated) +
               ",\"waypoint\":" + JsonString(waypoint) + "}";
    const auto shown = [](const std::string& t) { return t.empty() ? std::string("-") : t; };
    return "tick " + std::to_string(tick) + ": range " + shown(range) + ", speed " + shown(speed) +
           ", calculated speed " + shown(calculated) + ", waypoint " + shown(EchoText(waypoint));
}

void EchoTerminal::appendLine(std::string_view bytes) {
    if (json)
        out << "{\"echo\":" << JsonString(bytes) << "}\n";
    else
        out << EchoText(bytes) << '\n';
    out.flush();
}
