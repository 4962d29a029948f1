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
    std::string instanceId{};             // "USB\VID_1FC9&PID_2909\A0012"; empty if unreadable
    std::string parentInstanceId{};       // the device above it (a composite device's interfaces
                                          // have one that holds the serial number); may be empty
    std::string location{};  // the first location path, else the location information; may be empty
};

// The USB serial number behind a device instance id: its last part, unless
// the system made that part up ("6&1A2B3C4D&0&0000", for a device without a
// serial number), in which case an interface of a composite device ("&MI_nn")
// takes its parent's. None when neither carries one.
[[nodiscard]] std::optional<std::string> usbSerialNumber(std::string_view instanceId,
                                                         std::string_view parentInstanceId);

// The modems among `installed`, in the installer's order: first identifier
// the modem's and a port name to open.
[[nodiscard]] std::vector<ModemPort> installedModems(const std::vector<InstalledPort>& installed);

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
    // cut to 15 characters. Logs as logFoundModems() does and returns the
    // port name ("COM5"), empty when none was found. When the installer would
    // not restart the device taken, a further line says so and why: the port
    // is opened as it is.
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
