#pragma once

// The pause after every replayed NMEA line. A seam so that tests count the waits.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void wait10ms() = 0;
};

class ThreadSleeper : public Sleeper {
public:
    void wait10ms() override;
};
