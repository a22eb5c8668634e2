#pragma once
#include "pages/SimulatorWindow.h"

class Emulator;
class MessageBoxSeam;

// The Simulator page's handlers and the main window's activation: each reads its controls,
// applies the text rules (the locale's numbers, the edits' pictures), calls the engine's
// command and shows what the engine stored.
class SimulatorPage {
public:
    SimulatorPage(Emulator& emulator, SimulatorWindow& window);

    // Read the edit, add the step, let the engine clamp or wrap, show what it stored. False
    // when the edit's text was refused; nothing changes then.
    bool ApplyXteValue(float step); // NM: 0, +0.1 or -0.1
    bool ApplyTrack(int step);      // tenths of a degree: 0, +10 or -10
    bool ApplySpeed(float step);    // knots: 0, +1 or -1
    bool ApplyFuelFlow(float step); // tenths: 0, +1 or -1

    void EB_ValueExit();
    void EB_ValueKeyPress(char key);
    void UpDown1Click(UpDownButton button);
    void EB_TrackExit();
    void EB_TrackKeyPress(char key);
    void UpDown2Click(UpDownButton button);
    void EB_SpeedExit();
    void EB_SpeedKeypress(char key);
    void UpDown3Click(UpDownButton button);
    void BTN_CourseClick();
    void BTN_HeadingClick();
    void GroupXTEClick();
    // Also called by the File page after it changed the Format item.
    void GroupFormatClick();

    void EB_FlowExit();
    void EB_FlowKeyPress(char key);
    void UpDown4Click(UpDownButton button);
    void BTN_FlowEnaClick();

    // Another front end (the control socket) changed the engine: every control shows the
    // engine's values, as if they had been typed.
    void ShowValues();

    // The main window became active: its controls are rewritten from the engine, the two
    // sentence check boxes are copied into it, the File page's counters start again.
    void FormActivate();

private:
    Emulator& emulator;
    SimulatorWindow& window;
    MessageBoxSeam& messages;
};
