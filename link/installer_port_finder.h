#pragma once

// Finding the modem's port through a device installer: walk the present
// devices of the Ports class in the installer's order, take each whose first
// hardware identifier is the modem's and whose device key names a port,
// restart it, and keep the last one's name. The installer itself is behind an
// interface: SetupAPI on Windows, a fake in tests.

#include <cstddef>
#include <cstdint>
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

// What became of a device's restart.
struct RestartResult {
    std::string skippedBecause;  // empty once the device was restarted
    [[nodiscard]] bool restarted() const { return skippedBecause.empty(); }
};

class DeviceInstaller {
public:
    virtual ~DeviceInstaller() = default;
    // The present devices of the Ports class, in the installer's order.
    [[nodiscard]] virtual std::vector<InstalledPort> presentPorts() = 0;
    // Stops and starts again device `index` of the last listing, then waits a
    // while for `portName` to come back.
    [[nodiscard]] virtual RestartResult restart(std::size_t index, std::string_view portName) = 0;
};

// Why the installer refused a restart, for the pane: the two refusals every
// operator meets in words short enough for the pane's 57 columns after
// "device restart skipped: ", any other as `systemText`.
[[nodiscard]] std::string restartSkipReason(std::uint32_t error, std::string_view systemText);

class InstallerPortFinder : public PortFinder {
public:
    explicit InstallerPortFinder(std::unique_ptr<DeviceInstaller> installer);

    // Restarts every match; the last in the installer's order wins, its name
    // cut to 15 characters. Logs "no device found" or "device found on <name>"
    // and returns the port name ("COM5"), empty when none was found. When the
    // installer would not restart the device taken, a second line says so and
    // why: the port is opened as it is.
    [[nodiscard]] std::string findModemPort(TerminalPane& pane) override;

private:
    std::unique_ptr<DeviceInstaller> m_installer;
};

// The port list: the names of `mappedNames`, the system's serial map, which
// holds every serial port whose driver has started (the Ports class also holds
// printer ports, and ports that cannot be opened), once each in natural name
// order. USB vendor and product come from the installed port of the same name,
// when its hardware identifier starts "USB\VID_xxxx&PID_xxxx".
[[nodiscard]] std::vector<PortInfo> installedPortList(const std::vector<InstalledPort>& installed,
                                                      const std::vector<std::string>& mappedNames);

}  // namespace modem
