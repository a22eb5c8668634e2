#pragma once
// Runs the built tarrow-cli as a user would, with a configuration and runtime directory of
// the test's own, and collects its exit status, its output and what reached the port.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "core/PtyPair.h"
#include "core/TempDir.h"

extern char** environ;

struct ProgramResult {
    int status = -1; // the exit status; -1 when it did not exit by itself in time
    std::string out, err, wire;
};

class ProgramRun {
public:
    ProgramRun() {
        // Held open so that the master side waits for data instead of reporting a hang-up
        // before the program has opened the line.
        slave = ::open(pty.slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    ~ProgramRun() {
        if (slave >= 0)
            ::close(slave);
    }

    std::filesystem::path configDir() const { return dir.path / "config"; }
    // The line takes nothing more: output to the terminal is suspended, as a stalled line.
    void stopLine() { ::tcflow(slave, TCOOFF); }

    // `during` is called with the pid and the bytes so far while the program runs.
    ProgramResult run(const std::vector<std::string>& args,
                      const std::function<void(pid_t, const std::string&)>& during = {},
                      int timeoutMs = 20000) {
        const std::filesystem::path out = dir.path / "stdout";
        const std::filesystem::path err = dir.path / "stderr";
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string v = *e;
            if (v.rfind("XDG_CONFIG_HOME=", 0) != 0 && v.rfind("XDG_RUNTIME_DIR=", 0) != 0)
                env.push_back(v);
        }
        env.push_back("XDG_CONFIG_HOME=" + configDir().string());
        env.push_back("XDG_RUNTIME_DIR=" + dir.path.string());
        std::vector<std::string> argv{TARROW_CLI};
        argv.insert(argv.end(), args.begin(), args.end());
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int in = ::open("/dev/null", O_RDONLY);
            const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(in, 0);
            ::dup2(o, 1);
            ::dup2(e, 2);
            ::close(pty.master);
            std::vector<char*> a, v;
            for (auto& s : argv)
                a.push_back(s.data());
            a.push_back(nullptr);
            for (auto& s : env)
                v.push_back(s.data());
            v.push_back(nullptr);
            ::execve(a[0], a.data(), v.data());
            ::_exit(127);
        }
        ProgramResult r;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        int wstatus = 0;
        for (;;) {
            r.wire += pty.drain();
            const pid_t done = ::waitpid(pid, &wstatus, WNOHANG);
            if (done == pid) {
                r.wire += pty.drain();
                r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &wstatus, 0);
                break;
            }
            if (during)
                during(pid, r.wire);
            pollfd p{pty.master, POLLIN, 0};
            ::poll(&p, 1, 10);
        }
        r.out = slurp(out);
        r.err = slurp(err);
        return r;
    }

    TempDir dir;
    PtyPair pty;

private:
    static std::string slurp(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    int slave = -1;
};
