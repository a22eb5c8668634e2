#pragma once
#include <mutex>
#include <string>

#include "line/Endpoint.h"

// "[ADDRESS:]PORT" or "HOST:PORT": the address part (maybe empty; an IPv6 address without its
// brackets) and the port part. An IPv6 address may come bracketed ("[::1]:PORT") or bare, the
// last colon then starting the port ("::1:PORT"); "::PORT" is every address.
void SplitHostPort(const std::string& text, std::string& host, std::string& port);
// host:port as people write it: an IPv6 address in brackets.
std::string ShownAddress(const std::string& host, const std::string& port);
// A non-blocking socket bound and listening (server) or connected to host:port; -1 with
// `error` set. `bound`, when given, gets the address the socket took, as ShownAddress writes it.
int OpenSocket(const std::string& host, const std::string& port, int type, bool server,
               std::string& error, std::string* bound = nullptr);

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
