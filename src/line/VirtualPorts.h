#pragma once
#include <string>

// The endpoints a port can open instead of a serial line: a pseudo-terminal whose slave a
// client opens, a TCP server, a UDP sender.
enum class VirtualKind { None, Pty, Tcp, Udp };

// What a [Devices] entry names: "pty", "tcp:[ADDRESS:]PORT", "udp:HOST:PORT", else a path.
inline VirtualKind VirtualKindOf(const std::string& device) {
    if (device == "pty")
        return VirtualKind::Pty;
    if (device.starts_with("tcp:"))
        return VirtualKind::Tcp;
    if (device.starts_with("udp:"))
        return VirtualKind::Udp;
    return VirtualKind::None;
}
