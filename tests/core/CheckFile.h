#pragma once
// A recorded file's check (tests/data/playback/*.chk): the replay settings above the "open"
// line, then from "open" on every event the replay must give, one "key value" per line.
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

// The quoting of the values: \r \n \\ \" and \xNN.
inline std::string Unquote(const std::string& q) {
    std::string out;
    for (std::size_t i = 1; i + 1 < q.size(); ++i) {
        if (q[i] != '\\') {
            out += q[i];
        } else if (q[++i] == 'x') {
            out += static_cast<char>(std::stoi(q.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += q[i] == 'r' ? '\r' : q[i] == 'n' ? '\n' : q[i];
        }
    }
    return out;
}

struct CheckFile {
    std::map<std::string, std::string> settings;
    std::vector<std::string> events; // "key" or "key value", the value unquoted

    // The bytes that reach the line, in order.
    std::string wire() const {
        std::string bytes;
        for (const std::string& e : events)
            if (e.starts_with("wire "))
                bytes += e.substr(5);
        return bytes;
    }
};

inline CheckFile ReadCheckFile(const std::filesystem::path& path) {
    CheckFile chk;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        const std::string unquoted = value.starts_with('"') ? Unquote(value) : value;
        if (key == "open" || !chk.events.empty())
            chk.events.push_back(space == std::string::npos ? key : key + " " + unquoted);
        else
            chk.settings[key] = unquoted;
    }
    return chk;
}
