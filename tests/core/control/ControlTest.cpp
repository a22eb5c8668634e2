// The control protocol's requests, each accepted one by its effect on the engine and each
// refusal by its text; the socket server's limits on real Unix sockets; scenario checking.
#include <gtest/gtest.h>

#include <chrono>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "control/ControlServer.h"
#include "control/Scenario.h"
#include "core/engine/EngineRig.h"

namespace {

using nlohmann::json;

struct ControlRig : EngineRig {
    ControlProtocol protocol{e, "tarrow-test", "1.0"};
    ClientState client;

    json ask(const std::string& line) { return json::parse(protocol.handle(line, client)); }
};

// Each command by what it changes; the answer of a change names the next tick.
TEST(Control, EachCommandReachesTheEngine) {
    const std::string file = std::string(TARROW_TEST_DATA_DIR) + "/playback/groups_lf.nmea";
    using W = std::vector<std::string>;
    using Check = bool (*)(Emulator&, ClientState&, W&);
    // request, what must hold afterwards (W: what reached the line)
    // clang-format off
    const std::vector<std::pair<std::string, Check>> rows = {
        {R"({"cmd":"set","xte":-0.5,"track":365.25,"speed":600,"course":false,"heading":false})",
         [](Emulator& e, ClientState&, W&) {
             const SimulatorValues& v = e.simulator().values();
             return v.xteMode == XteMode::Value && v.xteValue == -0.5f && v.trackTenths == 52.0f &&
                    v.speed == 500.0f && !v.courseOn && !v.headingOn; }},
        {R"({"cmd":"set","xte_mode":"centre","format":"aviation","period":0.25})",
         [](Emulator& e, ClientState&, W&) { return e.simulator().values().xteMode ==
             XteMode::Centre && e.simulator().values().format == OutputFormat::Aviation &&
             e.link().baudRate() == 9600; }},
        {R"({"cmd":"set","sentences":["gga","VTG"],"position":[50.8,-1.3],"move":true})",
         [](Emulator& e, ClientState&, W&) {
             const SimulatorValues& v = e.simulator().values();
             return v.sentences == (SentenceBit(Sentence::GGA) | SentenceBit(Sentence::VTG)) &&
                    v.position.latitude == 50.8 && v.position.longitude == -1.3 &&
                    e.simulator().isMoving(); }},
        {R"({"cmd":"pause","on":true})", [](Emulator& e, ClientState&, W&) {
             return e.runLoop().isPaused(); }},
        {R"({"cmd":"flow","on":true,"rate":5})", [](Emulator& e, ClientState&, W&) {
             return e.fuelFlow().enabled() && e.fuelFlow().fuelFlow() == 5.0f; }},
        {R"({"cmd":"faults","faults":["checksum:3","invalid"],"live_time":true})",
         [](Emulator& e, ClientState&, W&) {
             return e.faults().checksumEvery == 3 && e.faults().invalid && e.faults().liveTime; }},
        {R"({"cmd":"replay","file":")" + file + R"(","trigger":"gprmc","records":3,"loop":true,"all_sentences":true,"pace":"none"})",
         [](Emulator& e, ClientState&, W&) {
             const Replay& r = e.replay();
             return r.isOpen() && e.runLoop().page() == Page::File && r.sendsAllSentences() &&
                    r.pace() == ReplayPace::None && r.triggerText() == "GPRMC" &&
                    r.recordsPerTickSetting() == 3 && r.loops(); }},
        {R"({"cmd":"replay_stop"})", [](Emulator& e, ClientState&, W&) {
             return !e.replay().isOpen() && e.runLoop().page() == Page::Simulator; }},
        {R"({"cmd":"coupler","compatibility":false,"command":"heading-gain","value":"2.0"})",
         [](Emulator& e, ClientState&, W& w) { return !e.coupler().settings().compatibility &&
             w.size() == 1 && w[0].starts_with("$PZHGN"); }},
        {R"({"cmd":"coupler","command":"dim","value":"sensor"})", [](Emulator&, ClientState&,
             W& w) { return w == W{"$PZDIM128,*5D\r\n"}; }},
        {R"({"cmd":"subscribe","what":"readouts"})", [](Emulator&, ClientState& c, W&) {
             return c.readouts && !c.records; }},
    };
    // clang-format on
    for (const auto& [request, holds] : rows) {
        SCOPED_TRACE(request);
        ControlRig rig;
        const json answer = rig.ask(request);
        EXPECT_EQ(answer["ok"], true) << answer.dump();
        std::vector<std::string> written = rig.written();
        EXPECT_TRUE(holds(rig.e, rig.client, written));
        // A coupler sentence leaves at once, not with a tick.
        EXPECT_EQ(answer.contains("tick"), request.find("subscribe") == std::string::npos &&
                                               request.find("coupler") == std::string::npos);
    }
}

// A refused request answers with the text the window shows, keeps its id and changes nothing,
// not even the valid fields beside the wrong one.
TEST(Control, RefusalsSayWhyAndChangeNothing) {
    // clang-format off
    const std::pair<std::string, std::string> rows[] = {
        {R"({"id":7,"cmd":"set","speed":10,"xte":"far"})", "'far' is not a valid floating point value"},
        {R"({"id":7,"cmd":"set","speed":10,"depth":3})", "unknown field 'depth'"},
        {R"({"id":7,"cmd":"set","xte_mode":"up"})", "'up' is not left, centre, right or value"},
        {R"({"id":7,"cmd":"set","course":"yes"})", "'course' must be true or false"},
        {R"({"id":7,"cmd":"set","speed":10,"sentences":"GGA,RMZ"})", "unknown sentence 'RMZ'"},
        {R"({"id":7,"cmd":"set","heading":true,"position":[91,0]})", "The latitude must be -90 to 90"},
        {R"({"id":7,"cmd":"replay","file":"a.nmea","pace":"fast"})", "'fast' is not ticks, file or none"},
        {R"({"id":7,"cmd":"set","format":"v9"})", "'v9' is not nmea-v2, nmea-v3 or aviation"},
        {R"({"id":7,"cmd":"set","course":false,"period":0})", "The period must be 0.001 to 100 seconds"},
        {R"({"id":7,"cmd":"set"})", "set: no field given"},
        {R"({"id":7,"cmd":"pause"})", "'on' must be true or false"},
        {R"({"id":7,"cmd":"flow","rate":"fast"})", "'fast' is not a valid floating point value"},
        {R"({"id":7,"cmd":"faults","faults":["checksum:0"]})", "checksum needs a whole number of 1 or more"},
        {R"({"id":7,"cmd":"replay","file":"/nonexistent/x.nmea"})", "Can't open /nonexistent/x.nmea: not a readable regular file"},
        {R"({"id":7,"cmd":"replay","file":"a.nmea","records":101})", "'101' is not a whole number in 1..100"},
        {R"({"id":7,"cmd":"coupler","command":"course-gain","value":3})", "'3' is not 1.25, 2.50, 5.00 or 10.0"},
        {R"({"id":7,"cmd":"coupler","compatibility":true,"command":"max-time","value":5})", "Not Implimented except for Camlinks"},
        {R"({"id":7,"cmd":"coupler","command":"offset","value":1e300})", "'1e+300' is not a whole number of counts"},
        {R"({"id":7,"cmd":"coupler","command":"max-angle","value":"4.5"})", "'4.5' is not a whole number in 0..90"},
        {R"({"id":7,"cmd":"coupler","command":"warp","value":1})", "unknown coupler command 'warp'"},
        {R"({"id":7,"cmd":"subscribe","what":"everything"})", "'what' must be records or readouts"},
        {R"({"id":7,"cmd":"launch"})", "unknown command 'launch'"},
        {R"({"id":7})", "a request needs \"cmd\""},
        {R"([7])", "a request must be a JSON object"},
        {R"({"id":7,"cmd":"set",)", "not a JSON object"},
    };
    // clang-format on
    for (const auto& [request, error] : rows) {
        SCOPED_TRACE(request);
        ControlRig rig;
        const json answer = rig.ask(request);
        EXPECT_EQ(answer["ok"], false);
        EXPECT_EQ(answer["error"].get<std::string>().rfind(error, 0), 0u) << answer.dump();
        // The id comes back whenever the request could be read at all.
        EXPECT_EQ(answer["id"], request.back() == '}' ? json(7) : json());
        EXPECT_EQ(rig.e.simulator().values().speed, 150.0f);
        EXPECT_TRUE(rig.e.simulator().values().courseOn && !rig.e.simulator().values().headingOn);
        EXPECT_EQ(rig.e.runLoop().periodSeconds(), 1.0);
        EXPECT_TRUE(rig.written().empty());
    }
}

TEST(Control, HelloAndStatusAnswerWithTheirFields) {
    ControlRig rig;
    const json hello = rig.ask(R"({"id":"a","cmd":"hello"})");
    EXPECT_EQ(hello, json::parse(R"({"id":"a","ok":true,"program":"tarrow-test",
                                     "version":"1.0","protocol":1})"));
    rig.ask(R"({"cmd":"set","xte":0.1,"format":"nmea-v2"})");
    const json status = rig.ask(R"({"id":2,"cmd":"status"})");
    for (const char* field : {"port", "device", "open", "baud", "sent", "dropped", "load", "paused",
                              "format", "values", "faults"})
        EXPECT_TRUE(status.contains(field)) << field;
    EXPECT_EQ(status["port"], "COM1:");
    EXPECT_EQ(status["format"], "nmea-v2");
    EXPECT_EQ(status["values"]["xte"], 0.1); // the float shown as typed
    EXPECT_EQ(status["values"]["xte_mode"], "value");
}

// ---- the socket server, on real Unix sockets

struct ServerRig : ControlRig {
    explicit ServerRig(std::size_t bound = ControlServer::DefaultMaxOutput)
        : server(e, protocol, bound) {
        address.path = (dir.path / "control").string();
        EXPECT_EQ(server.listen(address), "");
    }
    int connect() {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::snprintf(a.sun_path, sizeof a.sun_path, "%s", address.path.c_str());
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        pump();
        return fd;
    }
    // Serves whatever waits, until the server has been quiet for 20 ms.
    void pump() {
        for (;;) {
            pollfd p{server.fd(), POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                return;
            server.process();
        }
    }
    // One tick now, and what it sends to subscribers.
    void tick() {
        e.serve(e.runLoop().nextTick());
        server.afterServe();
        e.writer().flush();
        pump();
    }
    static void send(int fd, const std::string& text) {
        ASSERT_EQ(::send(fd, text.data(), text.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(text.size()));
    }
    // The lines a client can read now; "EOF" once the server has closed it.
    static std::vector<std::string> lines(int fd) {
        std::string all;
        char buf[65536];
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                break;
            const ssize_t got = ::recv(fd, buf, sizeof buf, 0);
            if (got <= 0) {
                all += "EOF\n";
                break;
            }
            all.append(buf, static_cast<std::size_t>(got));
        }
        std::vector<std::string> out;
        for (std::size_t at = 0, end; (end = all.find('\n', at)) != std::string::npos; at = end + 1)
            out.push_back(all.substr(at, end - at));
        return out;
    }

    ControlServer server;
    ControlAddress address;
};

TEST(ControlServer, TheSocketIsTheUsersAlone) {
    ServerRig rig;
    struct stat st {};
    ASSERT_EQ(::stat(rig.address.path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // A second server does not take a socket that is in use.
    ControlServer second(rig.e, rig.protocol);
    EXPECT_NE(second.listen(rig.address).find("is in use"), std::string::npos);
}

// Fifty clients at once: each gets its own answer, and every subscriber the tick's record
// ($GPRMB alone at start-up) twice, handed over and left.
TEST(ControlServer, FiftyClientsEachGetTheirAnswersAndTheRecords) {
    ServerRig rig;
    std::vector<int> fds;
    for (int i = 0; i < 50; ++i)
        fds.push_back(rig.connect());
    for (int i = 0; i < 50; ++i)
        ServerRig::send(fds[static_cast<std::size_t>(i)],
                        R"({"id":)" + std::to_string(i) +
                            R"(,"cmd":"subscribe","what":"records"})" + "\n");
    rig.pump();
    rig.tick();
    EXPECT_EQ(rig.server.clientCount(), 50u);
    for (int i = 0; i < 50; ++i) {
        const auto got = ServerRig::lines(fds[static_cast<std::size_t>(i)]);
        ASSERT_EQ(got.size(), 3u) << i;
        EXPECT_EQ(json::parse(got[0]),
                  json::parse(R"({"id":)" + std::to_string(i) + R"(,"ok":true})"));
        std::vector<std::string> kinds;
        for (std::size_t k = 1; k < got.size(); ++k) {
            const json ev = json::parse(got[k]);
            kinds.push_back(ev["event"].get<std::string>() + " " +
                            ev["text"].get<std::string>().substr(0, 6));
        }
        EXPECT_EQ(kinds, (std::vector<std::string>{"record $GPRMB", "left $GPRMB"}));
    }
    for (const int fd : fds)
        ::close(fd);
    rig.pump();
    EXPECT_EQ(rig.server.clientCount(), 0u);
}

// A line longer than the limit is refused and its client disconnected; a client that never
// reads is disconnected once its unread answers pass the bound. Neither holds up the others
// or the line.
TEST(ControlServer, AnOverlongLineOrAClientThatNeverReadsIsDisconnected) {
    ServerRig rig(64 * 1024);
    const int good = rig.connect();
    const int overlong = rig.connect();
    const int deaf = rig.connect();
    const std::string megabyte(1 << 20, 'x');
    ::send(overlong, megabyte.data(), megabyte.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    std::string flood;
    for (int i = 0; i < 2000; ++i)
        flood += R"({"cmd":"status"})"
                 "\n";
    ::send(deaf, flood.data(), flood.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    rig.pump();
    const auto refused = ServerRig::lines(overlong);
    ASSERT_FALSE(refused.empty());
    EXPECT_EQ(json::parse(refused.front())["error"], "a request line is longer than 65536 bytes");
    EXPECT_EQ(refused.back(), "EOF");
    EXPECT_EQ(rig.server.clientCount(), 1u);

    ServerRig::send(good, R"({"id":1,"cmd":"set","speed":20,"heading":true})"
                          "\n");
    rig.pump();
    EXPECT_EQ(ServerRig::lines(good), std::vector<std::string>{R"({"id":1,"ok":true,"tick":1})"});
    rig.tick();
    const auto sent = rig.written();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_NE(sent[1].find("20.0,"), std::string::npos) << sent[1];
    for (const int fd : {good, overlong, deaf})
        ::close(fd);
}

// A read-outs subscriber gets the File page's read-outs after each tick of a replay.
TEST(ControlServer, ReadOutsFollowEachTickOfAReplay) {
    ServerRig rig;
    const int fd = rig.connect();
    ServerRig::send(fd, R"({"id":1,"cmd":"subscribe","what":"readouts"})"
                        "\n"
                        R"({"id":2,"cmd":"replay","file":")" TARROW_TEST_DATA_DIR
                        R"(/playback/groups_lf.nmea"})"
                        "\n");
    rig.pump();
    rig.tick();
    const auto got = ServerRig::lines(fd);
    ASSERT_EQ(got.size(), 3u);
    const json readouts = json::parse(got[2]);
    EXPECT_EQ(readouts["event"], "readouts");
    EXPECT_EQ(readouts["tick"], 1);
    EXPECT_EQ(readouts["range"], rig.e.replay().readouts().text(Readout::Range));
    EXPECT_FALSE(readouts["range"].get<std::string>().empty());
    ::close(fd);
}

// ---- scenarios

TEST(Scenario, AWrongStepIsRefusedWithItsLine) {
    // clang-format off
    const std::pair<std::string, std::string> rows[] = {
        {"period: 0.1\nsteps:\n  - at: 0\n    set: {xte: far}\n", "s.yaml:4: 'far' is not a valid floating point value"},
        {"period: 0.1\nsteps:\n  - at: 0\n    set: {xte: 1}\n  - at: -1\n    end:\n", "s.yaml:5: 'at' must be a number of seconds, 0 or more"},
        {"steps:\n  - at: 2\n    pause: true\n  - at: 1\n    end:\n", "s.yaml:5: steps must be in time order"},
        {"steps:\n  - at: 0\n    ramp: {heading: {to: 1, over: 2}}\n", "s.yaml:3: only xte, track and speed ramp, not 'heading'"},
        {"steps:\n  - at: 0\n    ramp: {xte: {to: 1}}\n", "s.yaml:3: a ramp needs 'to' and 'over'"},
        {"steps:\n  - at: 0\n    set: {xte: 1}\n    pause: true\n", "s.yaml:2: a step has 'at' and exactly one command"},
        {"period: 0\nsteps: []\n", "s.yaml:1: The period must be 0.001 to 100 seconds"},
        {"colour: red\n", "s.yaml:1: unknown key 'colour' (port, period, steps)"},
        {"steps:\n  - at: 0\n    set: {xte: [1\n", "s.yaml:4: "},
    };
    // clang-format on
    for (const auto& [text, error] : rows) {
        SCOPED_TRACE(text);
        Scenario s;
        const std::string got = ParseScenario(text, "s.yaml", s);
        EXPECT_EQ(got.rfind(error, 0), 0u) << got;
    }
}

} // namespace
