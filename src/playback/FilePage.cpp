#include "playback/FilePage.h"

#include <algorithm>

#include "coupler/NumberRules.h"
#include "emulator/PauseCommand.h"
#include "emulator/SimulatorInputs.h"
#include "playback/PlaybackEngine.h"

namespace {
// The read-only edits hold whole numbers; anything else reads as 0.
int WholeNumber(const std::string& text) { return ReadLeadingNumber(text).value_or(0); }
} // namespace

FilePage::FilePage(EmulatorState& s, FilePageWindow& w, PlaybackEngine& e, SimulatorInputs& sim,
                   PauseCommand& p)
    : state(s), window(w), engine(e), simulator(sim), pause(p) {}

void FilePage::BTN_OpenFileClick() {
    if (engine.isOpen() || state.fileOpen) {
        engine.close();
        return;
    }
    const auto path = window.runOpenDialog(OpenDialogFilter, 1);
    if (!path)
        return;
    engine.open(*path); // a file that cannot be opened is ignored without a message
}

void FilePage::RadioGroupFileTypeClick() {
    state.fileTypeNmea = window.fileTypeItem() == 0;
    if (state.fileTypeNmea) {
        // Stored as v2 so that the Format handler sees a change and applies the NMEA baud rate.
        state.format = OutputFormat::NmeaV2;
        window.selectFormatItem(static_cast<int>(OutputFormat::NmeaV3));
    } else {
        state.format = OutputFormat::Aviation;
        window.selectFormatItem(static_cast<int>(OutputFormat::Aviation));
    }
    simulator.GroupFormatClick();
}

void FilePage::TAB_mainChange() {
    if (window.currentPage() == 0) {
        // The Pause command inverts it again, so paused ends as saved and the controls show it.
        state.paused = !SavedPause;
        pause.MNU_PauseClick();
        return;
    }
    window.selectFileTypeItem(state.fileTypeNmea ? 0 : 1);
    RadioGroupFileTypeClick();
    window.setChunksText(std::to_string(window.recordsPerTickPosition()));
    SavedPause = state.paused;
    state.paused = false;
    pause.MNU_PauseClick();
    window.setLoopChecked(state.loop);
    simulator.GroupFormatClick();
}

void FilePage::CheckBoxLoopClick() { state.loop = window.loopChecked(); }

void FilePage::UpDown_lpsClick() {
    window.setChunksText(std::to_string(window.recordsPerTickPosition()));
}

void FilePage::EDIT_chunksChange() {
    const int n = WholeNumber(window.chunksText());
    if (n >= 1)
        window.setRecordsPerTickPosition(std::min(n, 100));
}

void FilePage::UpDown_secClick() {
    window.setSecPauseText(std::to_string(window.pauseSecondsPosition()));
    state.intervalPending = true;
}

void FilePage::EDIT_SecPauseChange() {
    const int n = WholeNumber(window.secPauseText());
    if (n >= 1 && n <= 99)
        window.setPauseSecondsPosition(n);
    else
        window.setSecPauseText(std::to_string(window.pauseSecondsPosition()));
}
