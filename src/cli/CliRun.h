#pragma once
#include <iosfwd>

#include "cli/CliOptions.h"

class StopSignal;

// Runs the command on the core's Emulator with a headless front end, as the window would
// with the same settings. Returns the exit status: 0 done, 1 the port could not be opened or
// was lost, 2 the command was refused.
int RunCommand(const CliOptions& options, StopSignal& stop, std::ostream& out, std::ostream& err);
