#pragma once

class RunLoop;

// The check marks of the Pause command: the menu item and the check box.
class PauseMarks {
public:
    virtual ~PauseMarks() = default;
    // Checks or unchecks both MNU_Pause and BTN_Pause.
    virtual void setPauseChecked(bool checked) = 0;
};

// The Pause command, shared by the menu item and the check box. Setting a check mark from
// code may raise its click again; the guard makes that nested call do nothing.
class PauseCommand {
public:
    PauseCommand(RunLoop& l, PauseMarks& m) : loop(l), marks(m) {}
    void MNU_PauseClick();

private:
    RunLoop& loop;
    PauseMarks& marks;
    bool guard = false;
};
