#include "pages/FilePage.h"

#include <algorithm>

#include "engine/Emulator.h"
#include "pages/NumberRules.h"
#include "pages/SimulatorPage.h"

namespace {
// The read-only edits hold whole numbers; anything else reads as 0.
int WholeNumber(const std::string& text) { return ReadLeadingNumber(text).value_or(0); }
} // namespace

FilePage::FilePage(Emulator& e, FilePageWindow& w, SimulatorPage& s)
    : emulator(e), window(w), simulator(s), pause(e.runLoop(), w) {
    emulator.replay().setView(this);
}

FilePage::~FilePage() { emulator.replay().setView(nullptr); }

void FilePage::readoutShown(Readout which, const std::string& text) {
    window.setReadoutText(which, text);
}

void FilePage::fileOpened(const std::string& name) {
    window.setOpenFileCaption("Close file");
    window.setFileNameText(name);
}

void FilePage::fileClosed() {
    window.setOpenFileCaption("Open file");
    window.setFileNameText("");
}

void FilePage::BTN_OpenFileClick() {
    Replay& replay = emulator.replay();
    if (replay.isOpen()) {
        replay.close();
        return;
    }
    const auto path = window.runOpenDialog(OpenDialogFilter, 1);
    if (path)
        replay.open(*path); // a file that cannot be opened is ignored without a message
}

void FilePage::RadioGroupFileTypeClick() {
    const bool nmea = window.fileTypeItem() == 0;
    emulator.replay().setFileType(nmea);
    window.selectFormatItem(static_cast<int>(nmea ? OutputFormat::NmeaV3 : OutputFormat::Aviation));
    simulator.GroupFormatClick();
}

void FilePage::TAB_mainChange() {
    RunLoop& loop = emulator.runLoop();
    if (window.currentPage() == 0) {
        loop.showPage(Page::Simulator);
        // The Pause command inverts it again, so paused ends as saved and the controls show it.
        loop.setPaused(!SavedPause);
        pause.MNU_PauseClick();
        return;
    }
    loop.showPage(Page::File);
    window.selectFileTypeItem(emulator.replay().fileIsNmea() ? 0 : 1);
    RadioGroupFileTypeClick();
    window.setChunksText(std::to_string(window.recordsPerTickPosition()));
    SavedPause = loop.isPaused();
    loop.setPaused(false);
    pause.MNU_PauseClick();
    window.setLoopChecked(emulator.replay().loops());
    simulator.GroupFormatClick();
}

void FilePage::ShowReplay() {
    const Replay& replay = emulator.replay();
    const int wanted = emulator.runLoop().page() == Page::File ? 1 : 0;
    if (wanted == 1 && window.currentPage() != 1) {
        // Set first: the tab's change reads them back into the replay.
        window.selectFileTypeItem(replay.fileIsNmea() ? 0 : 1);
        window.setRecordsPerTickPosition(replay.recordsPerTickSetting());
        window.setTriggerText(replay.triggerText());
    }
    if (window.currentPage() != wanted)
        window.selectPage(wanted);
    if (wanted == 1)
        window.setLoopChecked(replay.loops());
}

void FilePage::CheckBoxLoopClick() { emulator.replay().setLoop(window.loopChecked()); }

void FilePage::setRecordsPerTick(int position) {
    window.setRecordsPerTickPosition(position);
    emulator.replay().setRecordsPerTick(window.recordsPerTickPosition());
}

void FilePage::setPauseSeconds(int position) {
    window.setPauseSecondsPosition(position);
    emulator.replay().setPauseSeconds(window.pauseSecondsPosition());
}

void FilePage::UpDown_lpsClick() {
    const int position = window.recordsPerTickPosition();
    window.setChunksText(std::to_string(position));
    emulator.replay().setRecordsPerTick(position);
}

void FilePage::EDIT_chunksChange() {
    const int n = WholeNumber(window.chunksText());
    if (n >= 1)
        setRecordsPerTick(std::min(n, 100));
}

void FilePage::UpDown_secClick() {
    const int position = window.pauseSecondsPosition();
    window.setSecPauseText(std::to_string(position));
    emulator.replay().setPauseSeconds(position);
    // The new pace starts at the next tick, for the Simulator page too: there is one timer.
    emulator.runLoop().setPeriod(position);
}

void FilePage::EDIT_SecPauseChange() {
    const int n = WholeNumber(window.secPauseText());
    if (n >= 1 && n <= 99)
        setPauseSeconds(n);
    else
        window.setSecPauseText(std::to_string(window.pauseSecondsPosition()));
}

void FilePage::EDIT_triggerChange() { emulator.replay().setTrigger(window.triggerText()); }
