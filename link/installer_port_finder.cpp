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

bool isModem(const InstalledPort& port) {
    return port.portName && matchesModemIdentity(port.hardwareId);
}

// The part after the last backslash of a USB device's instance id, if the
// system did not make it up: generated parts always hold an '&', serial
// numbers never do.
std::optional<std::string> ownSerial(std::string_view instanceId) {
    constexpr std::string_view usb = "USB\\";
    if (instanceId.size() < usb.size() ||
        !equalsIgnoringCase(instanceId.substr(0, usb.size()), usb)) {
        return std::nullopt;  // a built-in port's "ACPI\PNP0501\1" ends in no serial number
    }
    const auto slash = instanceId.rfind('\\');
    if (slash == std::string_view::npos) {
        return std::nullopt;
    }
    const auto last = instanceId.substr(slash + 1);
    if (last.empty() || last.find('&') != std::string_view::npos) {
        return std::nullopt;
    }
    return printableDeviceText(last);
}

bool containsIgnoringCase(std::string_view text, std::string_view part) {
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
        if (equalsIgnoringCase(text.substr(at, part.size()), part)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<std::string> usbSerialNumber(std::string_view instanceId,
                                           std::string_view parentInstanceId) {
    if (auto serial = ownSerial(instanceId)) {
        return serial;
    }
    const auto slash = instanceId.rfind('\\');
    const auto hardwarePart = instanceId.substr(0, slash == std::string_view::npos ? 0 : slash);
    // Only an interface's parent is the same device; any other device's parent
    // is a hub, whose serial number is not the modem's.
    if (!containsIgnoringCase(hardwarePart, "&MI_")) {
        return std::nullopt;
    }
    return ownSerial(parentInstanceId);
}

std::vector<ModemPort> installedModems(const std::vector<InstalledPort>& installed) {
    std::vector<ModemPort> found;
    for (const InstalledPort& port : installed) {
        if (isModem(port)) {
            found.push_back({.name = *port.portName,
                             .port = *port.portName,
                             .serial = usbSerialNumber(port.instanceId, port.parentInstanceId),
                             .place = printableDeviceText(port.location)});
        }
    }
    return found;
}

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
    RestartResult restart;  // of the device taken: the last match
    const std::vector<InstalledPort> ports = m_installer->presentPorts();
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (isModem(ports[i])) {
            restart = m_installer->restart(i, *ports[i].portName);
        }
    }
    const std::vector<ModemPort> found = installedModems(ports);
    logFoundModems(pane, found);
    if (found.empty()) {
        return {};
    }
    if (!restart.restarted()) {
        pane.logLine("device restart skipped: " + restart.skippedBecause);
    }
    return found.back().name.substr(0, maxPortNameLength);
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
            info.serial = usbSerialNumber(device->instanceId, device->parentInstanceId);
            info.place = printableDeviceText(device->location);
        }
        ports.push_back(std::move(info));
    }
    std::sort(ports.begin(), ports.end(),
              [](const PortInfo& a, const PortInfo& b) { return naturalLess(a.name, b.name); });
    return ports;
}

}  // namespace modem
