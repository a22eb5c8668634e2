// The real program on a pseudo-terminal: what each run sends, prints and says, and how it ends.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <ctime>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>

#include "cli/ProgramRun.h"
#include "core/CheckFile.h"

namespace {

using namespace std::chrono_literals;

const std::string Rmb = "$GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*40";
const std::string Rmc = "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*2F";
const std::string Tick = Rmb + "\r\n" + Rmc + "\r\n", Echo = Rmb + "\n" + Rmc + "\n";

// A loopback port nothing listens on, as the system hands them out.
int UnusedTcpPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(fd);
    return ntohs(a.sin_port);
}

std::string recorded(const char* check) {
    return ReadCheckFile(TARROW_TEST_DATA_DIR "/playback/" + std::string(check)).wire();
}

// One run of the program per row. Without a port of their own, the runs go quietly to the
// line, ticking every 0.05 s.
TEST(CliProgram, WhatEachRunSendsPrintsAndSays) {
    const std::string ramped =
        "$GPRMB,A,0.500,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*30\r\n"
        "$GPRMC,115622.34,A,37.45,N,122.67,W,200.0,010.0,061195,7.0,E*45\r\n";
    const std::string unused = "tcp:127.0.0.1:" + std::to_string(UnusedTcpPort());
    const std::string faulty =
        "$GPRMB,V,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*57\r\n"
        "$GPRMC,115622.34,V,37.45,N,122.67,W,150.0,000.0,061195,7.0,E,A*C7\r\n";
    const struct Row {
        std::string args;
        int status;
        std::string err, out, wire; // err: how standard error starts
    } rows[] = {
        // clang-format off
        {"simulate --ticks 3 --echo", 0, "", Echo + Echo + Echo, Tick + Tick + Tick},
        // Ramps move one step a tick, then hold.
        {"simulate --format v2 --ticks 6 --xte-ramp=-0.5:0.5:0.2 --track-ramp 350:370:0.2 "
         "--speed-ramp 100:200:0.2", 0, "", "",
         "$GPRMB,A,0.500,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*2E\r\n"
         "$GPRMC,115622.34,A,37.45,N,122.67,W,100.0,350.0,061195,7.0,E*41\r\n"
         "$GPRMB,A,0.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*2C\r\n"
         "$GPRMC,115622.34,A,37.45,N,122.67,W,125.0,355.0,061195,7.0,E*43\r\n"
         "$GPRMB,A,0.000,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*35\r\n"
         "$GPRMC,115622.34,A,37.45,N,122.67,W,150.0,000.0,061195,7.0,E*42\r\n"
         "$GPRMB,A,0.250,L,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A*32\r\n"
         "$GPRMC,115622.34,A,37.45,N,122.67,W,175.0,005.0,061195,7.0,E*40\r\n" + ramped + ramped},
        {"simulate --ticks 2 --fault checksum:2 --fault invalid", 0, "", "", faulty + faulty},
        // Every option of replay, on a recorded file.
        {"replay @one_record.avi --type aviation --records 3 --trigger= --loop --ticks 3", 0, "",
         "", recorded("one_record_loop.chk")},
        {"coupler --compatibility dim 3", 0, "", "", "$PZDIM4,*52\r\n"},
        {"simulate --bogus", 2, "tarrow-cli: The following argument was not expected: --bogus\n",
         "", ""},
        {"coupler --compatibility heading-gain 1.0", 2,
         "tarrow-cli: Not Implimented for Coupliers shipped before 1/1/04\n", "", ""},
        // A device given with --port is named as given; the advice is the command line's.
        {"simulate --ticks 1 --port /nonexistent/ttyUSB9", 1,
         "tarrow-cli: Can't open /nonexistent/ttyUSB9:\n/nonexistent/ttyUSB9: no such device. "
         "Plug the adapter in, or give another with --port.\n", "", ""},
        // Nobody connected: the coupler did not get it, and the status says so.
        {"coupler --quiet offset 5 --port " + unused, 1, "tarrow-cli: " + unused + ": the "
         "sentence was not delivered; no client was connected, or the line did not take it\n",
         "", ""},
        {"simulate --port COM2 --ticks 1 --period 0.05", 0,
         "tarrow-cli: COM2: PTY open, 4800 baud\n", "", Tick},
        // Read-outs each tick; the calculated speed counts the ticks an hour at 0.05 s.
        {"replay @groups_crlf.nmea --json --period 0.05 --port PTY", 0, "",
         "{\"tick\":1,\"range\":\"1.40nm\",\"speed\":\"150.0kt\",\"calculated_speed\":\"\","
         "\"waypoint\":\"DST\"}\n"
         "{\"tick\":2,\"range\":\"1.30nm\",\"speed\":\"148.5kt\",\"calculated_speed\":"
         "\"-93600.0kt\",\"waypoint\":\"DST\"}\n"
         "{\"tick\":3,\"range\":\"1.20nm\",\"speed\":\"0.5kt\",\"calculated_speed\":\"7200.0kt\","
         "\"waypoint\":\"DST\"}\n", recorded("groups_crlf.chk")},
        {"replay @two_records.avi --json --period 0.05 --port PTY", 0, "",
         "{\"tick\":1,\"range\":\"12.30nm\",\"speed\":\"150.0kt\",\"calculated_speed\":\"\","
         "\"waypoint\":\"ABCDE\"}\n"
         "{\"tick\":2,\"range\":\"45.60nm\",\"speed\":\"150.0kt\",\"calculated_speed\":\"\","
         "\"waypoint\":\"AB\\r\\nD\"}\n", recorded("two_records.chk")},
        {"replay @two_records.avi --period 0.05 --port PTY", 0, "",
         "tick 1: range 12.30nm, speed 150.0kt, calculated speed -, waypoint ABCDE\n"
         "tick 2: range 45.60nm, speed 150.0kt, calculated speed -, waypoint AB\\x0d\\x0aD\n",
         recorded("two_records.chk")},
        // clang-format on
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args);
        const bool ownPort = row.args.find("--port") != std::string::npos;
        const std::string ticking = row.args.starts_with("coupler") ? "" : " --period 0.05";
        ProgramRun p;
        const ProgramResult r = p.run(row.args + (ownPort ? "" : ticking + " --quiet --port PTY"));
        EXPECT_EQ(r.status, row.status) << r.err;
        EXPECT_TRUE(r.err.starts_with(p.fill(row.err))) << r.err;
        EXPECT_EQ(r.out, row.out);
        EXPECT_EQ(r.wire, row.wire);
    }
}

