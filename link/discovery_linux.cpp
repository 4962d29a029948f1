#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <optional>
#include <system_error>
#include <thread>

#include "link/discovery.h"

namespace modem {
namespace fs = std::filesystem;

namespace {

struct UsbIdentity {
    std::string vendor;   // as read, e.g. "1fc9"
    std::string product;  // as read
    UsbAddress address;
    std::optional<std::string> serial;  // "serial", made printable; none if absent or empty
    std::string place;                  // "busnum-devpath", e.g. "1-1.3"
};

struct TtyDevice {
    std::string kernelName;  // directory name under class/tty
    std::string nodeName;    // DEVNAME from uevent: the name under /dev; may be empty
    std::optional<UsbIdentity> usb;
};

std::string trim(std::string text) {
    const auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    text.erase(text.begin(), std::find_if(text.begin(), text.end(), notSpace));
    text.erase(std::find_if(text.rbegin(), text.rend(), notSpace).base(), text.end());
    return text;
}

std::optional<std::string> readAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) {
        return std::nullopt;
    }
    return trim(line);
}

unsigned readNumber(const fs::path& file) {
    const auto text = readAttribute(file);
    if (!text) {
        return 0;
    }
    unsigned value = 0;
    for (char c : *text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

std::string readNodeName(const fs::path& ueventFile) {
    std::ifstream in(ueventFile);
    std::string line;
    constexpr std::string_view key = "DEVNAME=";
    while (std::getline(in, line)) {
        if (line.starts_with(key)) {
            return trim(line.substr(key.size()));
        }
    }
    return {};
}

bool isWithin(const fs::path& p, const fs::path& root) {
    auto [rootEnd, pEnd] = std::mismatch(root.begin(), root.end(), p.begin(), p.end());
    return rootEnd == root.end();
}

// Climbs from the tty's device (a USB interface, for the modem) to the first
// ancestor that carries the USB identifiers, never leaving the sysfs root.
std::optional<UsbIdentity> findUsbDevice(const fs::path& deviceLink, const fs::path& root) {
    std::error_code ec;
    const fs::path canonicalRoot = fs::canonical(root, ec);
    if (ec) {
        return std::nullopt;
    }
    fs::path p = fs::canonical(deviceLink, ec);
    if (ec) {
        return std::nullopt;
    }
    while (isWithin(p, canonicalRoot) && p != canonicalRoot) {
        if (fs::exists(p / "idVendor", ec) && fs::exists(p / "idProduct", ec)) {
            UsbIdentity id;
            id.vendor = readAttribute(p / "idVendor").value_or("");
            id.product = readAttribute(p / "idProduct").value_or("");
            id.address = {readNumber(p / "busnum"), readNumber(p / "devnum")};
            if (auto serial = readAttribute(p / "serial"); serial && !serial->empty()) {
                id.serial = printableDeviceText(*serial);
            }
            // The kernel names a USB device by the same two parts; its number
            // changes on every re-plug, its place does not.
            const auto devpath = readAttribute(p / "devpath");
            id.place = printableDeviceText(devpath ? std::to_string(id.address.bus) + "-" + *devpath
                                                   : p.filename().string());
            return id;
        }
        p = p.parent_path();
    }
    return std::nullopt;
}

// The ttys backed by a device, in natural name order so that the last match is
// the same one on every run.
std::vector<TtyDevice> scanTtys(const fs::path& sysfsRoot) {
    std::vector<TtyDevice> ttys;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(sysfsRoot / "class" / "tty", ec)) {
        const fs::path deviceLink = entry.path() / "device";
        if (!fs::exists(deviceLink, ec)) {
            continue;  // virtual consoles and pseudo-terminals
        }
        TtyDevice tty;
        tty.kernelName = entry.path().filename().string();
        tty.nodeName = readNodeName(entry.path() / "uevent");
        tty.usb = findUsbDevice(deviceLink, sysfsRoot);
        ttys.push_back(std::move(tty));
    }
    std::sort(ttys.begin(), ttys.end(), [](const TtyDevice& a, const TtyDevice& b) {
        return naturalLess(a.kernelName, b.kernelName);
    });
    return ttys;
}

// The identity is built the way the device installer spells a USB device's
// first hardware identifier, so both platforms compare the same text.
bool matchesModem(const UsbIdentity& usb) {
    return matchesModemIdentity("USB\\VID_" + usb.vendor + "&PID_" + usb.product);
}

// A tty the dialog could take: the modem's identifiers and a node to open.
bool isModem(const TtyDevice& tty) {
    return tty.usb && matchesModem(*tty.usb) && !tty.nodeName.empty();
}

ModemPort modemPort(const TtyDevice& tty, const fs::path& devRoot) {
    return {.name = tty.nodeName,
            .port = (devRoot / tty.nodeName).string(),
            .serial = tty.usb->serial,
            .place = tty.usb->place};
}

}  // namespace

