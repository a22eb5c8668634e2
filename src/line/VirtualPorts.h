#pragma once
#include <filesystem>
#include <string>

// The endpoints a port can open instead of a serial line: a pseudo-terminal whose slave a
// client opens, a TCP server, a UDP sender. All descriptors are non-blocking and close on exec.

enum class VirtualKind { None, Pty, Tcp, Udp };

// What a [Devices] entry names: "pty", "tcp:[ADDRESS:]PORT", "udp:HOST:PORT", else a path.
VirtualKind VirtualKindOf(const std::string& device);

// A new pseudo-terminal in raw mode; the master's descriptor, or -1 with `error` set.
int OpenPtyMaster(std::string& slavePath, std::string& error);
// A listening TCP socket; the address is 127.0.0.1 unless the entry gives one.
int OpenTcpServer(const std::string& device, std::string& where, std::string& error);
// A UDP socket connected to HOST:PORT.
int OpenUdpSender(const std::string& device, std::string& where, std::string& error);

// Where pseudo-terminals are published: $XDG_RUNTIME_DIR/tarrow, else a directory of the
// user's own under the temporary directory.
std::filesystem::path DefaultLinkDirectory();
// Points dir/name at target, replacing what was there; false when it cannot.
bool PublishLink(const std::filesystem::path& dir, const std::string& name,
                 const std::string& target, std::filesystem::path& link);
// Removes the link if it still points at target (another program may have taken the name).
void WithdrawLink(const std::filesystem::path& link, const std::string& target);
