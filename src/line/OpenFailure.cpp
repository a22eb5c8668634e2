#include "line/OpenFailure.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

std::string ProgramHolding(const std::string& device, const fs::path& proc) {
    std::error_code ec;
    const fs::path wanted = fs::weakly_canonical(device, ec);
    for (const auto& entry : fs::directory_iterator(proc, ec)) {
        const std::string pid = entry.path().filename().string();
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos ||
            pid == std::to_string(::getpid()))
            continue;
        std::error_code fdError;
        for (const auto& fd : fs::directory_iterator(entry.path() / "fd", fdError)) {
            std::error_code linkError;
            if (fs::read_symlink(fd.path(), linkError) != wanted || linkError)
                continue;
            std::string name;
            std::getline(std::ifstream(entry.path() / "comm"), name);
            return (name.empty() ? "a program" : name) + ", PID " + pid;
        }
    }
    return {};
}

std::string DescribeOpenFailure(const std::string& device, int error) {
    if (device.empty())
        return "No device is set for this port. Choose one in Setup → Serial Port.";
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return device + ": no such device. Plug the adapter in, or choose another device in "
                        "Setup → Serial Port.";
    case EACCES:
    case EPERM:
        return device + ": permission denied. Serial devices belong to the group dialout: run "
                        "\"sudo adduser $USER dialout\", then log out and back in.";
    case EBUSY:
    case EWOULDBLOCK: {
        const std::string holder = ProgramHolding(device);
        return device + ": in use by another program" +
               (holder.empty() ? "" : " (" + holder + ")") + ". Close it, or choose another port.";
    }
    case ENOTTY:
        return device + ": not a serial device. Choose a serial device, or pty, tcp:PORT or "
                        "udp:HOST:PORT for a virtual one.";
    default:
        return device + ": " + std::strerror(error) + ".";
    }
}
