#include "link/installer_port_finder.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "link/terminal_pane.h"

namespace modem {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

bool isHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// The four hexadecimal digits after `key` at `at`, or nothing.
std::optional<std::string> hexField(std::string_view id, std::size_t at, std::string_view key) {
    if (id.size() < at + key.size() + 4 || !equalsIgnoringCase(id.substr(at, key.size()), key)) {
        return std::nullopt;
    }
    const auto digits = id.substr(at + key.size(), 4);
    if (!std::all_of(digits.begin(), digits.end(), isHexDigit)) {
        return std::nullopt;
    }
    std::string text(digits);
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

InstallerPortFinder::InstallerPortFinder(std::unique_ptr<DeviceInstaller> installer)
    : m_installer(std::move(installer)) {}

std::string restartSkipReason(std::uint32_t error, std::string_view systemText) {
    constexpr std::uint32_t accessDenied = 5;         // ERROR_ACCESS_DENIED
    constexpr std::uint32_t inWow64 = 0xE0000235;     // ERROR_IN_WOW64, SetupAPI's
    constexpr std::uint32_t requiresElevation = 740;  // ERROR_ELEVATION_REQUIRED
    if (error == inWow64) {
        return "32-bit program, 64-bit Windows";
    }
    if (error == accessDenied || error == requiresElevation) {
        return "no administrator rights";
    }
    return std::string(systemText);
}

std::string InstallerPortFinder::findModemPort(TerminalPane& pane) {
    std::string portName;
    RestartResult restart;
    const std::vector<InstalledPort> ports = m_installer->presentPorts();
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const InstalledPort& port = ports[i];
        if (!port.portName || !matchesModemIdentity(port.hardwareId)) {
            continue;
        }
        restart = m_installer->restart(i, *port.portName);
        portName = port.portName->substr(0, maxPortNameLength);
    }
    if (portName.empty()) {
        pane.logLine("no device found");
        return {};
    }
    pane.logLine("device found on " + portName);
    if (!restart.restarted()) {
        pane.logLine("device restart skipped: " + restart.skippedBecause);
    }
    return portName;
}

std::vector<PortInfo> installedPortList(const std::vector<InstalledPort>& installed,
                                        const std::vector<std::string>& mappedNames) {
    std::vector<PortInfo> ports;
    const auto listed = [&ports](std::string_view name) {
        return std::any_of(ports.begin(), ports.end(),
                           [name](const PortInfo& p) { return equalsIgnoringCase(p.name, name); });
    };
    for (const std::string& name : mappedNames) {
        if (name.empty() || listed(name)) {
            continue;
        }
        PortInfo info;
        info.name = name;
        info.path = name;
        const auto device =
            std::find_if(installed.begin(), installed.end(), [&name](const InstalledPort& p) {
                return p.portName && equalsIgnoringCase(*p.portName, name);
            });
        if (device != installed.end()) {
            const std::string& id = device->hardwareId;
            constexpr std::string_view usb = "USB\\";
            if (id.size() >= usb.size() &&
                equalsIgnoringCase(std::string_view(id).substr(0, usb.size()), usb)) {
                const auto vendor = hexField(id, usb.size(), "VID_");
                const auto product = hexField(id, usb.size() + 8, "&PID_");
                if (vendor && product) {
                    info.usbVendor = *vendor;
                    info.usbProduct = *product;
                }
            }
            info.matchesModem = matchesModemIdentity(id);
        }
        ports.push_back(std::move(info));
    }
    std::sort(ports.begin(), ports.end(),
              [](const PortInfo& a, const PortInfo& b) { return naturalLess(a.name, b.name); });
    return ports;
}

}  // namespace modem