// Live time puts the UTC time and date of the tick into $GPRMC.
TEST(CliProgram, LiveTimeReachesTheWire) {
    ProgramRun p;
    const std::time_t before = std::time(nullptr);
    const auto r = p.run("simulate --ticks 1 --no-course --live-time --period 0.05 --quiet "
                         "--port PTY");
    ASSERT_EQ(r.status, 0) << r.err;
    bool matched = false;
    for (std::time_t when = before; when <= std::time(nullptr) && !matched; ++when) {
        char time[16], date[16];
        std::strftime(time, sizeof time, "$GPRMC,%H%M%S.", std::gmtime(&when));
        std::strftime(date, sizeof date, ",%d%m%y,", std::gmtime(&when));
        matched = r.wire.starts_with(time) && r.wire.find(date) != std::string::npos;
    }
    EXPECT_TRUE(matched) << r.wire;
}

// A run ends soon after a signal, after its time, or with status 1 when the line goes away,
// also when the line takes nothing; then it says what it dropped. On a line that takes all,
// a signal leaves whole records only.
TEST(CliProgram, StoppingNeverWaitsLongForTheLine) {
    enum Event { None, Interrupt, Terminate, LoseTheLine };
    const std::string dropped = "still waiting for the line at the end, dropped\n";
    const struct Row {
        std::string args;
        bool stalled;
        Event event;
        std::chrono::milliseconds after, within; // the event at `after`, the end `within` it
        int status;
        std::string err; // the end of standard error
    } rows[] = {
        {"simulate --period 0.1", false, Interrupt, 250ms, 1000ms, 0, ""},
        {"simulate --duration 2", true, None, 0ms, 4000ms, 0, dropped},
        {"replay @groups_lf.nmea --loop --period 0.1", true, Terminate, 1500ms, 2000ms, 0, dropped},
        {"simulate --period 0.05", false, LoseTheLine, 100ms, 1000ms, 1,
         "tarrow-cli: COM1: PTY lost: the device went away\n"},
    };
    for (const Row& row : rows) {
        ProgramRun p;
        if (row.stalled)
            ::tcflow(p.slave, TCOOFF); // output suspended: the line takes nothing
        const auto start = std::chrono::steady_clock::now();
        auto happened = start;
        const auto r = p.run(row.args + " --quiet --port PTY", [&](pid_t pid, const std::string&) {
            if (row.event == None || happened != start ||
                std::chrono::steady_clock::now() - start < row.after)
                return;
            happened = std::chrono::steady_clock::now();
            if (row.event == LoseTheLine)
                ::close(std::exchange(p.pty.master, -1));
            else
                ::kill(pid, row.event == Interrupt ? SIGINT : SIGTERM);
        });
        EXPECT_EQ(r.status, row.status) << r.err;
        EXPECT_LT(std::chrono::steady_clock::now() - happened, row.within);
        EXPECT_TRUE(r.err.ends_with(p.fill(row.err))) << r.err;
        if (row.event == Interrupt) { // whole ticks only
            EXPECT_FALSE(r.wire.empty());
            for (std::size_t at = 0; at < r.wire.size(); at += Tick.size())
                EXPECT_EQ(r.wire.substr(at, Tick.size()), Tick);
        }
    }
}

