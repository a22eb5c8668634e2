#pragma once
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "line/Sockets.h"

// A listening TCP socket; the address is 127.0.0.1 unless the entry ("tcp:[ADDRESS:]PORT")
// gives one. A thread of its own takes clients as fast as they connect, whether records are
// flowing or not; every client gets whole records from the next one on.
class TcpServerEndpoint : public SocketEndpoint {
public:
    // The server the entry names, or null with `failure` set.
    static std::unique_ptr<TcpServerEndpoint> open(const std::string& entry, std::string& failure);
    ~TcpServerEndpoint() override;

    // True when at least one client took the whole record.
    bool write(const std::uint8_t* data, std::size_t count, const Timeouts& t,
               const WriteInterrupt& stop) override;
    std::string describe() const override;
    bool close() override;

private:
    TcpServerEndpoint(int socket, std::string what);
    void acceptClients(int listening);
    void stopAccepting();

    std::vector<int> clients; // under the mutex
    WriteInterrupt quit;      // ends the accepting thread
    std::thread acceptor;
};
