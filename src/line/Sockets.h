#pragma once
#include <mutex>
#include <string>

#include "line/Endpoint.h"

// "[ADDRESS:]PORT" or "HOST:PORT": the address part (maybe empty) and the port part.
void SplitHostPort(const std::string& text, std::string& host, std::string& port);
// A non-blocking socket bound and listening (server) or connected to host:port; -1 with
// `error` set.
int OpenSocket(const std::string& host, const std::string& port, int type, bool server,
               std::string& error);

// What the TCP and UDP endpoints share: a socket, and a line that is only pretended. The line
// settings are kept as set, for the link to read back; there are no modem lines.
class SocketEndpoint : public Endpoint {
public:
    ~SocketEndpoint() override;
    SocketEndpoint(const SocketEndpoint&) = delete;
    SocketEndpoint& operator=(const SocketEndpoint&) = delete;

    bool getLineState(LineState& out) override;
    bool setLineState(const LineState& state) override;
    bool lineControl(LineControl) override { return true; }
    std::string describe() const override { return where; }
    bool close() override;

protected:
    SocketEndpoint(int socket, std::string what)
        : fd(socket), where("virtual " + std::move(what)) {}

    mutable std::mutex mutex; // guards fd and line, and what the kinds add
    int fd;
    const std::string where; // what the status bar shows

private:
    LineState line{4800};
};
