#include "control/ControlProtocol.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <utility>

#include "engine/Emulator.h"
#include "formats/FixSentences.h"

using nlohmann::json;

namespace {

using Step = PreparedRequest::Step;

constexpr std::array<double, 4> CourseGains{1.25, 2.5, 5.0, 10.0};
constexpr std::array<double, 4> HeadingGains{0.25, 0.5, 1.0, 2.0};

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// What a message quotes of a value: a string as it stands, anything else as JSON.
std::string quoted(const json& v) {
    return "'" + (v.is_string() ? v.get<std::string>() : ControlProtocol::Dump(v)) + "'";
}

// The window's own text for an edit that holds no number.
std::string notANumber(const json& v) { return quoted(v) + " is not a valid floating point value"; }

std::optional<double> numberOf(const json& v) {
    if (v.is_number())
        return v.get<double>();
    return std::nullopt;
}

// A number given as a JSON number or as text with a point ("2.50").
std::optional<double> numberOrText(const json& v) {
    if (v.is_number())
        return v.get<double>();
    if (!v.is_string())
        return std::nullopt;
    const std::string t = v.get<std::string>();
    double d = 0.0;
    const char* first = t.data() + (!t.empty() && t[0] == '+' ? 1 : 0);
    const auto [end, error] = std::from_chars(first, t.data() + t.size(), d);
    if (error != std::errc() || end != t.data() + t.size() || t.empty())
        return std::nullopt;
    return d;
}

std::optional<bool> boolOf(const json& v) {
    if (v.is_boolean())
        return v.get<bool>();
    return std::nullopt;
}

std::string mustBeBool(const std::string& field) { return "'" + field + "' must be true or false"; }

const std::map<std::string, OutputFormat> Formats{
    {"nmea-v2", OutputFormat::NmeaV2},
    {"nmea-v3", OutputFormat::NmeaV3},
    {"aviation", OutputFormat::Aviation},
};
const std::map<std::string, XteMode> XteModes{
    {"left", XteMode::Left},   {"centre", XteMode::Centre}, {"center", XteMode::Centre},
    {"right", XteMode::Right}, {"value", XteMode::Value},
};

const char* formatName(OutputFormat f) {
    return f == OutputFormat::NmeaV2     ? "nmea-v2"
           : f == OutputFormat::Aviation ? "aviation"
                                         : "nmea-v3";
}
const char* xteModeName(XteMode m) {
    return m == XteMode::Left     ? "left"
           : m == XteMode::Centre ? "centre"
           : m == XteMode::Right  ? "right"
                                  : "value";
}

// A stored 32-bit value as the shortest decimal that reads back as it.
double shortest(float f) {
    std::array<char, 32> buf{};
    const auto [end, error] = std::to_chars(buf.data(), buf.data() + buf.size(), f);
    double d = static_cast<double>(f);
    if (error == std::errc())
        std::from_chars(buf.data(), end, d);
    return d;
}

// One field of `set`: it reads its value and adds the command that applies it.
using FieldParser = std::string (*)(const json& value, std::vector<Step>& steps);

std::string numberField(const json& v, std::vector<Step>& steps,
                        CommandResult (*apply)(Emulator&, double)) {
    const auto n = numberOf(v);
    if (!n)
        return notANumber(v);
    steps.push_back([apply, x = *n](Emulator& e, ClientState&) { return apply(e, x); });
    return {};
}

std::string boolField(const char* name, const json& v, std::vector<Step>& steps,
                      void (Simulator::*apply)(bool)) {
    const auto b = boolOf(v);
    if (!b)
        return mustBeBool(name);
    steps.push_back([apply, on = *b](Emulator& e, ClientState&) {
        (e.simulator().*apply)(on);
        return CommandResult{};
    });
    return {};
}

// The fields `set` takes. A new field is one row.
const std::map<std::string, FieldParser> SetFields{
    {"xte",
     [](const json& v, std::vector<Step>& s) {
         return numberField(v, s, [](Emulator& e, double x) {
             e.simulator().setXteMode(XteMode::Value);
             return e.simulator().setXteValue(x);
         });
     }},
    {"xte_mode",
     [](const json& v, std::vector<Step>& s) -> std::string {
         const auto it =
             v.is_string() ? XteModes.find(lower(v.get<std::string>())) : XteModes.end();
         if (it == XteModes.end())
             return quoted(v) + " is not left, centre, right or value";
         s.push_back([m = it->second](Emulator& e, ClientState&) {
             e.simulator().setXteMode(m);
             return CommandResult{};
         });
         return {};
     }},
    {"track",
     [](const json& v, std::vector<Step>& s) {
         return numberField(v, s, [](Emulator& e, double x) { return e.simulator().setTrack(x); });
     }},
    {"speed",
     [](const json& v, std::vector<Step>& s) {
         return numberField(v, s, [](Emulator& e, double x) { return e.simulator().setSpeed(x); });
     }},
    {"course",
     [](const json& v, std::vector<Step>& s) {
         return boolField("course", v, s, &Simulator::setCourse);
     }},
    {"heading",
     [](const json& v, std::vector<Step>& s) {
         return boolField("heading", v, s, &Simulator::setHeading);
     }},
    {"format",
     [](const json& v, std::vector<Step>& s) -> std::string {
         const auto it = v.is_string() ? Formats.find(lower(v.get<std::string>())) : Formats.end();
         if (it == Formats.end())
             return quoted(v) + " is not nmea-v2, nmea-v3 or aviation";
         s.push_back([f = it->second](Emulator& e, ClientState&) {
             e.simulator().setFormat(f);
             return CommandResult{};
         });
         return {};
     }},
    {"sentences",
     [](const json& v, std::vector<Step>& s) -> std::string {
         // "GGA,VTG" as --sentences takes it, or a list of names; empty for none.
         std::string names;
         if (v.is_string()) {
             names = v.get<std::string>();
         } else if (v.is_array()) {
             for (const json& n : v) {
                 if (!n.is_string())
                     return quoted(n) + " is not a sentence name";
                 names += (names.empty() ? "" : ",") + n.get<std::string>();
             }
         } else {
             return "'sentences' must be a list of sentence names";
         }
         std::string error;
         const auto set = ParseSentenceNames(names, error);
         if (!set)
             return error;
         s.push_back([set = *set](Emulator& e, ClientState&) {
             return e.simulator().setSentences(set);
         });
         return {};
     }},
    {"position",
     [](const json& v, std::vector<Step>& s) -> std::string {
         if (!v.is_array() || v.size() != 2 || !v[0].is_number() || !v[1].is_number())
             return "'position' must be [latitude, longitude] in degrees";
         s.push_back([lat = v[0].get<double>(), lon = v[1].get<double>()](Emulator& e,
                                                                          ClientState&) {
             return e.simulator().setPosition(lat, lon);
         });
         return {};
     }},
    {"move",
     [](const json& v, std::vector<Step>& s) -> std::string {
         const auto b = boolOf(v);
         if (!b)
             return mustBeBool("move");
         s.push_back([on = *b](Emulator& e, ClientState&) { return e.simulator().setMoving(on); });
         return {};
     }},
    {"period",
     [](const json& v, std::vector<Step>& s) {
         return numberField(v, s, [](Emulator& e, double x) {
             const CommandResult r = e.runLoop().setPeriod(x);
             if (r.ok)
                 e.replay().setPauseSeconds(x);
             return r;
         });
     }},
};

// The keys a command takes besides id and cmd; anything else is refused, so that a
// misspelt key is not silently ignored.
std::string onlyKeys(const json& r, std::initializer_list<const char*> keys) {
    for (const auto& item : r.items()) {
        const std::string& key = item.key();
        if (key == "id" || key == "cmd")
            continue;
        if (std::find_if(keys.begin(), keys.end(), [&](const char* k) { return key == k; }) ==
            keys.end())
            return "unknown field '" + key + "'";
    }
    return {};
}

// Fields whose range only the engine knows go first: if one is refused, nothing beside it
// has been applied yet.
bool engineMayRefuse(const std::string& key) { return key == "period" || key == "position"; }

std::string prepareSet(const json& r, PreparedRequest& p) {
    bool any = false;
    for (const bool first : {true, false}) {
        for (const auto& [key, value] : r.items()) {
            if (key == "id" || key == "cmd" || engineMayRefuse(key) != first)
                continue;
            const auto field = SetFields.find(key);
            if (field == SetFields.end())
                return "unknown field '" + key + "'";
            if (std::string wrong = field->second(value, p.steps); !wrong.empty())
                return wrong;
            any = true;
        }
    }
    if (!any)
        return "set: no field given";
    p.changes = true;
    return {};
}

std::string preparePause(const json& r, PreparedRequest& p) {
    if (std::string wrong = onlyKeys(r, {"on"}); !wrong.empty())
        return wrong;
    const auto on = r.contains("on") ? boolOf(r["on"]) : std::nullopt;
    if (!on)
        return mustBeBool("on");
    p.steps.push_back([on = *on](Emulator& e, ClientState&) {
        e.runLoop().setPaused(on);
        return CommandResult{};
    });
    p.changes = true;
    return {};
}

std::string prepareFlow(const json& r, PreparedRequest& p) {
    if (std::string wrong = onlyKeys(r, {"on", "rate"}); !wrong.empty())
        return wrong;
    if (r.contains("rate")) {
        const auto rate = numberOf(r["rate"]);
        if (!rate)
            return notANumber(r["rate"]);
        p.steps.push_back(
            [x = *rate](Emulator& e, ClientState&) { return e.fuelFlow().setFlow(x); });
    }
    if (r.contains("on")) {
        const auto on = boolOf(r["on"]);
        if (!on)
            return mustBeBool("on");
        p.steps.push_back([on = *on](Emulator& e, ClientState&) {
            e.fuelFlow().setEnabled(on);
            return CommandResult{};
        });
    }
    p.changes = true;
    return {};
}

std::string prepareFaults(const json& r, PreparedRequest& p) {
    if (std::string wrong = onlyKeys(r, {"faults", "live_time"}); !wrong.empty())
        return wrong;
    std::optional<FaultSettings> words;
    if (r.contains("faults")) {
        const json& list = r["faults"];
        if (!list.is_array())
            return "'faults' must be a list of fault words";
        words.emplace();
        for (const json& w : list) {
            if (!w.is_string())
                return quoted(w) + " is not a fault word";
            if (std::string wrong = AddFault(w.get<std::string>(), *words); !wrong.empty())
                return wrong;
        }
    }
    std::optional<bool> live;
    if (r.contains("live_time") && !(live = boolOf(r["live_time"])))
        return mustBeBool("live_time");
    p.steps.push_back([words, live](Emulator& e, ClientState&) {
        FaultSettings s = words ? *words : e.faults();
        s.liveTime = live ? *live : e.faults().liveTime;
        e.setFaults(s);
        return CommandResult{};
    });
    p.changes = true;
    return {};
}

std::string prepareReplay(const json& r, PreparedRequest& p) {
    if (std::string wrong = onlyKeys(r, {"file", "type", "trigger", "records", "loop", "all_sentences", "pace"});
        !wrong.empty())
        return wrong;
    if (!r.contains("file") || !r["file"].is_string() || r["file"].get<std::string>().empty())
        return "replay: 'file' must name a recorded file";
    const std::string file = r["file"].get<std::string>();
    const bool avi = file.size() >= 4 && lower(file.substr(file.size() - 4)) == ".avi";
    bool nmea = !avi;
    if (r.contains("type")) {
        const std::string t = r["type"].is_string() ? lower(r["type"].get<std::string>()) : "";
        if (t != "nmea" && t != "aviation")
            return quoted(r["type"]) + " is not nmea or aviation";
        nmea = t == "nmea";
    }
    std::string trigger = "GPRMB";
    if (r.contains("trigger")) {
        if (!r["trigger"].is_string())
            return "'trigger' must be text";
        // The trigger edit turns what is typed into capitals.
        trigger = r["trigger"].get<std::string>();
        for (char& c : trigger)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    int records = 25;
    if (r.contains("records")) {
        const json& n = r["records"];
        if (!n.is_number_integer() || n.get<long long>() < 1 || n.get<long long>() > 100)
            return quoted(n) + " is not a whole number in 1..100";
        records = n.get<int>();
    }
    bool loop = false;
    if (r.contains("loop")) {
        const auto b = boolOf(r["loop"]);
        if (!b)
            return mustBeBool("loop");
        loop = *b;
    }
    bool all = false;
    if (r.contains("all_sentences")) {
        const auto b = boolOf(r["all_sentences"]);
        if (!b)
            return mustBeBool("all_sentences");
        all = *b;
    }
    ReplayPace pace = ReplayPace::Ticks;
    if (r.contains("pace")) {
        const std::string t = r["pace"].is_string() ? lower(r["pace"].get<std::string>()) : "";
        if (t != "ticks" && t != "file" && t != "none")
            return quoted(r["pace"]) + " is not ticks, file or none";
        pace = t == "file" ? ReplayPace::File : t == "none" ? ReplayPace::None : ReplayPace::Ticks;
    }
    p.steps.push_back([=](Emulator& e, ClientState&) {
        Replay& replay = e.replay();
        replay.close();
        replay.setAllSentences(all);
        replay.setPace(pace);
        replay.setFileType(nmea);
        replay.setRecordsPerTick(records);
        replay.setTrigger(trigger);
        replay.setLoop(loop);
        replay.setPauseSeconds(e.runLoop().periodSeconds());
        CommandResult opened = replay.open(file);
        if (opened.ok)
            e.runLoop().showPage(Page::File);
        return opened;
    });
    p.changes = true;
    return {};
}

std::string prepareReplayStop(const json& r, PreparedRequest& p) {
    if (std::string wrong = onlyKeys(r, {}); !wrong.empty())
        return wrong;
    p.steps.push_back([](Emulator& e, ClientState&) {
        e.replay().close();
        e.runLoop().showPage(Page::Simulator);
        return CommandResult{};
    });
    p.changes = true;
    return {};
}

template <std::size_t N> int rowOf(const json& v, const std::array<double, N>& rows) {
    const auto n = numberOrText(v);
    for (std::size_t i = 0; n && i < N; ++i)
        if (*n == rows[i])
            return static_cast<int>(i);
    return -1;
}

std::optional<std::int32_t> wholeOf(const json& v, long long lo, long long hi) {
    const auto n = numberOrText(v);
    // The range first: a cast of a number beyond it is undefined.
    if (!n || !(*n >= static_cast<double>(lo) && *n <= static_cast<double>(hi)) ||
        *n != std::trunc(*n))
        return std::nullopt;
    return static_cast<std::int32_t>(*n);
}

// A coupler command as `tarrow-cli coupler` takes it, turned into the dialog's Apply.
std::string couplerStep(const std::string& command, const json& v, Step& step) {
    const std::string text = v.is_string() ? lower(v.get<std::string>()) : "";
    const auto camlink = [&](Camlink which, long long hi) -> std::string {
        const auto n = wholeOf(v, 0, hi);
        if (!n)
            return quoted(v) + " is not a whole number in 0.." + std::to_string(hi);
        step = [which, n = *n](Emulator& e, ClientState&) {
            return e.coupler().sendCamlink(which, n);
        };
        return {};
    };
    if (command == "offset") {
        const auto n = wholeOf(v, -2147483648LL, 2147483647LL);
        if (!n)
            return quoted(v) + " is not a whole number of counts";
        step = [n = *n](Emulator& e, ClientState&) { return e.coupler().sendOffset(n); };
    } else if (command == "dim") {
        const auto level = wholeOf(v, 0, 9);
        DimChoice choice = DimChoice::Level;
        if (text == "none")
            choice = DimChoice::None;
        else if (text == "volt")
            choice = DimChoice::Volt;
        else if (text == "sensor")
            choice = DimChoice::Sensor;
        else if (!level)
            return quoted(v) + " is not none, 0..9, volt or sensor";
        step = [choice, l = level.value_or(0)](Emulator& e, ClientState&) {
            return e.coupler().sendDimming(choice, l);
        };
    } else if (command == "course-gain" || command == "heading-gain") {
        const bool course = command == "course-gain";
        const int row = course ? rowOf(v, CourseGains) : rowOf(v, HeadingGains);
        if (row < 0)
            return quoted(v) +
                   (course ? " is not 1.25, 2.50, 5.00 or 10.0" : " is not 0.25, 0.5, 1.0 or 2.0");
        step = [course, row](Emulator& e, ClientState&) {
            return course ? e.coupler().sendCourseGain(row) : e.coupler().sendHeadingGain(row);
        };
    } else if (command == "type") {
        const int row = text == "alder" ? 0 : text == "birch-ii" ? 1 : text == "cedar" ? 2 : -1;
        if (row < 0)
            return quoted(v) + " is not alder, birch-ii or cedar";
        step = [row](Emulator& e, ClientState&) { return e.coupler().sendType(row); };
    } else if (command == "brightness") {
        const int row = text == "normal" ? 0 : text == "bright" ? 1 : -1;
        if (row < 0)
            return quoted(v) + " is not normal or bright";
        step = [row](Emulator& e, ClientState&) { return e.coupler().sendBrightness(row); };
    } else if (command == "virtual-waypoints") {
        return camlink(Camlink::VirtualWaypoints, 20);
    } else if (command == "anticipation") {
        return camlink(Camlink::Anticipation, 127);
    } else if (command == "max-angle") {
        return camlink(Camlink::MaxAngle, 90);
    } else if (command == "max-time") {
        return camlink(Camlink::MaxTime, 20);
    } else {
        return "unknown coupler command '" + command + "'";
    }
    return {};
}

std::string prepareCoupler(const json& r, PreparedRequest& p) {
    if (std::string wrong = onlyKeys(r, {"command", "value", "compatibility"}); !wrong.empty())
        return wrong;
    if (r.contains("compatibility")) {
        const auto on = boolOf(r["compatibility"]);
        if (!on)
            return mustBeBool("compatibility");
        // As the command line does it: for this run, not stored.
        p.steps.push_back([on = *on](Emulator& e, ClientState&) {
            e.coupler().setCompatibility(on, false);
            return CommandResult{};
        });
    }
    if (r.contains("command")) {
        if (!r["command"].is_string())
            return "'command' must be text";
        if (!r.contains("value"))
            return "coupler: 'value' missing";
        Step step;
        if (std::string wrong =
                couplerStep(lower(r["command"].get<std::string>()), r["value"], step);
            !wrong.empty())
            return wrong;
        p.steps.push_back(std::move(step));
    } else if (p.steps.empty()) {
        return "coupler: 'command' missing";
    }
    return {};
}

std::string prepareSubscribe(const json& r, PreparedRequest& p, bool on) {
    if (std::string wrong = onlyKeys(r, {"what"}); !wrong.empty())
        return wrong;
    const std::string what =
        r.contains("what") && r["what"].is_string() ? r["what"].get<std::string>() : "";
    if (what != "records" && what != "readouts")
        return "'what' must be records or readouts";
    p.steps.push_back([records = what == "records", on](Emulator&, ClientState& c) {
        (records ? c.records : c.readouts) = on;
        return CommandResult{};
    });
    return {};
}

json valuesOf(const SimulatorValues& v) {
    return {{"xte", shortest(v.xteValue)},
            {"xte_mode", xteModeName(v.xteMode)},
            {"track", shortest(v.trackTenths) / 10.0},
            {"speed", shortest(v.speed)},
            {"course", v.courseOn},
            {"heading", v.headingOn},
            {"sentences", SentenceNames(v.sentences)}};
}

void status(Emulator& e, json& a) {
    const LineStatus s = e.lineStatus();
    a["port"] = s.portName;
    a["device"] = s.device;
    a["open"] = s.open;
    a["lost"] = s.lost;
    a["baud"] = s.baud;
    a["sent"] = s.bytesSent;
    a["dropped"] = s.recordsDropped;
    a["load"] = s.loadPercent;
    a["paused"] = e.runLoop().isPaused();
    a["format"] = formatName(e.simulator().values().format);
    a["page"] = e.runLoop().page() == Page::File ? "file" : "simulator";
    a["period"] = e.runLoop().periodSeconds();
    a["values"] = valuesOf(e.simulator().values());
    a["values"]["move"] = e.simulator().isMoving();
    if (e.simulator().values().positionSet || e.simulator().isMoving()) {
        const FixPosition& at = e.simulator().values().position;
        a["values"]["position"] = {at.latitude, at.longitude};
    }
    a["faults"] = s.faults;
    a["live_time"] = s.liveTime;
    a["flow"] = {{"on", e.fuelFlow().enabled()}, {"rate", shortest(e.fuelFlow().fuelFlow())}};
    a["replay"] = {{"open", e.replay().isOpen()}};
}

} // namespace

ControlProtocol::ControlProtocol(Emulator& e, std::string p, std::string v)
    : emulator(e), program(std::move(p)), version(std::move(v)) {}

std::string ControlProtocol::Dump(const json& value) {
    // Records and paths are bytes: what is not UTF-8 is replaced rather than refused.
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string ControlProtocol::Prepare(const json& r, PreparedRequest& p) {
    if (!r.is_object())
        return "a request must be a JSON object";
    if (!r.contains("cmd") || !r["cmd"].is_string())
        return "a request needs \"cmd\"";
    const std::string cmd = r["cmd"].get<std::string>();
    if (cmd == "hello" || cmd == "status") {
        if (std::string wrong = onlyKeys(r, {}); !wrong.empty())
            return wrong;
        if (cmd == "status")
            p.report = status;
        return {};
    }
    if (cmd == "set")
        return prepareSet(r, p);
    if (cmd == "pause")
        return preparePause(r, p);
    if (cmd == "flow")
        return prepareFlow(r, p);
    if (cmd == "faults")
        return prepareFaults(r, p);
    if (cmd == "replay")
        return prepareReplay(r, p);
    if (cmd == "replay_stop")
        return prepareReplayStop(r, p);
    if (cmd == "coupler")
        return prepareCoupler(r, p);
    if (cmd == "subscribe" || cmd == "unsubscribe")
        return prepareSubscribe(r, p, cmd == "subscribe");
    return "unknown command '" + cmd + "'";
}

json ControlProtocol::run(const json& request, ClientState& client) {
    json answer = json::object();
    answer["id"] = request.is_object() && request.contains("id") ? request["id"] : json();
    PreparedRequest p;
    std::string wrong = Prepare(request, p);
    if (wrong.empty() && request["cmd"] == "hello")
        p.report = [this](Emulator&, json& a) {
            a["program"] = program;
            a["version"] = version;
            a["protocol"] = Version;
        };
    // Every field is checked before any is applied: a refused request changes nothing that
    // was valid beside it. The engine's own refusals (a coupler command in the old layout)
    // stop at the command refused.
    for (const Step& step : p.steps) {
        if (!wrong.empty())
            break;
        if (const CommandResult r = step(emulator, client); !r.ok)
            wrong = r.text;
    }
    if (!wrong.empty()) {
        answer["ok"] = false;
        answer["error"] = wrong;
        return answer;
    }
    answer["ok"] = true;
    if (p.changes) {
        // Applied now, between ticks: the next tick to be served is the first to carry it.
        answer["tick"] = emulator.runLoop().ticksServed() + 1;
        if (changed)
            changed();
    }
    if (p.report)
        p.report(emulator, answer);
    return answer;
}

std::string ControlProtocol::handle(std::string_view line, ClientState& client) {
    json request = json::parse(line, nullptr, false);
    if (request.is_discarded()) {
        json answer = {{"id", nullptr}, {"ok", false}, {"error", "not a JSON object"}};
        return Dump(answer);
    }
    return Dump(run(request, client));
}

namespace {
// Record bytes as a JSON string; bytes above ASCII are taken as Latin-1.
void appendJsonString(std::string& out, std::string_view bytes) {
    static constexpr char Hex[] = "0123456789abcdef";
    out += '"';
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7f) {
            out += "\\u00";
            out += Hex[c >> 4];
            out += Hex[c & 15];
        } else if (c >= 0x80) {
            out += static_cast<char>(0xc0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else {
            out += ch;
        }
    }
    out += '"';
}

void appendNumber(std::string& out, double value, int decimals) {
    std::array<char, 64> buf{};
    const auto [end, error] = std::to_chars(buf.data(), buf.data() + buf.size(), value,
                                            std::chars_format::fixed, decimals);
    out.append(buf.data(), error == std::errc() ? end : buf.data());
}
} // namespace

std::string ControlProtocol::RecordEvent(const char* name, std::uint64_t tick,
                                         std::uint64_t sequence, double utcSeconds,
                                         std::string_view bytes, bool ok) {
    std::string e;
    e.reserve(bytes.size() + 120);
    e += "{\"event\":\"";
    e += name;
    e += '"';
    if (tick != 0)
        e += ",\"tick\":" + std::to_string(tick);
    e += ",\"seq\":" + std::to_string(sequence) + ",\"time\":";
    appendNumber(e, utcSeconds, 6);
    e += ",\"ok\":";
    e += ok ? "true" : "false";
    e += ",\"text\":";
    appendJsonString(e, bytes);
    e += '}';
    return e;
}

std::string ControlProtocol::ReadoutsEvent() const {
    const Readouts& r = emulator.replay().readouts();
    const auto text = [&r](Readout which) {
        std::string s;
        appendJsonString(s, r.text(which));
        return s;
    };
    return "{\"event\":\"readouts\",\"tick\":" + std::to_string(emulator.runLoop().ticksServed()) +
           ",\"waypoint\":" + text(Readout::WaypointId) + ",\"range\":" + text(Readout::Range) +
           ",\"speed\":" + text(Readout::Speed) +
           ",\"calculated_speed\":" + text(Readout::CalculatedSpeed) + "}";
}
