#include "cli/CliRun.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <ostream>

#include "cli/CliMessages.h"
#include "cli/CliOutput.h"
#include "cli/CliSettings.h"
#include "cli/HeadlessCalibrate.h"
#include "cli/HeadlessWindow.h"
#include "cli/StopSignal.h"
#include "coupler/CalibrateLogic.h"
#include "engine/Emulator.h"
#include "serial/PosixSerialDevice.h"

namespace {

constexpr int Done = 0;
constexpr int PortFailed = 1;
constexpr int Refused = 2;

using Clock = DeadlineSchedule::Clock;

Clock::duration seconds(double s) {
    // Held to a century, so that a huge --duration cannot overflow the clock's count.
    const double capped = std::min(s, 100.0 * 365 * 24 * 3600);
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(capped));
}

// One run: the emulator and everything it borrows, in the order the window's main() makes
// them.
class Session {
public:
    Session(const CliOptions& o, StopSignal& s, std::ostream& output, std::ostream& errors)
        : options(o), stop(s), out(output), err(errors), messages(errors),
          fileSettings(FileSettingsStore::ConfigHomeFromEnvironment()),
          settings(fileSettings, o.portNumber, o.device),
          device([this](const std::string& name) { return settings.devicePath(name); }),
          echo(out, o.json), emulator(device, settings, messages) {}

    ~Session() { emulator.detach(); }

    // Start-up as the window's: settings, the port at the format's rate, the first display.
    bool open() {
        emulator.attach({window, window, options.echo ? &echo : nullptr});
        emulator.start();
        if (emulator.state().portHandle == InvalidPort)
            return false; // the message box has said why
        if (options.baudChoice != 0) {
            // As Setup → Serial Port's OK with a fixed rate chosen.
            emulator.state().baudChoice = options.baudChoice;
            emulator.link().SetBaud(options.baudChoice);
        }
        emulator.FormActivate();
        emulator.setFaults(options.faults);
        return true;
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
        err << '\n' << std::flush;
    }

    bool lost() {
        const PortHandle h = emulator.state().portHandle;
        return h != InvalidPort && emulator.link().device().lost(h);
    }

    // Records already handed over still leave; then the port closes.
    int finish(int status) {
        emulator.writer().flush();
        if (lost()) {
            reportLost();
            status = PortFailed;
        }
        if (status == Done && !options.quiet) {
            const LineStatusTexts t = StatusTexts(emulator.lineStatus());
            err << "tarrow-cli: " << t.sent << ", " << t.dropped << '\n' << std::flush;
        }
        emulator.shutdown();
        return status;
    }

    // Serves the output tick on its grid until the tick count, the duration, a signal or
    // `after` ends the run. `before` gets the number of ticks served before this one, so a
    // ramp steps once per record even when a late tick skips a deadline; `after` gets the
    // number served with this one.
    int runTicks(const std::function<void(long long)>& before,
                 const std::function<bool(long long)>& after) {
        DeadlineSchedule schedule;
        const Clock::time_point start = Clock::now();
        schedule.restart(start, seconds(options.periodSeconds));
        const Clock::time_point end = options.durationSeconds
                                          ? start + seconds(*options.durationSeconds)
                                          : Clock::time_point::max();
        long long served = 0;
        while (!options.ticks || served < *options.ticks) {
            if (schedule.next() > end) {
                stop.waitUntil(end);
                break;
            }
            if (!stop.waitUntil(schedule.next()))
                break;
            before(served);
            emulator.Timer1Timer();
            ++served;
            schedule.advance(Clock::now());
            emulator.poll();
            if (lost())
                return finish(PortFailed);
            if (!after(served))
                break;
        }
        return finish(Done);
    }

    const CliOptions& options;
    StopSignal& stop;
    std::ostream& out;
    std::ostream& err;
    CliMessages messages;
    FileSettingsStore fileSettings;
    CliSettings settings;
    PosixSerialDevice device;
    HeadlessWindow window;
    EchoTerminal echo;
    Emulator emulator;

private:
    void reportLost() {
        const LineStatusTexts t = StatusTexts(emulator.lineStatus());
        err << "tarrow-cli: " << t.port << ": the device went away\n" << std::flush;
    }
};

// Types `value` into `edit` and leaves it, so the page's own rules clamp, wrap and round.
void enter(Session& s, Control edit, double value, void (SimulatorInputs::*exit)()) {
    s.window.setText(edit, NumberForEdit(value));
    (s.emulator.simulator().*exit)();
}

