// The timing of a run under control against one without: the emulator served as tarrow-cli
// serves it (run loop, then the control socket's events, then a poll on the socket and the
// line's wake until the next deadline), once with no client and once with N clients each
// subscribed to every record and reading the events on a thread of its own.
// For each run: the tick-to-tick periods of the ticks' first records at the device (median,
// p99, max), their offsets from the ideal grid (first deadline + k * period: p99, max, last =
// drift) and the drift rate (least-squares slope, in ms per tick), and the events the clients
// read.
// Usage: control_load_bench [ticks=400] [period_ms=50] [clients=10]
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "BenchSupport.h"
#include "control/ControlServer.h"

namespace {

struct Figures {
    double periodMedian, periodP99, periodMax, offsetP99, offsetMax, drift, slope;
    std::uint64_t events = 0;
};

double slopeOf(const std::vector<double>& k, const std::vector<double>& y) {
    const double n = static_cast<double>(k.size());
    double mk = 0, my = 0, sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < k.size(); ++i) {
        mk += k[i] / n;
        my += y[i] / n;
    }
    for (std::size_t i = 0; i < k.size(); ++i) {
        sxx += (k[i] - mk) * (k[i] - mk);
        sxy += (k[i] - mk) * (y[i] - my);
    }
    return sxx > 0 ? sxy / sxx : std::nan("");
}

// A client that subscribes and then reads whatever comes until the server closes it.
void client(const std::string& path, std::atomic<std::uint64_t>& events) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return;
    }
    const std::string subscribe = "{\"id\":1,\"cmd\":\"subscribe\",\"what\":\"records\"}\n";
    (void)!::send(fd, subscribe.data(), subscribe.size(), MSG_NOSIGNAL);
    char buf[65536];
    for (ssize_t got; (got = ::recv(fd, buf, sizeof buf, 0)) > 0;)
        events.fetch_add(static_cast<std::uint64_t>(std::count(buf, buf + got, '\n')));
    ::close(fd);
}

Figures run(int ticks, int periodMs, int clients) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("tarrow-bench-" + std::to_string(::getpid()) + "-" + std::to_string(clients));
    std::filesystem::create_directories(dir);
    Figures f{};
    {
        SinkDevice device;
        BenchEmulator bench(device, dir);
        Emulator& e = bench.emulator;
        e.start();
        e.simulator().setHeading(true);
        ControlProtocol protocol(e, "bench", "0");
        auto server = std::make_unique<ControlServer>(e, protocol);
        ControlAddress address;
        address.path = (dir / "control").string();
        if (const std::string wrong = server->listen(address); !wrong.empty()) {
            std::fprintf(stderr, "control_load_bench: %s\n", wrong.c_str());
            std::exit(1);
        }
        const int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        e.onWake([wake] {
            const std::uint64_t one = 1;
            (void)!::write(wake, &one, sizeof one);
        });
        std::atomic<std::uint64_t> events{0};
        std::vector<std::thread> readers;
        for (int i = 0; i < clients; ++i)
            readers.emplace_back(client, address.path, std::ref(events));
        // Everyone subscribed before the measured ticks.
        for (int i = 0; i < 200 && server->clientCount() < static_cast<std::size_t>(clients); ++i) {
            server->process();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        for (int i = 0; i < 20; ++i) {
            server->process();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        e.runLoop().setPeriod(periodMs / 1000.0);
        e.runLoop().start(BenchClock::now());
        const Stamp first = e.runLoop().nextTick();
        device.writes.take();
        while (e.runLoop().ticksServed() < static_cast<std::uint64_t>(ticks)) {
            const Stamp next = e.serve(BenchClock::now());
            server->afterServe();
            for (Stamp now; (now = BenchClock::now()) < next;) {
                const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(next - now);
                const timespec timeout{static_cast<time_t>(left.count() / 1000000000),
                                       static_cast<long>(left.count() % 1000000000)};
                pollfd fds[2] = {{wake, POLLIN, 0}, {server->fd(), POLLIN, 0}};
                ::ppoll(fds, 2, &timeout, nullptr);
                if (fds[1].revents != 0)
                    server->process();
                if (fds[0].revents != 0) {
                    std::uint64_t n = 0;
                    (void)!::read(wake, &n, sizeof n);
                    break;
                }
            }
        }
        e.writer().flush();
        for (int i = 0; i < 20; ++i) {
            server->process();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        e.onWake(nullptr);
        const std::vector<Stamp> writes = device.writes.take();
        e.shutdown();
        ::close(wake);
        // Closing the server ends the readers.
        server.reset();
        for (std::thread& t : readers)
            t.join();
        f.events = events.load();

        // Each tick writes $GPRMB then $GPRMC: every other write starts a tick.
        std::vector<double> k, offsets, periods;
        for (std::size_t i = 0; i < writes.size(); i += 2) {
            const double since = milliseconds(writes[i] - first);
            const double index = std::round(since / periodMs);
            k.push_back(index);
            offsets.push_back(since - index * periodMs);
        }
        for (std::size_t i = 1; i < k.size(); ++i)
            periods.push_back((k[i] - k[i - 1]) * periodMs + offsets[i] - offsets[i - 1]);
        f.periodMedian = percentile(periods, 0.5);
        f.periodP99 = percentile(periods, 0.99);
        f.periodMax = maximum(periods);
        f.offsetP99 = percentile(offsets, 0.99);
        f.offsetMax = maximum(offsets);
        f.drift = offsets.empty() ? std::nan("") : offsets.back();
        f.slope = slopeOf(k, offsets);
    }
    std::filesystem::remove_all(dir);
    return f;
}

} // namespace

int main(int argc, char* argv[]) {
    const int ticks = argc > 1 ? std::max(10, std::atoi(argv[1])) : 400;
    const int periodMs = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 10000) : 50;
    const int clients = argc > 3 ? std::clamp(std::atoi(argv[3]), 1, 500) : 10;
    std::printf(
        "control_load_bench: %d ticks of %d ms, without clients and with %d; about %.0f s\n", ticks,
        periodMs, clients, 2.0 * ticks * periodMs / 1000.0);
    std::fflush(stdout);
    const Figures none = run(ticks, periodMs, 0);
    const Figures some = run(ticks, periodMs, clients);
    std::printf("\n%-36s %14s %14s\n", "", "no client", "subscribed");
    const auto row = [&](const char* label, double Figures::*field) {
        std::printf("%-36s %14.3f %14.3f\n", label, none.*field, some.*field);
    };
    row("tick-to-tick median ms", &Figures::periodMedian);
    row("tick-to-tick p99 ms", &Figures::periodP99);
    row("tick-to-tick max ms", &Figures::periodMax);
    row("offset from ideal p99 ms", &Figures::offsetP99);
    row("offset from ideal max ms", &Figures::offsetMax);
    row("last tick offset (drift) ms", &Figures::drift);
    row("drift slope ms/tick", &Figures::slope);
    std::printf("%-36s %14llu %14llu\n", "events read by the clients",
                static_cast<unsigned long long>(none.events),
                static_cast<unsigned long long>(some.events));
    return 0;
}
