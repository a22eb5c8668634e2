#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "control/ControlProtocol.h"
#include "line/Handover.h"

class Emulator;

// Where the control socket listens: "unix:PATH" or "tcp:[ADDRESS:]PORT".
struct ControlAddress {
    bool unixSocket = true;
    std::string path; // unix
    std::string host; // tcp; empty: the loopback address
    std::string port; // tcp
};
// Reads an address; empty text is the default socket. Returns what is wrong, or nothing.
std::string ParseControlAddress(const std::string& text, ControlAddress& out);
// $XDG_RUNTIME_DIR/tarrow/control, or the same name in the user's own temporary directory.
std::string DefaultControlPath();

// The control socket: listens, takes any number of clients, reads their request lines,
// answers through the protocol and sends the events they subscribed to. Everything runs on
// the engine's thread from process(); fd() tells a front end's wait when to call it. Writes
// never block: a client whose unread output passes the bound is disconnected, so a client
// that stops reading never holds up the engine or the other clients.
class ControlServer : private RecordObserver {
public:
    static constexpr std::size_t MaxLine = 64 * 1024;
    static constexpr std::size_t DefaultMaxOutput = 1024 * 1024;

    ControlServer(Emulator& emulator, ControlProtocol& protocol,
                  std::size_t maxOutput = DefaultMaxOutput);
    ~ControlServer() override;
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Starts listening. Returns what went wrong, or nothing.
    std::string listen(const ControlAddress& address);
    // Where it listens and who can reach it, for the start-up note.
    const std::string& where() const { return place; }

    // Readable when process() has work: a client, a request, room to write, a record event.
    int fd() const { return pollFd; }
    void process();
    // After the run loop served: the read-outs of a new tick to their subscribers, and
    // whatever events wait, sent.
    void afterServe();

    std::size_t clientCount() const { return clients.size(); }

private:
    struct Client {
        int fd = -1;
        ClientState state;
        std::string in, out;
        bool wantsWrite = false;
        bool closing = false; // the last answer goes, then the connection ends
    };
    struct Left {
        std::uint64_t sequence;
        bool ok;
        double utc;
        std::string bytes;
    };

    void handedOver(std::uint64_t sequence, std::string_view bytes) override;
    void left(std::uint64_t sequence, std::string_view bytes, bool ok) override;

    void accept(int listener);
    void read(Client& c);
    void queue(Client& c, const std::string& line);
    void flush(Client& c);
    void drop(int fd);
    void broadcast(bool records, const std::string& line);
    void flushAll();

    Emulator& emulator;
    ControlProtocol& protocol;
    std::size_t maxOutput;
    int pollFd = -1;
    int eventFd = -1; // the writer's thread says a record has left
    std::vector<int> listeners;
    std::string unixPath;
    std::string place;
    std::map<int, Client> clients;
    std::uint64_t lastTick = 0;
    bool recordSubscribers = false; // engine thread's view
    std::mutex leftMutex;           // guards what follows; the writer thread fills it
    bool wantLeft = false;
    std::vector<Left> leftQueue;
};