int simulate(Session& s) {
    const CliOptions& o = s.options;
    HeadlessWindow& w = s.window;
    SimulatorInputs& inputs = s.emulator.simulator();
    w.setItemIndex(Control::GroupFormat, o.formatItem);
    inputs.GroupFormatClick();
    if (o.xteMode) {
        w.setItemIndex(Control::GroupXTE, static_cast<int>(*o.xteMode));
        inputs.GroupXTEClick();
    }
    if (o.xteValue)
        enter(s, Control::EB_Value, *o.xteValue, &SimulatorInputs::EB_ValueExit);
    if (o.track)
        enter(s, Control::EB_Track, *o.track, &SimulatorInputs::EB_TrackExit);
    if (o.speed)
        enter(s, Control::EB_Speed, *o.speed, &SimulatorInputs::EB_SpeedExit);
    if (o.noCourse) {
        w.setChecked(Control::BTN_Course, false);
        inputs.BTN_CourseClick();
    }
    if (o.noHeading) {
        w.setChecked(Control::BTN_Heading, false);
        inputs.BTN_HeadingClick();
    }
    s.note();
    const auto ramps = [&s, &o](long long k) {
        if (o.xteRamp)
            enter(s, Control::EB_Value, o.xteRamp->at(k, o.periodSeconds),
                  &SimulatorInputs::EB_ValueExit);
        if (o.trackRamp)
            enter(s, Control::EB_Track, o.trackRamp->at(k, o.periodSeconds),
                  &SimulatorInputs::EB_TrackExit);
        if (o.speedRamp)
            enter(s, Control::EB_Speed, o.speedRamp->at(k, o.periodSeconds),
                  &SimulatorInputs::EB_SpeedExit);
    };
    return s.runTicks(ramps, [](long long) { return true; });
}

int replay(Session& s) {
    const CliOptions& o = s.options;
    HeadlessWindow& w = s.window;
    FilePage& page = s.emulator.filePage();
    w.showPage(1);
    page.TAB_mainChange(); // the File page pauses the output until Pause is released
    w.selectFileTypeItem(o.fileTypeNmea ? 0 : 1);
    page.RadioGroupFileTypeClick();
    w.setChunksText(std::to_string(o.records));
    page.EDIT_chunksChange();
    // The read-outs count ticks per hour in whole seconds, as the Pause Seconds box holds.
    const long wholeSeconds = std::max(1L, std::lround(o.periodSeconds));
    w.setSecPauseText(std::to_string(wholeSeconds));
    page.EDIT_SecPauseChange();
    w.typeTrigger(o.trigger);
    if (o.loop) {
        w.setLoopChecked(true);
        page.CheckBoxLoopClick();
    }
    w.chooseFile(o.file);
    page.BTN_OpenFileClick();
    if (!s.emulator.state().fileOpen) {
        s.err << "tarrow-cli: cannot open " << o.file << '\n';
        return s.finish(Refused);
    }
    s.emulator.MNU_PauseClick();
    s.note();
    bool openAtTick = false;
    const auto before = [&s, &openAtTick](long long) { openAtTick = s.emulator.state().fileOpen; };
    const auto after = [&s, &o, &openAtTick](long long served) {
        if (openAtTick && !o.quiet)
            s.out << ReadoutLine(s.window, served, o.json) << '\n' << std::flush;
        // Without Loop the replay closes the file at its end, and the run is over.
        return s.emulator.state().fileOpen;
    };
    return s.runTicks(before, after);
}

int coupler(Session& s) {
    HeadlessCalibrate dialog;
    Emulator& e = s.emulator;
    CalibrateLogic logic(e.state(), dialog, e.transmitter(), e.messages(), e.settings());
    logic.FormShow();
    // The box as the command line sets it, without storing it as the dialog's click would.
    dialog.setChecked(CalibrateCheckBox::CHKBOX_Compat, s.options.compatibility);
    s.note();
    const int warnings = s.messages.warnings;
    ApplyCouplerRequest(logic, dialog, s.options.coupler);
    return s.finish(s.messages.warnings > warnings ? Refused : Done);
}

int flow(Session& s) {
    HeadlessWindow& w = s.window;
    FuelFlow& fuel = s.emulator.fuelFlow();
    w.setText(Control::EB_Flow, NumberForEdit(s.options.flowRate));
    w.setChecked(Control::BTN_FlowEna, true);
    fuel.BTN_FlowEnaClick();
    s.note();
    const Clock::time_point end = s.options.durationSeconds
                                      ? Clock::now() + seconds(*s.options.durationSeconds)
                                      : Clock::time_point::max();
    int status = Done;
    // The edges run on the pulse timer's thread; this one only looks after the line.
    for (auto next = Clock::now(); next < end;) {
        next = std::min(end, next + std::chrono::milliseconds(250));
        if (!s.stop.waitUntil(next))
            break;
        s.emulator.poll();
        if (s.lost()) {
            status = PortFailed;
            break;
        }
    }
    w.setChecked(Control::BTN_FlowEna, false);
    fuel.BTN_FlowEnaClick();
    return s.finish(status);
}

} // namespace

int RunCommand(const CliOptions& options, StopSignal& stop, std::ostream& out, std::ostream& err) {
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
    }
    return Refused;
}
