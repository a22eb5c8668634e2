#include "emulator/OutputTick.h"

#include "emulator/AviationRecord.h"
#include "emulator/NmeaSentences.h"
#include "emulator/PageControls.h"

OutputTick::OutputTick(EmulatorState& s, PageControls& w, Transmitter& t)
    : state(s), window(w), transmitter(t) {}

int OutputTick::periodMilliseconds() const {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(schedule.interval()).count());
}

void OutputTick::Timer1Timer() {
    if (state.intervalPending) {
        // The new period counts from this tick's own deadline, not from when it ran.
        schedule.restart(schedule.next(), std::chrono::seconds(window.pauseSecondsPosition()));
        state.intervalPending = false;
    } else {
        schedule.advance(DeadlineSchedule::Clock::now());
    }
    if (state.paused)
        return;
    if (window.currentPage() == 0) {
        if (state.format == OutputFormat::Aviation)
            SendAviationRecord(state, transmitter);
        else
            SendNmeaSentences(state, transmitter);
    } else if (state.fileOpen && playback) {
        playback->PlaybackTick();
    }
}
