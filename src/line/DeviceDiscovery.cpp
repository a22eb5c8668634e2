#include "line/DeviceDiscovery.h"

#include <algorithm>
#include <deque>
#include <fstream>
#include <map>
#include <optional>
#include <string_view>

namespace fs = std::filesystem;

namespace {

// Paths handled here are relative to root, so the rules never see where root itself lies (a
// test's temporary directory) and ".." cannot leave it.

// Follows links one component at a time as the kernel would with root as "/": absolute targets
// start again at root and ".." stops there. nullopt on a link loop or an unreadable link.
std::optional<fs::path> Resolve(const fs::path& root, const fs::path& rel) {
    std::deque<fs::path> pending(rel.begin(), rel.end());
    fs::path resolved;
    int links = 0;
    while (!pending.empty()) {
        const fs::path part = pending.front();
        pending.pop_front();
        if (part.empty() || part == "." || part == "/")
            continue;
        if (part == "..") {
            resolved = resolved.parent_path();
            continue;
        }
        fs::path next = resolved / part;
        std::error_code ec;
        if (!fs::is_symlink(root / next, ec)) {
            resolved = std::move(next);
            continue;
        }
        if (++links > 40) // the kernel's own limit
            return std::nullopt;
        const fs::path target = fs::read_symlink(root / next, ec);
        if (ec)
            return std::nullopt;
        if (target.is_absolute())
            resolved.clear();
        pending.insert(pending.begin(), target.begin(), target.end());
    }
    return resolved;
}

// sysfs attributes are one line; some strings carry trailing blanks.
std::string ReadLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line))
        return {};
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
        line.pop_back();
    return line;
}

std::string DriverName(const fs::path& root, const fs::path& dir) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(root / dir / "driver", ec);
    return ec ? std::string() : target.filename().string();
}

// The serial8250 driver registers ttyS0..ttyS(nr_uarts-1) whether or not a UART is there. So a
// ttyS counts when another driver (8250_pnp, 8250_pci, a SoC UART driver) owns it, or, when it
// hangs below the serial8250 platform device, only if the serial core detected a UART (its
// `type` is not 0, PORT_UNKNOWN) — that keeps legacy ports the firmware did not announce. The
// walk up is needed because newer kernels put serial-base "port" and "ctrl" devices between the
// tty and its driver.
bool BackedByHardware(const fs::path& root, const fs::path& ttyDir, const fs::path& device) {
    for (fs::path dir = device; !dir.empty(); dir = dir.parent_path()) {
        if (DriverName(root, dir) == "serial8250") {
            const std::string type = ReadLine(root / ttyDir / "type");
            return !type.empty() && type != "0";
        }
    }
    return true;
}

// The USB device is the first directory above the tty's device with an idVendor: the interface's
// parent for ttyACM, one level further for ttyUSB.
void ReadUsbDetails(const fs::path& root, const fs::path& device, SerialDeviceInfo& info) {
    for (fs::path dir = device; !dir.empty(); dir = dir.parent_path()) {
        std::error_code ec;
        if (!fs::exists(root / dir / "idVendor", ec))
            continue;
        const fs::path usb = root / dir;
        info.vendorId = ReadLine(usb / "idVendor");
        info.productId = ReadLine(usb / "idProduct");
        info.manufacturer = ReadLine(usb / "manufacturer");
        info.product = ReadLine(usb / "product");
        info.serial = ReadLine(usb / "serial");
        return;
    }
}

// Device node (relative to root) -> the first by-id link name that resolves to it.
std::map<fs::path, std::string> ByIdLinks(const fs::path& root) {
    const fs::path dir = "dev/serial/by-id";
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(root / dir, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end()); // several links to one device: pick the same each time
    std::map<fs::path, std::string> links;
    for (const auto& name : names) {
        if (auto target = Resolve(root, dir / name))
            links.emplace(std::move(*target), name);
    }
    return links;
}

// 0 ttyUSB, 1 ttyACM, 2 ttyS, -1 not a serial device we offer.
int Group(std::string_view name) {
    if (name.starts_with("ttyUSB"))
        return 0;
    if (name.starts_with("ttyACM"))
        return 1;
    if (name.starts_with("ttyS"))
        return 2;
    return -1;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digit runs compare as numbers, so ttyS2 comes before ttyS10.
bool NaturalLess(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            std::size_t iEnd = i, jEnd = j;
            while (iEnd < a.size() && IsDigit(a[iEnd]))
                ++iEnd;
            while (jEnd < b.size() && IsDigit(b[jEnd]))
                ++jEnd;
            std::string_view x = a.substr(i, iEnd - i), y = b.substr(j, jEnd - j);
            while (x.size() > 1 && x.front() == '0')
                x.remove_prefix(1);
            while (y.size() > 1 && y.front() == '0')
                y.remove_prefix(1);
            if (x.size() != y.size())
                return x.size() < y.size();
            if (x != y)
                return x < y;
            i = iEnd;
            j = jEnd;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    return a < b; // ttyS01 and ttyS1 still need an order
}

} // namespace

std::string SerialDeviceInfo::description() const {
    std::string name = manufacturer;
    if (!product.empty())
        name += (name.empty() ? "" : " ") + product;
    if (name.empty())
        name =
            vendorId.empty() && Group(kernelName) == 2 ? "built-in serial port" : "USB serial port";
    std::string ids;
    if (!vendorId.empty())
        ids =
            " (" + vendorId + ":" + productId + (serial.empty() ? "" : ", serial " + serial) + ")";
    return "/dev/" + kernelName + " — " + name + ids;
}

std::vector<SerialDeviceInfo> DiscoverSerialDevices(const fs::path& root) {
    const fs::path classDir = "sys/class/tty";
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(root / classDir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (Group(name) >= 0)
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int ga = Group(a), gb = Group(b);
        return ga != gb ? ga < gb : NaturalLess(a, b);
    });

    const auto byId = ByIdLinks(root);
    std::vector<SerialDeviceInfo> found;
    for (const auto& name : names) {
        const auto ttyDir = Resolve(root, classDir / name);
        if (!ttyDir)
            continue;
        // Only a tty with a `device` link stands for hardware; virtual ones have none.
        const auto device = Resolve(root, *ttyDir / "device");
        std::error_code dirEc;
        if (!device || !fs::is_directory(root / *device, dirEc))
            continue;
        if (Group(name) == 2 && !BackedByHardware(root, *ttyDir, *device))
            continue;

        SerialDeviceInfo info;
        info.kernelName = name;
        info.path = "/dev/" + name;
        const auto node = Resolve(root, fs::path("dev") / name);
        std::error_code nodeEc;
        if (node && fs::exists(root / *node, nodeEc)) {
            if (auto link = byId.find(*node); link != byId.end())
                info.path = "/dev/serial/by-id/" + link->second;
        }
        ReadUsbDetails(root, *device, info);
        found.push_back(std::move(info));
    }
    return found;
}
