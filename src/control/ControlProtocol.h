#pragma once
#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "engine/CommandResult.h"

class Emulator;

// What one client of the control socket has asked to be told.
struct ClientState {
    bool records = false;
    bool readouts = false;
};

// A request checked and turned into engine commands, not yet run.
struct PreparedRequest {
    using Step = std::function<CommandResult(Emulator&, ClientState&)>;
    std::vector<Step> steps;
    // Adds what the command reports (status, hello) to an accepted answer.
    std::function<void(Emulator&, nlohmann::json&)> report;
    bool changes = false; // the answer says from which tick the change applies
};

// The control vocabulary: one JSON object in, one answer out, each request a few engine
// commands. Shared by the control socket and the scenario files; knows no socket or window.
class ControlProtocol {
public:
    static constexpr int Version = 1;

    // `program`: the name hello answers with.
    ControlProtocol(Emulator& emulator, std::string program, std::string version);

    // One request line; the answer without its line end.
    std::string handle(std::string_view line, ClientState& client);
    // One request object; the answer object, carrying the request's id.
    nlohmann::json run(const nlohmann::json& request, ClientState& client);

    // Called after an accepted request changed a value, so a window can show it.
    void onChanged(std::function<void()> callback) { changed = std::move(callback); }

    // Checks a request and turns it into commands. Returns what is wrong, or nothing.
    static std::string Prepare(const nlohmann::json& request, PreparedRequest& out);

    // The events a subscriber gets.
    static std::string RecordEvent(const char* name, std::uint64_t tick, std::uint64_t sequence,
                                   double utcSeconds, std::string_view bytes, bool ok);
    std::string ReadoutsEvent() const;

    // The answer's text for a JSON value, as a message quotes it.
    static std::string Dump(const nlohmann::json& value);

private:
    Emulator& emulator;
    std::string program, version;
    std::function<void()> changed;
};
