#pragma once
#include <iosfwd>

#include "cli/CliOptions.h"

class Emulator;
class StopSignal;

// The Simulator page's settings of `simulate` as commands: format, cross-track, track, speed
// and the two sentences.
void ApplySimulatorOptions(Emulator& emulator, const CliOptions& options);

// Runs the command on the core's Emulator through its commands. Returns the exit status:
// 0 done, 1 the port could not be opened or was lost, or the coupler's sentence did not reach
// it; 2 the command was refused.
int RunCommand(const CliOptions& options, StopSignal& stop, std::ostream& out, std::ostream& err);
