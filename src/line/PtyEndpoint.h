#pragma once
#include <filesystem>
#include <memory>
#include <string>

#include "line/Endpoint.h"

// Where pseudo-terminals are published: $XDG_RUNTIME_DIR/tarrow, else a directory of the
// user's own under the temporary directory.
std::filesystem::path DefaultLinkDirectory();
// Removes the links in the directory (when it is the user's own) that runs which died left
// behind; a run publishing a pseudo-terminal does the same.
void RemoveStaleLinks(const std::filesystem::path& linkDirectory);

// A pseudo-terminal the program creates in raw mode, whose slave a client opens by the link
// published for the port. It lasts for the whole run, through closes and opens of its port,
// so a client keeps its line. Line settings apply to the master; there are no modem lines.
// The name is the run's alone: a lock beside the link (".name.lock") says which process holds
// it, and links whose lock nobody holds are left from runs that died, and are removed.
class PtyEndpoint : public Endpoint {
public:
    // A new pseudo-terminal published as linkDirectory/name, or null with `failure` set (the
    // name is held by another run). A directory that is not the user's own is not published
    // in; describe() then says so.
    static std::unique_ptr<PtyEndpoint> open(const std::filesystem::path& linkDirectory,
                                             const std::string& name, std::string& failure);
    ~PtyEndpoint() override;
    PtyEndpoint(const PtyEndpoint&) = delete;
    PtyEndpoint& operator=(const PtyEndpoint&) = delete;

    bool getLineState(LineState& out) override;
    bool setLineState(const LineState& state) override;
    bool lineControl(LineControl) override { return true; }
    bool write(const std::uint8_t* data, std::size_t count, const Timeouts& t,
               const WriteInterrupt& stop) override;
    std::string describe() const override;
    // The pseudo-terminal stays; only the program's end closes it.
    bool close() override { return true; }

private:
    PtyEndpoint(int m, std::string s) : master(m), slave(std::move(s)) {}
    void withdraw();

    const int master;
    const std::string slave;
    std::filesystem::path link; // empty when it could not be published
    std::string unpublished;    // why not, for the user
    std::string name;
    int directory = -1; // the link directory, opened without following a link
    int lock = -1;      // held for the whole run
};
