#pragma once
// Runs the built tarrow-cli as a user would, with a configuration and runtime directory of
// the test's own, and collects its exit status, its output and what reached the port.
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <vector>

#include "core/PtyPair.h"
#include "core/TempDir.h"

struct ProgramResult {
    int status = -1; // the exit status; -1 when it did not exit by itself in time
    std::string out, err, wire;
};

// The settings file maps COM2 to the line as well.
struct ProgramRun {
    // The slave is held open so that the master side waits for data instead of reporting a
    // hang-up before the program has opened the line.
    ProgramRun() : slave(::open(pty.slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        std::filesystem::create_directories(dir.path / "config" / "Brackwater Associates");
        std::ofstream(dir.path / "config" / "Brackwater Associates" / "Tarrow.conf")
            << "Port=1\nCompatibility=1\n[Devices]\nCOM2=" << pty.slavePath << "\n";
    }
    ~ProgramRun() { ::close(slave); }

    // The words of `line` are the arguments; "PTY" stands for the line's path, "@NAME" for the
    // recorded file NAME. `during` is called with the pid and the bytes so far.
    ProgramResult run(const std::string& line,
                      const std::function<void(pid_t, const std::string&)>& during = {}) {
        std::vector<std::string> args{TARROW_CLI};
        std::istringstream words(line);
        for (std::string w; words >> w;)
            args.push_back(w[0] == '@' ? TARROW_TEST_DATA_DIR "/playback/" + w.substr(1) : fill(w));
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("XDG_CONFIG_HOME", (dir.path / "config").c_str(), 1);
            ::setenv("XDG_RUNTIME_DIR", dir.path.c_str(), 1);
            ::dup2(::open("/dev/null", O_RDONLY), 0);
            ::dup2(::open((dir.path / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
            if (int ends[2]; closedStdout && ::pipe(ends) == 0) {
                ::close(ends[0]); // nobody reads: every write to it meets a closed pipe
                ::dup2(ends[1], 1);
            }
            ::dup2(::open((dir.path / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
            ::close(pty.master);
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ProgramResult r;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (int status = 0;;) {
            r.wire += pty.drain();
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                r.wire += pty.drain();
                r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                break;
            }
            if (during)
                during(pid, r.wire);
            pollfd p{pty.master, POLLIN, 0};
            ::poll(&p, 1, 10);
        }
        r.out = slurp("stdout");
        r.err = slurp("stderr");
        return r;
    }

    std::string fill(std::string text) const {
        for (auto at = text.find("PTY"); at != std::string::npos; at = text.find("PTY", at))
            text.replace(at, 3, pty.slavePath);
        return text;
    }
    std::string slurp(const char* name) const {
        std::ifstream in(dir.path / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    TempDir dir;
    PtyPair pty;
    int slave;
    bool closedStdout = false; // standard output a pipe whose reader has gone
};
