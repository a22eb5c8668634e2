#include "line/PosixSerialDevice.h"

#include "line/TcpServerEndpoint.h"
#include "line/TtyEndpoint.h"
#include "line/UdpEndpoint.h"
#include "line/VirtualPorts.h"

PosixSerialDevice::PosixSerialDevice(PathResolver r, std::filesystem::path links)
    : resolver(std::move(r)), linkDirectory(std::move(links)) {}

PosixSerialDevice::~PosixSerialDevice() {
    std::lock_guard lock(mutex);
    ports.clear();
    ptys.clear(); // withdraws the links
}

PortHandle PosixSerialDevice::open(const std::string& name) {
    return openDevice(name, resolver ? resolver(name) : name);
}

std::shared_ptr<Endpoint> PosixSerialDevice::openPty(const std::string& name) {
    std::lock_guard lock(mutex);
    if (const auto it = ptys.find(name); it != ptys.end())
        return it->second;
    std::string key = name;
    if (!key.empty() && key.back() == ':')
        key.pop_back();
    std::shared_ptr<Endpoint> pty = PtyEndpoint::open(linkDirectory, key, failure);
    if (pty)
        ptys.emplace(name, pty);
    return pty;
}

PortHandle PosixSerialDevice::openDevice(const std::string& name, const std::string& device) {
    failure.clear();
    std::shared_ptr<Endpoint> endpoint;
    switch (VirtualKindOf(device)) {
    case VirtualKind::None:
        endpoint = TtyEndpoint::open(device, failure);
        break;
    case VirtualKind::Pty:
        endpoint = openPty(name);
        break;
    case VirtualKind::Tcp:
        endpoint = TcpServerEndpoint::open(device, failure);
        break;
    case VirtualKind::Udp:
        endpoint = UdpEndpoint::open(device, failure);
        break;
    }
    if (!endpoint)
        return InvalidPort;
    std::lock_guard lock(mutex);
    const PortHandle h = nextHandle++;
    ports.emplace(h, Port{std::move(endpoint), {}});
    return h;
}

std::shared_ptr<Endpoint> PosixSerialDevice::find(PortHandle h) const {
    std::lock_guard lock(mutex);
    const auto it = ports.find(h);
    return it == ports.end() ? nullptr : it->second.endpoint;
}

std::string PosixSerialDevice::openFailure() const { return failure; }

bool PosixSerialDevice::getLineState(PortHandle h, LineState& out) {
    const auto endpoint = find(h);
    return endpoint && endpoint->getLineState(out);
}

bool PosixSerialDevice::setLineState(PortHandle h, const LineState& state) {
    const auto endpoint = find(h);
    return endpoint && endpoint->setLineState(state);
}

bool PosixSerialDevice::getTimeouts(PortHandle h, Timeouts& out) {
    std::lock_guard lock(mutex);
    const auto it = ports.find(h);
    if (it == ports.end())
        return false;
    out = it->second.timeouts;
    return true;
}

bool PosixSerialDevice::setTimeouts(PortHandle h, const Timeouts& t) {
    std::lock_guard lock(mutex);
    const auto it = ports.find(h);
    if (it == ports.end())
        return false;
    it->second.timeouts = t;
    return true;
}

bool PosixSerialDevice::lineControl(PortHandle h, LineControl fn) {
    const auto endpoint = find(h);
    return endpoint && endpoint->lineControl(fn);
}

bool PosixSerialDevice::write(PortHandle h, const std::uint8_t* data, std::size_t count) {
    if (stop.raised())
        return false;
    std::shared_ptr<Endpoint> endpoint;
    Timeouts t;
    {
        std::lock_guard lock(mutex);
        const auto it = ports.find(h);
        if (it == ports.end())
            return false;
        endpoint = it->second.endpoint;
        t = it->second.timeouts;
    }
    return endpoint->write(data, count, t, stop);
}

void PosixSerialDevice::interrupt() { stop.raise(); }

bool PosixSerialDevice::lost(PortHandle h) const {
    const auto endpoint = find(h);
    return endpoint && endpoint->lost();
}

bool PosixSerialDevice::reopen(PortHandle h) {
    const auto endpoint = find(h);
    return endpoint && endpoint->reopen();
}

std::string PosixSerialDevice::describe(PortHandle h) const {
    const auto endpoint = find(h);
    return endpoint ? endpoint->describe() : std::string();
}

bool PosixSerialDevice::close(PortHandle h) {
    std::shared_ptr<Endpoint> endpoint;
    {
        std::lock_guard lock(mutex);
        const auto it = ports.find(h);
        if (it == ports.end())
            return false;
        endpoint = std::move(it->second.endpoint);
        ports.erase(it);
    }
    return endpoint->close();
}
