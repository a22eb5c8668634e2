#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <fstream>

#include "cli/ProgramRun.h"
#include "core/CheckFile.h"

namespace {

using namespace std::chrono_literals;

const std::string Rmb3 = "$GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*40\r\n";
const std::string Rmc3 = "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*2F\r\n";
const std::string Fast = "0.05";

std::vector<std::string> with(std::vector<std::string> args, const ProgramRun& p) {
    args.insert(args.end(), {"--port", p.pty.slavePath, "--quiet"});
    return args;
}

TEST(CliProgram, StartUpRecordsEveryTickAndEchoed) {
    ProgramRun p;
    const auto r = p.run(with({"simulate", "--ticks", "3", "--period", Fast, "--echo"}, p));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.wire, Rmb3 + Rmc3 + Rmb3 + Rmc3 + Rmb3 + Rmc3);
    std::string echoed;
    for (int i = 0; i < 3; ++i)
        echoed += Rmb3.substr(0, Rmb3.size() - 2) + "\n" + Rmc3.substr(0, Rmc3.size() - 2) + "\n";
    EXPECT_EQ(r.out, echoed);
    EXPECT_EQ(r.err, "");
}

TEST(CliProgram, RampsMoveOneStepPerTickThenHold) {
    ProgramRun p;
    const auto r = p.run(with({"simulate", "--format", "v2", "--ticks", "6", "--period", Fast,
                               "--xte-ramp=-0.5:0.5:0.2", "--track-ramp", "350:370:0.2",
                               "--speed-ramp", "100:200:0.2"},
                              p));
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string last = "$GPRMB,A,0.500,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*30\r\n"
                             "$GPRMC,115622.34,A,37.45,N,122.67,W,200.0,010.0,061195,7.0,E*45\r\n";
    EXPECT_EQ(r.wire, "$GPRMB,A,0.500,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*2E\r\n"
                      "$GPRMC,115622.34,A,37.45,N,122.67,W,100.0,350.0,061195,7.0,E*41\r\n"
                      "$GPRMB,A,0.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*2C\r\n"
                      "$GPRMC,115622.34,A,37.45,N,122.67,W,125.0,355.0,061195,7.0,E*43\r\n"
                      "$GPRMB,A,0.000,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*35\r\n"
                      "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E*42\r\n"
                      "$GPRMB,A,0.250,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*32\r\n"
                      "$GPRMC,115622.34,A,37.45,N,122.67,W,175.0,005.0,061195,7.0,E*40\r\n" +
                          last + last);
}

CheckFile readChk(const std::string& name) {
    return ReadCheckFile(std::string(TARROW_TEST_DATA_DIR) + "/playback/" + name);
}

TEST(CliProgram, ReplayPutsTheRecordedBytesOnTheWire) {
    // Between them the two use every option of replay; the engine's tests run all the files.
    for (const char* chk : {"groups_lf.chk", "one_record_loop.chk"}) {
        const CheckFile rec = readChk(chk);
        ASSERT_FALSE(rec.wire().empty()) << chk;
        ProgramRun p;
        std::vector<std::string> args{"replay",
                                      std::string(TARROW_TEST_DATA_DIR) + "/playback/" +
                                          rec.settings.at("file"),
                                      "--type",
                                      rec.settings.at("type"),
                                      "--records",
                                      rec.settings.at("budget"),
                                      "--trigger=" + rec.settings.at("trigger"),
                                      "--period",
                                      Fast};
        if (rec.settings.at("loop") == "1")
            args.insert(args.end(), {"--loop", "--ticks", rec.settings.at("ticks")});
        const auto r = p.run(with(args, p));
        EXPECT_EQ(r.status, 0) << chk << r.err;
        EXPECT_EQ(r.wire, rec.wire()) << chk;
    }
}

