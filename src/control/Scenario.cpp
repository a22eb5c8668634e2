#include "control/Scenario.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>
#include <yaml-cpp/yaml.h>

using nlohmann::json;

namespace {

struct Wrong {
    int line;
    std::string what;
};

int lineOf(const YAML::Node& n) { return n.Mark().line + 1; }

// A YAML value as the protocol's JSON: plain true/false, numbers and ~ keep their type;
// quoted text stays text.
json toJson(const YAML::Node& n) {
    switch (n.Type()) {
    case YAML::NodeType::Null:
    case YAML::NodeType::Undefined:
        return nullptr;
    case YAML::NodeType::Sequence: {
        json a = json::array();
        for (const YAML::Node& item : n)
            a.push_back(toJson(item));
        return a;
    }
    case YAML::NodeType::Map: {
        json o = json::object();
        for (const auto& kv : n)
            o[kv.first.as<std::string>()] = toJson(kv.second);
        return o;
    }
    case YAML::NodeType::Scalar:
        break;
    }
    const std::string s = n.Scalar();
    if (n.Tag() == "!")
        return s;
    if (s == "true")
        return true;
    if (s == "false")
        return false;
    if (s == "~" || s == "null")
        return nullptr;
    const char* first = s.data() + (!s.empty() && s[0] == '+' ? 1 : 0);
    const char* last = s.data() + s.size();
    long long whole = 0;
    if (auto [end, e] = std::from_chars(first, last, whole); e == std::errc() && end == last)
        return whole;
    double d = 0.0;
    if (auto [end, e] = std::from_chars(first, last, d); e == std::errc() && end == last)
        return d;
    return s;
}

std::optional<double> numberAt(const YAML::Node& n) {
    const json v = n.IsScalar() ? toJson(n) : json();
    if (!v.is_number())
        return std::nullopt;
    return v.get<double>();
}

constexpr const char* RampFields[] = {"xte", "track", "speed"};

void parseRamp(const YAML::Node& body, ScenarioStep& step) {
    if (!body.IsMap() || body.size() != 1)
        throw Wrong{lineOf(body), "a ramp is {FIELD: {to: VALUE, over: SECONDS}}"};
    const auto kv = *body.begin();
    step.field = kv.first.as<std::string>();
    if (std::find(std::begin(RampFields), std::end(RampFields), step.field) == std::end(RampFields))
        throw Wrong{lineOf(kv.first), "only xte, track and speed ramp, not '" + step.field + "'"};
    const YAML::Node& r = kv.second;
    if (!r.IsMap())
        throw Wrong{lineOf(r), "a ramp is {FIELD: {to: VALUE, over: SECONDS}}"};
    for (const auto& p : r) {
        const std::string key = p.first.as<std::string>();
        const auto n = numberAt(p.second);
        if (key != "to" && key != "over" && key != "from")
            throw Wrong{lineOf(p.first), "a ramp takes to, over and from, not '" + key + "'"};
        if (!n)
            throw Wrong{lineOf(p.second), "'" + key + "' must be a number"};
        if (key == "to")
            step.to = *n;
        else if (key == "from")
            step.from = *n;
        else if (!(*n > 0.0))
            throw Wrong{lineOf(p.second), "'over' must be above 0 seconds"};
        else
            step.over = *n;
    }
    if (!r["to"] || !r["over"])
        throw Wrong{lineOf(r), "a ramp needs 'to' and 'over'"};
}

ScenarioStep parseStep(const YAML::Node& n) {
    ScenarioStep step;
    step.line = lineOf(n);
    if (!n.IsMap() || !n["at"])
        throw Wrong{step.line, "a step is 'at: SECONDS' and one command"};
    const auto at = numberAt(n["at"]);
    if (!at || !(*at >= 0.0) || *at > 1e9)
        throw Wrong{lineOf(n["at"]), "'at' must be a number of seconds, 0 or more"};
    step.at = *at;
    if (n.size() != 2)
        throw Wrong{step.line, "a step has 'at' and exactly one command"};
    for (const auto& kv : n) {
        const std::string cmd = kv.first.as<std::string>();
        if (cmd == "at")
            continue;
        step.line = lineOf(kv.first);
        if (cmd == "end") {
            step.kind = ScenarioStep::Kind::End;
        } else if (cmd == "ramp") {
            step.kind = ScenarioStep::Kind::Ramp;
            parseRamp(kv.second, step);
        } else {
            const json body = toJson(kv.second);
            if (body.is_object())
                step.request = body;
            else if (cmd == "pause" && body.is_boolean())
                step.request = {{"on", body}};
            else if (body.is_null())
                step.request = json::object();
            else
                throw Wrong{lineOf(kv.second), "the fields of '" + cmd + "' must be a mapping"};
            step.request["cmd"] = cmd;
            PreparedRequest scratch;
            if (const std::string wrong = ControlProtocol::Prepare(step.request, scratch);
                !wrong.empty())
                throw Wrong{step.line, wrong};
        }
    }
    return step;
}

} // namespace

