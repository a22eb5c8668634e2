#pragma once
#include "emulator/PageControls.h"

struct EmulatorState;

// The Pause command, shared by the menu item and the check box. Setting a check mark from
// code may raise its click again; the guard makes that nested call do nothing.
class PauseCommand {
public:
    PauseCommand(EmulatorState& s, PageControls& w) : state(s), window(w) {}
    void MNU_PauseClick();

private:
    EmulatorState& state;
    PageControls& window;
    bool guard = false;
};