// Faults act on simulated and replayed records alike; live time puts today's UTC date in.
TEST(CliProgram, FaultsAndLiveTimeReachTheWire) {
    ProgramRun p;
    auto r = p.run(with({"simulate", "--ticks", "2", "--period", Fast, "--fault", "checksum:2",
                         "--fault", "invalid"},
                        p));
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string rmbV =
        "$GPRMB,V,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*57\r\n";
    const std::string rmcVBad =
        "$GPRMC,115622.34,V,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*C7\r\n";
    EXPECT_EQ(r.wire, rmbV + rmcVBad + rmbV + rmcVBad);

    ProgramRun t;
    const std::time_t before = std::time(nullptr);
    r = t.run(
        with({"simulate", "--ticks", "1", "--period", Fast, "--no-course", "--live-time"}, t));
    const std::time_t after = std::time(nullptr);
    ASSERT_EQ(r.status, 0) << r.err;
    bool matched = false;
    for (std::time_t when = before; when <= after + 1; ++when) {
        std::tm u{};
        gmtime_r(&when, &u);
        char fields[64];
        std::snprintf(fields, sizeof fields, "$GPRMC,%02d%02d%02d.", u.tm_hour, u.tm_min, u.tm_sec);
        char date[16];
        std::strftime(date, sizeof date, ",%d%m%y,", &u);
        matched =
            matched || (r.wire.rfind(fields, 0) == 0 && r.wire.find(date) != std::string::npos);
    }
    EXPECT_TRUE(matched) << r.wire;
    const std::size_t star = r.wire.find('*');
    ASSERT_NE(star, std::string::npos);
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(r.wire[i]);
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", sum);
    EXPECT_EQ(r.wire.substr(star + 1), std::string(hex) + "\r\n");
}

TEST(CliProgram, ReplayReadoutsPerTick) {
    struct Row {
        const char* file;
        bool json;
        std::string out;
    } rows[] = {
        {"groups_crlf.nmea", true,
         "{\"tick\":1,\"range\":\"1.40nm\",\"speed\":\"150.0kt\",\"calculated_speed\":\"\","
         "\"waypoint\":\"DST\"}\n"
         // Ticks per hour in the period asked for: 72000 at 0.05 s.
         "{\"tick\":2,\"range\":\"1.30nm\",\"speed\":\"148.5kt\",\"calculated_speed\":\"-93600."
         "0kt\",\"waypoint\":\"DST\"}\n"
         "{\"tick\":3,\"range\":\"1.20nm\",\"speed\":\"0.5kt\",\"calculated_speed\":\"7200.0kt\","
         "\"waypoint\":\"DST\"}\n"},
        {"two_records.avi", true,
         "{\"tick\":1,\"range\":\"12.30nm\",\"speed\":\"150.0kt\",\"calculated_speed\":\"\","
         "\"waypoint\":\"ABCDE\"}\n"
         "{\"tick\":2,\"range\":\"45.60nm\",\"speed\":\"150.0kt\",\"calculated_speed\":\"\","
         "\"waypoint\":\"AB\\r\\nD\"}\n"},
        {"two_records.avi", false,
         "tick 1: range 12.30nm, speed 150.0kt, calculated speed -, waypoint ABCDE\n"
         "tick 2: range 45.60nm, speed 150.0kt, calculated speed -, waypoint AB\\x0d\\x0aD\n"},
    };
    for (const Row& row : rows) {
        ProgramRun p;
        std::vector<std::string> args{
            "replay",   std::string(TARROW_TEST_DATA_DIR) + "/playback/" + row.file,
            "--period", Fast,
            "--port",   p.pty.slavePath};
        if (row.json)
            args.push_back("--json");
        const auto r = p.run(args);
        EXPECT_EQ(r.status, 0) << row.file << r.err;
        EXPECT_EQ(r.out, row.out) << row.file;
    }
}

TEST(CliProgram, CouplerSendsOneSentence) {
    ProgramRun p;
    const auto r =
        p.run({"--port", p.pty.slavePath, "--quiet", "coupler", "--compatibility", "dim", "3"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.wire, "$PZDIM4,*52\r\n");
}

TEST(CliProgram, RefusalsAndFailuresEndWithTheirStatusAndMessage) {
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string errStart;
    } rows[] = {
        {{"simulate", "--bogus"},
         2,
         "tarrow-cli: The following argument was not expected: --bogus\n"},
        {{"coupler", "--compatibility", "heading-gain", "1.0"},
         2,
         "tarrow-cli: Not Implimented for Coupliers shipped before 1/1/04\n"},
        {{"coupler", "--compatibility", "max-angle", "45"},
         2,
         "tarrow-cli: Not Implimented except for Camlinks\n"},
        {{"simulate", "--ticks", "0"},
         2,
         "tarrow-cli: --ticks: '0' is not a whole number 1 or more\n"},
    };
    for (const Row& row : rows) {
        ProgramRun p;
        std::vector<std::string> args{"--port", p.pty.slavePath, "--quiet"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const auto r = p.run(args);
        EXPECT_EQ(r.status, row.status) << row.errStart;
        EXPECT_EQ(r.err.substr(0, row.errStart.size()), row.errStart);
        EXPECT_EQ(r.wire, "") << row.errStart;
    }
}

TEST(CliProgram, MissingPortEndsWithStatus1AndSaysWhy) {
    ProgramRun p;
    const std::string missing = (p.dir.path / "ttyUSB9").string();
    const auto r = p.run({"simulate", "--ticks", "1", "--port", missing});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), "tarrow-cli: Can't open COM1:\n");
    EXPECT_EQ(r.err.substr(r.err.find('\n') + 1, missing.size() + 16),
              missing + ": no such device");
    EXPECT_EQ(r.out, "");
}