SystemUsbResetter::SystemUsbResetter(fs::path devRoot, std::chrono::milliseconds nodeWait)
    : m_devRoot(std::move(devRoot)), m_nodeWait(nodeWait) {}

void SystemUsbResetter::restart(const UsbAddress& address, std::string_view portName) {
    char relative[32];
    std::snprintf(relative, sizeof relative, "bus/usb/%03u/%03u", address.bus, address.device);
    const fs::path usbNode = m_devRoot / relative;
    const int fd = ::open(usbNode.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    const int reset = ::ioctl(fd, USBDEVFS_RESET, 0);
    ::close(fd);
    if (reset != 0 || portName.empty()) {
        return;
    }
    // A driver without reset hooks is unbound and bound again, and its tty
    // node comes back a moment later; opening before that would fail.
    const fs::path ttyNode = m_devRoot / fs::path(std::string(portName));
    const auto until = std::chrono::steady_clock::now() + m_nodeWait;
    std::error_code ec;
    while (!fs::exists(ttyNode, ec) && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

SysfsPortFinder::SysfsPortFinder(fs::path sysfsRoot, fs::path devRoot,
                                 std::unique_ptr<UsbResetter> resetter)
    : m_sysfsRoot(std::move(sysfsRoot)),
      m_devRoot(std::move(devRoot)),
      m_resetter(resetter ? std::move(resetter) : std::make_unique<SystemUsbResetter>(m_devRoot)) {}

std::string SysfsPortFinder::findModemPort(TerminalPane& pane) {
    std::vector<ModemPort> found;
    for (const auto& tty : scanTtys(m_sysfsRoot)) {
        if (!isModem(tty)) {
            continue;
        }
        m_resetter->restart(tty.usb->address, tty.nodeName);
        found.push_back(modemPort(tty, m_devRoot));
    }
    logFoundModems(pane, found);
    if (found.empty()) {
        return {};
    }
    return (m_devRoot / found.back().name.substr(0, maxPortNameLength)).string();
}

std::vector<ModemPort> findModems(const fs::path& sysfsRoot, const fs::path& devRoot) {
    std::vector<ModemPort> found;
    for (const auto& tty : scanTtys(sysfsRoot)) {
        if (isModem(tty)) {
            found.push_back(modemPort(tty, devRoot));
        }
    }
    return found;
}

std::unique_ptr<PortFinder> makeSystemPortFinder(const fs::path& sysfsRoot) {
    return std::make_unique<SysfsPortFinder>(sysfsRoot);
}

std::vector<PortInfo> listSerialPorts(const fs::path& sysfsRoot) {
    std::vector<PortInfo> ports;
    for (const auto& tty : scanTtys(sysfsRoot)) {
        PortInfo info;
        info.name = tty.kernelName;
        info.path = "/dev/" + (tty.nodeName.empty() ? tty.kernelName : tty.nodeName);
        if (tty.usb) {
            info.usbVendor = tty.usb->vendor;
            info.usbProduct = tty.usb->product;
            info.serial = tty.usb->serial;
            info.place = tty.usb->place;
            info.matchesModem = matchesModem(*tty.usb);
        }
        ports.push_back(std::move(info));
    }
    return ports;
}

}  // namespace modem
