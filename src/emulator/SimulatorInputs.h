#pragma once
#include "emulator/EmulatorState.h"
#include "emulator/SimulatorWindow.h"

class MessageBoxSeam;
class SerialLink;

// The navigation inputs of the Simulator page: the cross-track, track and speed edits with
// their step buttons, the two sentence check boxes and the XTE and Format radio groups.
// Each handler keeps EmulatorState and the controls in step.
class SimulatorInputs {
public:
    SimulatorInputs(EmulatorState& state, SimulatorWindow& window, MessageBoxSeam& messages,
                    SerialLink& link);

    // Read the edit, add the step, clamp or wrap, store and show the result. False when the
    // edit's text was refused; the state and the edit are then unchanged.
    bool ApplyXteValue(float step); // NM: 0, +0.1 or -0.1
    bool ApplyTrack(int step);      // tenths of a degree: 0, +10 or -10
    bool ApplySpeed(float step);    // knots: 0, +1 or -1

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
    // Also called by the File page after it changed the Format item or the format.
    void GroupFormatClick();

private:
    EmulatorState& state;
    SimulatorWindow& window;
    MessageBoxSeam& messages;
    SerialLink& link;
};