std::string ParseScenario(const std::string& text, const std::string& name, Scenario& out) {
    out = Scenario{};
    try {
        const YAML::Node root = YAML::Load(text);
        if (!root.IsMap())
            throw Wrong{1, "a scenario is a mapping with 'steps'"};
        for (const auto& kv : root) {
            const std::string key = kv.first.as<std::string>();
            const int line = lineOf(kv.first);
            if (key == "port") {
                if (!kv.second.IsScalar())
                    throw Wrong{line, "'port' must be COM1..COM4 or a device"};
                out.port = kv.second.Scalar();
            } else if (key == "period") {
                const auto p = numberAt(kv.second);
                if (!p || !(*p >= 0.001 && *p <= 100.0))
                    throw Wrong{line, "The period must be 0.001 to 100 seconds"};
                out.period = *p;
            } else if (key == "steps") {
                if (!kv.second.IsSequence())
                    throw Wrong{line, "'steps' must be a list"};
                double last = 0.0;
                for (const YAML::Node& s : kv.second) {
                    ScenarioStep step = parseStep(s);
                    if (step.at < last)
                        throw Wrong{step.line, "steps must be in time order"};
                    last = step.at;
                    out.steps.push_back(std::move(step));
                }
            } else {
                throw Wrong{line, "unknown key '" + key + "' (port, period, steps)"};
            }
        }
        if (out.steps.empty())
            throw Wrong{1, "no steps"};
    } catch (const Wrong& w) {
        return name + ":" + std::to_string(w.line) + ": " + w.what;
    } catch (const YAML::Exception& e) {
        return name + ":" + std::to_string(e.mark.line + 1) + ": " + e.msg;
    }
    return {};
}

std::string LoadScenario(const std::string& path, Scenario& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return path + ": cannot be read";
    std::ostringstream text;
    text << in.rdbuf();
    return ParseScenario(text.str(), path, out);
}

ScenarioPlayer::ScenarioPlayer(const Scenario& s, ControlProtocol& p) : scenario(s), protocol(p) {
    // The run ends before the tick the end falls on: a step "at: 2" with a period of 0.1 s
    // leaves 20 ticks served.
    for (const ScenarioStep& step : scenario.steps)
        if (step.kind == ScenarioStep::Kind::End && !endTick)
            endTick = static_cast<std::uint64_t>(std::llround(step.at / scenario.period));
}

std::string ScenarioPlayer::beforeTick(std::uint64_t served) {
    const auto tickOf = [this](double seconds) {
        return static_cast<std::uint64_t>(std::llround(seconds / scenario.period));
    };
    std::string refused;
    for (; next < scenario.steps.size() && tickOf(scenario.steps[next].at) <= served; ++next) {
        const ScenarioStep& step = scenario.steps[next];
        if (step.kind == ScenarioStep::Kind::End) {
            continue;
        } else if (step.kind == ScenarioStep::Kind::Ramp) {
            double from = 0.0;
            if (step.from) {
                from = *step.from;
            } else {
                const json status = protocol.run({{"cmd", "status"}}, client);
                from = status["values"][step.field].get<double>();
            }
            const std::uint64_t ticks = std::max<std::uint64_t>(1, tickOf(step.over));
            std::erase_if(ramps, [&](const Running& r) { return r.field == step.field; });
            ramps.push_back({step.field, from, step.to, served, ticks});
        } else if (const json answer = protocol.run(step.request, client); !answer["ok"]) {
            refused =
                "line " + std::to_string(step.line) + ": " + answer["error"].get<std::string>();
        }
        if (!refused.empty())
            return refused;
    }
    for (const Running& r : ramps) {
        const double done =
            std::min(1.0, static_cast<double>(served - r.start) / static_cast<double>(r.ticks));
        protocol.run({{"cmd", "set"}, {r.field, r.from + (r.to - r.from) * done}}, client);
    }
    std::erase_if(ramps, [served](const Running& r) { return served - r.start >= r.ticks; });
    return {};
}

bool ScenarioPlayer::ended(std::uint64_t served) const { return endTick && served >= *endTick; }
