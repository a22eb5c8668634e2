// The program under control: `serve` taking a client's change on its socket, and the sample
// scenarios run tick for tick.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <sys/socket.h>
#include <sys/un.h>

#include "cli/ProgramRun.h"

namespace {

using nlohmann::json;

double utcNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::vector<std::string> splitLines(const std::string& text, const std::string& end) {
    std::vector<std::string> out;
    for (std::size_t at = 0, e; (e = text.find(end, at)) != std::string::npos; at = e + end.size())
        out.push_back(text.substr(at, e - at));
    return out;
}

// A client subscribes and sets the cross-track; the tick its answer names is the first to
// carry it on the line, and the events' times are those of the records' arrival, within a tick.
TEST(ControlProgram, AChangeFromTheSocketReachesTheLineAtTheTickItsAnswerNames) {
    constexpr double Period = 0.1;
    ProgramRun p;
    const std::string socketPath = (p.dir.path / "c").string();
    int client = -1;
    std::string fromServer;
    std::vector<std::pair<std::string, double>> arrived; // wire sentences, when seen
    std::size_t wireSeen = 0;
    long long answerTick = 0;
    const ProgramResult r = p.run(
        "serve --period 0.1 --control=unix:" + socketPath + " --port PTY",
        [&](pid_t pid, const std::string& wire) {
            const double now = utcNow();
            for (std::size_t e; (e = wire.find("\r\n", wireSeen)) != std::string::npos;
                 wireSeen = e + 2)
                arrived.emplace_back(wire.substr(wireSeen, e - wireSeen), now);
            if (client < 0 && std::filesystem::exists(socketPath)) {
                client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
                sockaddr_un a{};
                a.sun_family = AF_UNIX;
                std::snprintf(a.sun_path, sizeof a.sun_path, "%s", socketPath.c_str());
                ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
                const std::string requests = R"({"id":1,"cmd":"subscribe","what":"records"})"
                                             "\n"
                                             R"({"id":2,"cmd":"set","xte":-0.5})"
                                             "\n";
                ASSERT_EQ(::send(client, requests.data(), requests.size(), MSG_NOSIGNAL),
                          static_cast<ssize_t>(requests.size()));
            }
            char buf[65536];
            for (ssize_t got; client >= 0 && (got = ::recv(client, buf, sizeof buf, 0)) > 0;)
                fromServer.append(buf, static_cast<std::size_t>(got));
            for (const std::string& line : splitLines(fromServer, "\n"))
                if (const json m = json::parse(line); m.value("id", 0) == 2)
                    answerTick = m["tick"].get<long long>();
            // Three ticks after the change, enough.
            if (answerTick > 0 && arrived.size() >= static_cast<std::size_t>(2 * answerTick + 6))
                ::kill(pid, SIGTERM);
        });
    ::close(client);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_GT(answerTick, 0);
    // Every tick sends $GPRMB then $GPRMC: tick k's $GPRMB is the line's (2k-1)th sentence.
    const auto rmb = [&](long long tick) {
        return arrived.at(static_cast<std::size_t>(2 * tick - 2)).first.substr(0, 16);
    };
    if (answerTick > 1) {
        EXPECT_EQ(rmb(answerTick - 1), "$GPRMB,A,1.250,R");
    }
    EXPECT_EQ(rmb(answerTick), "$GPRMB,A,0.500,R");

    int events = 0;
    for (const std::string& line : splitLines(fromServer, "\n")) {
        const json m = json::parse(line);
        if (!m.contains("event"))
            continue;
        const auto seq = m["seq"].get<std::size_t>();
        ASSERT_LE(seq, arrived.size());
        EXPECT_EQ(m["text"], arrived[seq - 1].first + "\r\n");
        EXPECT_NEAR(m["time"].get<double>(), arrived[seq - 1].second, Period) << line;
        if (m["event"] == "record") {
            EXPECT_EQ(m["tick"], (seq + 1) / 2);
        }
        ++events;
    }
    EXPECT_GE(events, 8);
}

// Each sample scenario is valid, and run 50 times faster than written its records follow its
// steps tick for tick: the coupler's sentences before the tick they fall on, the ramps a step
// a tick, the end on time.
TEST(ControlProgram, TheSampleScenariosRunTickForTick) {
    struct Row {
        const char* sample;
        std::size_t ticks;
        std::vector<std::pair<std::size_t, std::string>> hold; // tick (from 0), a text in it
    };
    // clang-format off
    const Row rows[] = {
        {"xte-sweep.yaml", 14,
         {{0, "$GPRMB,A,1.000,R"}, {0, ",120.0,045.0,"}, {1, "$GPRMB,A,1.000,R"},
          {2, "$GPRMB,A,0.800,R"}, {6, "$GPRMB,A,0.000,L"}, {11, "$GPRMB,A,1.000,L"},
          {12, "$GPRMB,A,0.000,L"}}},
        {"lost-fix.yaml", 15,
         {{4, "$GPRMB,A,0.200,L"}, {5, "$GPRMB,V,0.200,L"}, {5, "$GPRMC,115622.34,V"},
          {9, "$GPRMB,V"}, {10, "$GPRMB,A"}, {14, "$GPRMC,115622.34,A"}}},
        {"coupler-turn.yaml", 15,
         {{0, "$PZTST,"}, {1, "$PZGAN,1*"}, {2, "$PZHGN,2*"}, {3, ",140.0,090.0,"},
          {4, ",140.0,090.0,"}, {5, ",140.0,100.0,"}, {13, ",140.0,180.0,"},
          {14, ",140.0,180.0,"}}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sample);
        const std::string file = std::string(TARROW_SAMPLES_DIR) + "/" + row.sample;
        ProgramRun p;
        const ProgramResult checked = p.run("run --check " + file);
        EXPECT_EQ(checked.status, 0) << checked.err;
        EXPECT_NE(checked.err.find("all valid"), std::string::npos);
        EXPECT_EQ(checked.wire, "");

        const ProgramResult r = p.run("--port PTY run " + file + " --period 0.02");
        ASSERT_EQ(r.status, 0) << r.err;
        // A tick is its $GPRMB and what follows it; coupler sentences go with the next tick.
        std::vector<std::string> ticks;
        std::string pending;
        for (const std::string& s : splitLines(r.wire, "\r\n")) {
            if (s.rfind("$GPRMB", 0) == 0) {
                ticks.push_back(pending + s);
                pending.clear();
            } else if (s.rfind("$PZ", 0) == 0 || ticks.empty()) {
                pending += s + "|";
            } else {
                ticks.back() += "|" + s;
            }
        }
        EXPECT_EQ(ticks.size(), row.ticks);
        for (const auto& [tick, text] : row.hold) {
            ASSERT_LT(tick, ticks.size());
            EXPECT_NE(ticks[tick].find(text), std::string::npos) << tick << ": " << ticks[tick];
        }
    }
}

} // namespace
