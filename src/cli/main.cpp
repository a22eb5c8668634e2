#include <exception>
#include <iostream>

#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "cli/StopSignal.h"
#include "line/PtyEndpoint.h"

int main(int argc, char* argv[]) {
    CliOptions options;
    if (const auto status = ParseCommandLine(argc, argv, options, std::cout, std::cerr))
        return *status;
    try {
        StopSignal stop; // first, so that every thread started after it has the signals blocked
        RemoveStaleLinks(DefaultLinkDirectory());
        return RunCommand(options, stop, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "tarrow-cli: " << e.what() << '\n';
        return 1;
    }
}
