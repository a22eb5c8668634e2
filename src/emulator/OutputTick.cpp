#include "emulator/OutputTick.h"

#include "emulator/AviationRecord.h"
#include "emulator/NmeaSentences.h"

OutputTick::OutputTick(EmulatorState& s, OutputTickWindow& w, Transmitter& t)
    : state(s), window(w), transmitter(t) {}

void OutputTick::Timer1Timer() {
    if (state.intervalPending) {
        window.setTickPeriod(window.pauseSecondsPosition() * 1000);
        state.intervalPending = false;
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
