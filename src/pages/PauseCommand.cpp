#include "pages/PauseCommand.h"

#include "engine/RunLoop.h"

void PauseCommand::MNU_PauseClick() {
    if (guard)
        return;
    guard = true;
    loop.setPaused(!loop.isPaused());
    marks.setPauseChecked(loop.isPaused());
    guard = false;
}
