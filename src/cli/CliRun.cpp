#include "cli/CliRun.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <poll.h>

#include "cli/CliMessages.h"
#include "cli/CliOutput.h"
#include "cli/CliSettings.h"
#include "cli/StopSignal.h"
#include "control/ControlServer.h"
#include "control/Scenario.h"
#include "engine/Emulator.h"
#include "line/PosixSerialDevice.h"

namespace {

constexpr int Done = 0;
constexpr int PortFailed = 1;
constexpr int Refused = 2;

using Clock = RunLoop::Clock;

Clock::duration seconds(double s) {
    // Held to a century, so that a huge --duration cannot overflow the clock's count.
    const double capped = std::min(s, 100.0 * 365 * 24 * 3600);
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(capped));
}

std::string settingsFileName(const FileSettingsStore& file) {
    const std::string path = file.filePath().string();
    // Without XDG_CONFIG_HOME and HOME the path has no directory; say where it would be.
    return path.front() == '/' ? path : "$XDG_CONFIG_HOME/" + path;
}

// One run: the emulator and what it borrows.
class Session {
public:
    Session(const CliOptions& o, StopSignal& s, std::ostream& output, std::ostream& errors)
        : options(o), stop(s), out(output), err(errors),
          fileSettings(FileSettingsStore::ConfigHomeFromEnvironment()),
          settings(fileSettings, o.portNumber, o.device),
          messages(errors, settings.portName(), o.device, settingsFileName(fileSettings)),
          device([this](const std::string& name) { return settings.devicePath(name); }),
          echo(out, o.json), emulator(device, settings, messages) {}

    ~Session() { emulator.terminal().view = nullptr; }

    // Start-up as the window's: settings, the port at the format's rate.
    bool open() {
        emulator.terminal().view = options.echo ? &echo : nullptr;
        emulator.runLoop().setPeriod(options.periodSeconds);
        emulator.start();
        if (emulator.link().portHandle() == InvalidPort)
            return false; // the message has said why
        if (options.baudChoice != 0)
            emulator.port().setBaudChoice(options.baudChoice, emulator.simulator().values().format);
        emulator.setFaults(options.faults);
        emulator.onWake([this] { stop.wake(); });
        if (options.control) {
            ControlAddress address;
            ParseControlAddress(*options.control, address); // checked with the arguments
            protocol = std::make_unique<ControlProtocol>(emulator, "tarrow-cli", TARROW_VERSION);
            control = std::make_unique<ControlServer>(emulator, *protocol);
            if (const std::string wrong = control->listen(address); !wrong.empty()) {
                err << "tarrow-cli: " << wrong << '\n';
                control.reset();
                return false;
            }
        }
        return true;
    }

    // Sleeps until `deadline`, serving the control socket meanwhile. False on a stop.
    bool wait(Clock::time_point deadline) {
        if (!control)
            return stop.waitUntil(deadline);
        for (;;) {
            const auto now = Clock::now();
            if (now >= deadline)
                break;
            const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - now);
            const timespec timeout{static_cast<time_t>(left.count() / 1000000000),
                                   static_cast<long>(left.count() % 1000000000)};
            pollfd fds[2] = {{stop.wakeFd(), POLLIN, 0}, {control->fd(), POLLIN, 0}};
            ::ppoll(fds, 2, &timeout, nullptr);
            if (fds[1].revents != 0)
                control->process();
            if (fds[0].revents != 0) {
                stop.drainWake();
                break; // a stop, or the line has drained: serve again
            }
        }
        return !stop.requested();
    }

    void note() {
        if (options.quiet)
            return;
        const LineStatusTexts t = StatusTexts(emulator.lineStatus());
        err << "tarrow-cli: " << t.port << ", " << t.baud;
        if (!t.faults.empty())
            err << ", " << t.faults;
        if (!t.time.empty())
            err << ", " << t.time;
        if (control)
            err << ", " << control->where();
        err << '\n' << std::flush;
    }

    // Records already handed over still leave, for at most the grace of the end; what the line
    // did not take by then is dropped and said. With `mustDeliver`, a record that did not
    // reach the line fails the run.
    int finish(int status, bool mustDeliver = false) {
        const bool lost = emulator.lineLost();
        const LineStatusTexts before = StatusTexts(emulator.lineStatus());
        const std::uint64_t dropped = emulator.shutdown();
        if (lost) {
            err << "tarrow-cli: " << before.port << ": the device went away\n";
            status = PortFailed;
        }
        if (dropped > 0)
            err << "tarrow-cli: " << dropped << (dropped == 1 ? " record" : " records")
                << " still waiting for the line at the end, dropped\n";
        if (mustDeliver && status == Done && emulator.lineStatus().recordsDropped > 0) {
            const std::string port =
                options.device.empty() ? settings.portName() : options.device + ":";
            err << "tarrow-cli: " << port
                << " the sentence was not delivered; no client was connected, or the line did "
                   "not take it\n";
            status = PortFailed;
        }
        control.reset();
        if (status == Done && !options.quiet) {
            const LineStatusTexts t = StatusTexts(emulator.lineStatus());
            err << "tarrow-cli: " << t.sent << ", " << t.dropped << '\n';
        }
        err << std::flush;
        return status;
    }

    // Serves the run loop until the tick count, the duration, a signal or `carryOn` ends the
    // run; the engine's own schedule decides when each tick goes.
    int run(const std::function<bool()>& carryOn) {
        const Clock::time_point end = options.durationSeconds
                                          ? Clock::now() + seconds(*options.durationSeconds)
                                          : Clock::time_point::max();
        for (;;) {
            const Clock::time_point wake = emulator.serve(Clock::now());
            if (control)
                control->afterServe();
            if (emulator.lineLost())
                return finish(PortFailed);
            if (options.ticks &&
                emulator.runLoop().ticksServed() >= static_cast<std::uint64_t>(*options.ticks))
                break;
            if (!carryOn())
                break;
            if (options.echo && !out)
                break; // whoever read the echo has gone (a closed pipe)
            if (wake > end) {
                wait(end);
                break;
            }
            if (!wait(wake))
                break;
        }
        return finish(Done);
    }

    const CliOptions& options;
    StopSignal& stop;
    std::ostream& out;
    std::ostream& err;
    FileSettingsStore fileSettings;
    CliSettings settings;
    CliMessages messages;
    PosixSerialDevice device;
    EchoTerminal echo;
    Emulator emulator;
    std::unique_ptr<ControlProtocol> protocol;
    std::unique_ptr<ControlServer> control;
};

