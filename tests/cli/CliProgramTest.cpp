#include <gtest/gtest.h>

#include <ctime>
#include <fstream>

#include "cli/ProgramRun.h"
#include "core/CheckFile.h"

namespace {

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

TEST(CliProgram, SimulatorSettingsGiveTheirRecords) {
    const std::string rmc3 = Rmc3;
    struct Row {
        std::vector<std::string> args;
        std::string wire;
    } rows[] = {
        {{"--format", "v2"},
         "$GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*2D\r\n"
         "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E*42\r\n"},
        {{"--format", "aviation"},
         "\x02"
         "AN 99 3456\rBW 444 4322\rC000\rD150\rE00003\rGL0125\rI3333\r\x03"},
        {{"--xte", "centre"},
         "$GPRMB,A,0.000,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*58\r\n" + rmc3},
        {{"--xte", "right"},
         "$GPRMB,A,1.250,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*5E\r\n" + rmc3},
        {{"--xte=-12"},
         "$GPRMB,A,9.990,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*4F\r\n" + rmc3},
        {{"--speed", "600", "--track", "359.95"},
         Rmb3 + "$GPRMC,115622.34,A,37.45,N,122.67,W,500.0,359.9,061195,7.0,E,A*28\r\n"},
        {{"--no-course"}, rmc3},
        {{"--no-heading"}, Rmb3},
    };
    for (const Row& row : rows) {
        ProgramRun p;
        std::vector<std::string> args{"simulate", "--ticks", "1", "--period", Fast};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const auto r = p.run(with(args, p));
        EXPECT_EQ(r.status, 0) << row.args[0] << r.err;
        EXPECT_EQ(r.wire, row.wire) << row.args[0];
    }
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
    for (const char* chk : {"groups_crlf.chk", "groups_lf.chk", "overlong.chk", "two_records.chk",
                            "one_record_loop.chk"}) {
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

    const CheckFile rec = readChk("two_records.chk");
    ProgramRun q;
    r = q.run(with({"replay", std::string(TARROW_TEST_DATA_DIR) + "/playback/two_records.avi",
                    "--period", Fast, "--fault", "no-etx"},
                   q));
    EXPECT_EQ(r.status, 0) << r.err;
    std::string noEtx = rec.wire();
    std::erase(noEtx, '\x03');
    EXPECT_EQ(r.wire, noEtx);

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
         "{\"tick\":2,\"range\":\"1.30nm\",\"speed\":\"148.5kt\",\"calculated_speed\":\"-4680."
         "0kt\",\"waypoint\":\"DST\"}\n"
         "{\"tick\":3,\"range\":\"1.20nm\",\"speed\":\"0.5kt\",\"calculated_speed\":\"360.0kt\","
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

TEST(CliProgram, CouplerSendsTheDialogsSentence) {
    struct Row {
        std::vector<std::string> args;
        std::string wire;
    } rows[] = {
        {{"offset", "5"}, "$PZCAL,5,P*21"},
        {{"offset", "--", "-12"}, "$PZCAL,12,N*09"},
        {{"--compatibility", "offset", "5"}, "$PZCAL5,P*0D"},
        {{"offset", "--", "-2147483648"}, "$PZCAL,2147483648,N*0F"},
        {{"dim", "none"}, "$PZDIM,0*56"},
        {{"dim", "3"}, "$PZDIM,4*52"},
        {{"dim", "volt"}, "$PZDIM,64*64"},
        {{"dim", "sensor"}, "$PZDIM,128*5D"},
        {{"--compatibility", "dim", "3"}, "$PZDIM4,*52"},
        {{"course-gain", "5.00"}, "$PZGAN,2*5C"},
        {{"--compatibility", "course-gain", "5"}, "$PZGAN2,*5C"},
        {{"heading-gain", "2.0"}, "$PZHGN,3*54"},
        {{"type", "cedar"}, "$PZTST,7*42"},
        {{"--compatibility", "type", "birch-ii"}, "$PZTST1,*44"},
        {{"brightness", "bright"}, "$PZEQP,255*50"},
        {{"brightness", "normal"}, "$PZEQP,0*52"},
        {{"virtual-waypoints", "20"}, "$PZVWP,20*75"},
        {{"anticipation", "127"}, "$PZADV,127*41"},
        {{"max-angle", "90"}, "$PZMXA,90*7B"},
        {{"max-time", "0"}, "$PZMXD,0*47"},
    };
    for (const Row& row : rows) {
        ProgramRun p;
        std::vector<std::string> args{"--port", p.pty.slavePath, "--quiet", "coupler"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const auto r = p.run(args);
        EXPECT_EQ(r.status, 0) << row.wire << r.err;
        EXPECT_EQ(r.wire, row.wire + "\r\n");
    }
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
        {{"coupler", "--compatibility", "brightness", "bright"},
         2,
         "tarrow-cli: Not Implimented for Coupliers shipped before 1/1/04\n"},
        {{"coupler", "--compatibility", "max-angle", "45"},
         2,
         "tarrow-cli: Not Implimented except for Camlinks\n"},
        {{"coupler", "virtual-waypoints", "21"},
         2,
         "tarrow-cli: COUNT: '21' is not a whole number in 0..20\n"},
        {{"coupler", "dim", "10"},
         2,
         "tarrow-cli: DIM: '10' is not one of none, 0..9, volt, sensor\n"},
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

} // namespace