// A virtual port's link goes with the run on every way out: a signal that ends it (one sent
// to the process, or a closed pipe under the echo) as much as the end of its time.
TEST(CliProgram, ThePseudoTerminalLinkGoesOnEveryWayOut) {
    const struct Row {
        int signal; // 0: none
        bool closedStdout;
    } rows[] = {{SIGINT, false}, {SIGTERM, false}, {SIGHUP, false}, {SIGPIPE, false}, {0, true}};
    for (const Row& row : rows) {
        ProgramRun p;
        p.closedStdout = row.closedStdout;
        const std::filesystem::path link = p.dir.path / "tarrow" / "COM1";
        bool published = false;
        const auto r = p.run("simulate --period 0.05 --quiet --echo --port pty",
                             [&](pid_t pid, const std::string&) {
                                 if (published || !std::filesystem::is_symlink(link))
                                     return;
                                 published = true;
                                 if (row.signal != 0)
                                     ::kill(pid, row.signal);
                             });
        EXPECT_TRUE(published) << row.signal << r.err;
        EXPECT_EQ(r.status, 0) << row.signal << r.err;
        EXPECT_FALSE(std::filesystem::exists(link.parent_path())) << row.signal;
    }
}

// A pseudo-terminal name is one run's: a second run asking for it is refused and told which
// program holds it, with the port named as --port gave it.
TEST(CliProgram, ASecondRunOnTheSamePseudoTerminalIsRefused) {
    ProgramRun p;
    const std::filesystem::path link = p.dir.path / "tarrow" / "COM1";
    std::optional<ProgramResult> second;
    pid_t first = 0;
    p.run("simulate --period 0.05 --quiet --port pty", [&](pid_t pid, const std::string&) {
        if (second || !std::filesystem::is_symlink(link))
            return;
        first = pid;
        second = p.run("simulate --quiet --port pty");
        ::kill(pid, SIGTERM);
    });
    ASSERT_TRUE(second);
    EXPECT_NE(second->status, 0);
    EXPECT_NE(
        second->err.find("Can't open pty:\npty: in use by another program (tarrow-cli, PID " +
                         std::to_string(first) + ")"),
        std::string::npos)
        << second->err;
}

} // namespace