int simulate(Session& s) {
    const CliOptions& o = s.options;
    ApplySimulatorOptions(s.emulator, o);
    s.note();
    Simulator& sim = s.emulator.simulator();
    // Ramps step once per tick served, even when a late tick skips a deadline.
    s.emulator.runLoop().onTick(
        [&sim, &o](std::uint64_t k) {
            const auto tick = static_cast<long long>(k);
            if (o.xteRamp)
                sim.setXteValue(o.xteRamp->at(tick, o.periodSeconds));
            if (o.trackRamp)
                sim.setTrack(o.trackRamp->at(tick, o.periodSeconds));
            if (o.speedRamp)
                sim.setSpeed(o.speedRamp->at(tick, o.periodSeconds));
        },
        {});
    return s.run([] { return true; });
}

int replay(Session& s) {
    const CliOptions& o = s.options;
    Replay& replay = s.emulator.replay();
    s.emulator.runLoop().showPage(Page::File);
    replay.setFileType(o.fileTypeNmea);
    replay.setRecordsPerTick(o.records);
    replay.setPauseSeconds(o.periodSeconds);
    replay.setTrigger(o.trigger);
    replay.setLoop(o.loop);
    replay.setAllSentences(o.allSentences);
    replay.setPace(o.pace);
    if (const CommandResult opened = replay.open(o.file); !opened.ok) {
        s.err << "tarrow-cli: " << opened.text << '\n';
        return s.finish(Refused);
    }
    s.note();
    bool openAtTick = false;
    s.emulator.runLoop().onTick(
        [&replay, &openAtTick](std::uint64_t) { openAtTick = replay.isOpen(); },
        [&s, &o, &replay, &openAtTick](std::uint64_t served) {
            if (openAtTick && !o.quiet)
                s.out << ReadoutLine(replay.readouts(), static_cast<long long>(served), o.json)
                      << '\n'
                      << std::flush;
        });
    // Without Loop the replay closes the file at its end, and the run is over.
    return s.run([&replay] { return replay.isOpen(); });
}

CommandResult sendCoupler(Coupler& coupler, const CouplerRequest& r) {
    switch (r.action) {
    case CouplerAction::Offset:
        return coupler.sendOffset(r.value);
    case CouplerAction::Dim:
        return r.value == DimSensor ? coupler.sendDimming(DimChoice::Sensor)
               : r.value == DimVolt ? coupler.sendDimming(DimChoice::Volt)
               : r.value == DimNone ? coupler.sendDimming(DimChoice::None)
                                    : coupler.sendDimming(DimChoice::Level, r.value);
    case CouplerAction::CourseGain:
        return coupler.sendCourseGain(r.value);
    case CouplerAction::HeadingGain:
        return coupler.sendHeadingGain(r.value);
    case CouplerAction::Type:
        return coupler.sendType(r.value);
    case CouplerAction::Brightness:
        return coupler.sendBrightness(r.value);
    case CouplerAction::VirtualWaypoints:
        return coupler.sendCamlink(Camlink::VirtualWaypoints, r.value);
    case CouplerAction::Anticipation:
        return coupler.sendCamlink(Camlink::Anticipation, r.value);
    case CouplerAction::MaxAngle:
        return coupler.sendCamlink(Camlink::MaxAngle, r.value);
    case CouplerAction::MaxTime:
        return coupler.sendCamlink(Camlink::MaxTime, r.value);
    }
    return CommandResult::Refused("unknown coupler command");
}

