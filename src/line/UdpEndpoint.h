#pragma once
#include <memory>
#include <string>

#include "line/Sockets.h"

// A UDP socket connected to the entry's HOST:PORT ("udp:HOST:PORT"); one datagram per record.
class UdpEndpoint : public SocketEndpoint {
public:
    // The sender the entry names, or null with `failure` set.
    static std::unique_ptr<UdpEndpoint> open(const std::string& entry, std::string& failure);

    bool write(const std::uint8_t* data, std::size_t count, const Timeouts& t,
               const WriteInterrupt& stop) override;

private:
    using SocketEndpoint::SocketEndpoint;
};
