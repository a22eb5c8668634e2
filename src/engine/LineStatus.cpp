#include "engine/LineStatus.h"

LineStatusTexts StatusTexts(const LineStatus& s) {
    LineStatusTexts t;
    t.portName = s.portName;
    t.portDevice = s.detail.empty() ? s.device : s.detail;
    t.portState = !s.open ? "not open" : s.lost ? "lost" : "open";
    t.port = t.portName + " " + t.portDevice + " " + t.portState;
    t.baud = s.open && s.baud != 0 ? std::to_string(s.baud) + " baud" : "no baud rate";
    t.sent = "Sent " + std::to_string(s.bytesSent) + " bytes";
    t.dropped = "Dropped " + std::to_string(s.recordsDropped);
    t.load = s.loadPercent < 0 ? "Load -" : "Load " + std::to_string(s.loadPercent) + "%";
    if (!s.faults.empty()) {
        t.faults = "FAULTS ON:";
        for (std::size_t i = 0; i < s.faults.size(); ++i)
            t.faults += (i == 0 ? " " : ", ") + s.faults[i];
    }
    if (s.liveTime)
        t.time = "Live time";
    return t;
}
