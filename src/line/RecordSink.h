#pragma once
#include <string>

#include "line/PortHandle.h"

// Where finished records go: the line writer in the program, a recorder in tests.
class RecordSink {
public:
    virtual ~RecordSink() = default;
    // One record for `port`, line end included; it leaves in one write. False when it could
    // not be taken (it is then dropped and counted).
    virtual bool submit(PortHandle port, std::string bytes) = 0;
    // The next record leaves no sooner than 10 ms after the previous one has left.
    virtual void wait10ms() = 0;
};