TEST(CliProgram, PortNamedThroughTheSettingsFile) {
    ProgramRun p;
    std::filesystem::create_directories(p.configDir() / "Brackwater Associates");
    std::ofstream(p.configDir() / "Brackwater Associates" / "Tarrow.conf")
        << "Port=1\nCompatibility=1\n[Devices]\nCOM2=" << p.pty.slavePath << "\n";
    const auto r = p.run({"simulate", "--port", "COM2", "--ticks", "1", "--period", Fast});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.wire, Rmb3 + Rmc3);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')),
              "tarrow-cli: COM2: " + p.pty.slavePath + " open, 4800 baud");
}

TEST(CliProgram, InterruptEndsAfterWholeRecordsWithStatus0) {
    ProgramRun p;
    bool sent = false;
    const auto r = p.run(with({"simulate", "--period", "0.1"}, p),
                         [&sent](pid_t pid, const std::string& wire) {
                             if (!sent && wire.size() >= 2 * (Rmb3 + Rmc3).size()) {
                                 ::kill(pid, SIGINT);
                                 sent = true;
                             }
                         });
    ASSERT_TRUE(sent);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string pair = Rmb3 + Rmc3;
    ASSERT_EQ(r.wire.size() % pair.size(), 0u);
    for (std::size_t at = 0; at < r.wire.size(); at += pair.size())
        EXPECT_EQ(r.wire.substr(at, pair.size()), pair);
}

} // namespace

namespace {

TEST(CliProgram, LostPortEndsWithStatus1) {
    ProgramRun p;
    const auto r = p.run({"simulate", "--period", "0.05", "--port", p.pty.slavePath},
                         [&p](pid_t, const std::string& wire) {
                             if (p.pty.master >= 0 && !wire.empty()) {
                                 ::close(p.pty.master); // the line goes away under the program
                                 p.pty.master = -1;
                             }
                         });
    EXPECT_EQ(r.status, 1);
    const std::string lost =
        "tarrow-cli: COM1: " + p.pty.slavePath + " lost: the device went away\n";
    ASSERT_GE(r.err.size(), lost.size()) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - lost.size()), lost);
}

// A line that takes nothing: the run still ends soon after its time, or after a signal, and
// says how many records it had to drop.
TEST(CliProgram, StoppingNeverWaitsLongForTheLine) {
    const auto replay = std::string(TARROW_TEST_DATA_DIR) + "/playback/groups_lf.nmea";
    struct Row {
        std::vector<std::string> args;
        int signalAfterMs; // 0: none
        std::chrono::milliseconds within;
    } rows[] = {
        {{"simulate", "--duration", "2"}, 0, 4000ms},
        {{"replay", replay, "--loop", "--period", "0.1", "--records", "25"}, 1500, 2000ms},
    };
    for (const Row& row : rows) {
        ProgramRun p;
        p.stopLine();
        const auto start = std::chrono::steady_clock::now();
        std::chrono::steady_clock::time_point signalled{};
        const auto r = p.run(with(row.args, p), [&](pid_t pid, const std::string&) {
            const auto now = std::chrono::steady_clock::now();
            if (row.signalAfterMs && signalled == decltype(signalled){} &&
                now - start >= std::chrono::milliseconds(row.signalAfterMs)) {
                ::kill(pid, SIGTERM);
                signalled = now;
            }
        });
        const auto end = std::chrono::steady_clock::now();
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_LT(end - (row.signalAfterMs ? signalled : start), row.within);
        EXPECT_NE(r.err.find("still waiting for the line at the end, dropped"), std::string::npos)
            << r.err;
    }
}

} // namespace
