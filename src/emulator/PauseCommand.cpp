#include "emulator/PauseCommand.h"

#include "emulator/EmulatorState.h"

void PauseCommand::MNU_PauseClick() {
    if (guard)
        return;
    guard = true;
    state.paused = !state.paused;
    window.setPauseChecked(state.paused);
    guard = false;
}
