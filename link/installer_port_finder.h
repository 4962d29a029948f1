#pragma once

// Finding the modem's port through a device installer: walk the present
// devices of the Ports class in the installer's order, take each whose first
// hardware identifier is the modem's and whose device key names a port,
// restart it, and keep the last one's name. The installer itself is behind an
// interface: SetupAPI on Windows, a fake in tests.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/discovery.h"

namespace modem {

// One present device of the Ports class as the installer lists it.
struct InstalledPort {
    std::string hardwareId;               // the first hardware identifier; empty if unreadable
    std::optional<std::string> portName;  // "PortName" of its device key; none without key or value
};

class DeviceInstaller {
public:
    virtual ~DeviceInstaller() = default;
    // The present devices of the Ports class, in the installer's order.
    [[nodiscard]] virtual std::vector<InstalledPort> presentPorts() = 0;
    // Stops and starts again device `index` of the last listing, then waits a
    // while for `portName` to come back. A failed restart goes unnoticed.
    virtual void restart(std::size_t index, std::string_view portName) = 0;
};

class InstallerPortFinder : public PortFinder {
public:
    explicit InstallerPortFinder(std::unique_ptr<DeviceInstaller> installer);

    // Restarts every match; the last in the installer's order wins, its name
    // cut to 15 characters. Logs "no device found" or "device found on <name>"
    // and returns the port name ("COM5"), empty when none was found.
    [[nodiscard]] std::string findModemPort(TerminalPane& pane) override;

private:
    std::unique_ptr<DeviceInstaller> m_installer;
};

// The port list: every installed port that has a name, then the names of
// `mappedNames` (the system's serial map, which also holds ports no installer
// lists) not seen yet; in natural name order. USB vendor and product come from
// a hardware identifier that starts "USB\VID_xxxx&PID_xxxx".
[[nodiscard]] std::vector<PortInfo> installedPortList(const std::vector<InstalledPort>& installed,
                                                      const std::vector<std::string>& mappedNames);

}  // namespace modem