int coupler(Session& s) {
    // The layout as the command line asks for it, not stored as the dialog's box would.
    s.emulator.coupler().setCompatibility(s.options.compatibility, false);
    s.note();
    const CommandResult sent = sendCoupler(s.emulator.coupler(), s.options.coupler);
    if (!sent.ok)
        s.err << "tarrow-cli: " << sent.text << '\n';
    return s.finish(sent.ok ? Done : Refused, true);
}

int flow(Session& s) {
    // Pulses only: the ticks send nothing.
    s.emulator.runLoop().setPaused(true);
    FuelFlow& fuel = s.emulator.fuelFlow();
    fuel.setEnabled(true);
    fuel.setFlow(s.options.flowRate);
    s.note();
    const int status = s.run([] { return true; });
    fuel.setEnabled(false);
    return status;
}

// A scenario: its steps on the tick grid, from the first tick on.
int runScenario(Session& s, const Scenario& scenario) {
    if (!s.protocol)
        s.protocol = std::make_unique<ControlProtocol>(s.emulator, "tarrow-cli", TARROW_VERSION);
    ApplySimulatorOptions(s.emulator, s.options);
    s.note();
    ScenarioPlayer player(scenario, *s.protocol);
    std::string refused;
    s.emulator.runLoop().onTick(
        [&](std::uint64_t served) {
            if (refused.empty())
                refused = player.beforeTick(served);
        },
        {});
    const int status =
        s.run([&] { return refused.empty() && !player.ended(s.emulator.runLoop().ticksServed()); });
    if (!refused.empty()) {
        s.err << "tarrow-cli: " << s.options.scenario << ": " << refused << '\n';
        return status == Done ? Refused : status;
    }
    return status;
}

} // namespace

void ApplySimulatorOptions(Emulator& emulator, const CliOptions& o) {
    Simulator& sim = emulator.simulator();
    sim.setFormat(o.formatItem == 0   ? OutputFormat::NmeaV2
                  : o.formatItem == 2 ? OutputFormat::Aviation
                                      : OutputFormat::NmeaV3);
    if (o.xteMode)
        sim.setXteMode(*o.xteMode);
    if (o.xteValue)
        sim.setXteValue(*o.xteValue);
    if (o.track)
        sim.setTrack(*o.track);
    if (o.speed)
        sim.setSpeed(*o.speed);
    sim.setCourse(!o.noCourse);
    sim.setHeading(!o.noHeading);
    sim.setSentences(o.sentences);
    if (o.position)
        sim.setPosition(o.position->first, o.position->second);
    sim.setMoving(o.move);
}

int RunCommand(const CliOptions& given, StopSignal& stop, std::ostream& out, std::ostream& err) {
    CliOptions options = given;
    Scenario scenario;
    if (options.command == CliCommand::Run) {
        if (const std::string wrong = LoadScenario(options.scenario, scenario); !wrong.empty()) {
            err << "tarrow-cli: " << wrong << '\n';
            return Refused;
        }
        if (options.checkOnly) {
            if (!options.quiet)
                err << "tarrow-cli: " << options.scenario << ": " << scenario.steps.size()
                    << (scenario.steps.size() == 1 ? " step" : " steps") << ", all valid\n";
            return Done;
        }
        // The scenario's head names the port and the period.
        options.periodSeconds =
            options.scenarioPeriod > 0.0 ? options.scenarioPeriod : scenario.period;
        if (!scenario.port.empty() && !options.portGiven) {
            // COM1..COM4, with or without the colon, in any case; anything else is a device.
            std::string p = scenario.port;
            if (p.size() == 5 && p.back() == ':')
                p.pop_back();
            const bool named = p.size() == 4 && (p[0] | 0x20) == 'c' && (p[1] | 0x20) == 'o' &&
                               (p[2] | 0x20) == 'm' && p[3] >= '1' && p[3] <= '4';
            options.portNumber = named ? p[3] - '0' : 1;
            options.device = named ? std::string() : scenario.port;
        }
    }
    Session session(options, stop, out, err);
    if (!session.open())
        return PortFailed;
    switch (options.command) {
    case CliCommand::Simulate:
        return simulate(session);
    case CliCommand::Replay:
        return replay(session);
    case CliCommand::Coupler:
        return coupler(session);
    case CliCommand::Flow:
        return flow(session);
    case CliCommand::Serve:
        ApplySimulatorOptions(session.emulator, options);
        session.note();
        return session.run([] { return true; });
    case CliCommand::Run:
        return runScenario(session, scenario);
    }
    return Refused;
}
