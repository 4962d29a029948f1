#pragma once

// Finding the modem's serial port before every connect. The system finder
// walks the kernel's tty devices in sysfs, recognises the modem by the USB
// identifiers of the device above each tty, and restarts every match; the
// fixed finder stands for a port named on the command line.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/link.h"

namespace modem {

inline constexpr std::uint16_t modemVendorId = 0x1FC9;
inline constexpr std::uint16_t modemProductId = 0x2909;
inline constexpr std::size_t maxPortNameLength = 15;  // characters

// "USB\VID_1FC9&PID_2909": what a device's identifiers are compared with.
[[nodiscard]] std::string modemIdentity();

// Whether a device's first hardware identifier starts with the modem's
// identity, letters compared without case: one that goes on after it matches,
// a shorter one does not.
[[nodiscard]] bool matchesModemIdentity(std::string_view hardwareId);

// One modem present, with what tells it apart from its twins of the same
// identifiers: its USB serial number and where it sits on the bus.
struct ModemPort {
    std::string name;                   // "ttyACM0"; on Windows the port name, "COM5"
    std::string port;                   // what to open: "/dev/ttyACM0"; on Windows "COM5"
    std::optional<std::string> serial;  // USB serial number; none when the device has none
    std::string place;                  // "1-1.3": bus, then the hub ports down to the device; on
                                        // Windows the location path; empty when unknown
    bool operator==(const ModemPort&) const = default;
};

// Every modem present, in the order of the walk that connects (the last one
// is the one the dialog takes). Nothing is restarted. On Windows the device
// installer's walk; the two roots are not used there.
[[nodiscard]] std::vector<ModemPort> findModems(const std::filesystem::path& sysfsRoot = "/sys",
                                                const std::filesystem::path& devRoot = "/dev");

// The pane's account of a connect's search, the last modem taken: "no device
// found", or "device found on <name>" with the name cut to 15 characters;
// when several were found, a line before it says how many and which one,
// with its serial number and place ("3 devices found; using ttyACM2: serial
// 0A17, at 1-1.3"; a place too long for that line on a line of its own).
void logFoundModems(TerminalPane& pane, const std::vector<ModemPort>& found);

// Text a device reports about itself (a serial number, a location) made safe
// to show and to print as JSON: every byte outside printable ASCII becomes '?'.
[[nodiscard]] std::string printableDeviceText(std::string_view text);

// A USB device as the kernel numbers it on its bus.
struct UsbAddress {
    unsigned bus = 0;     // busnum
    unsigned device = 0;  // devnum
};

// Restarts a USB device; behind an interface so tests can count restarts.
class UsbResetter {
public:
    virtual ~UsbResetter() = default;
    // `portName` is the tty the device carries, to wait for its return. The
    // outcome is not reported: a failed restart goes unnoticed.
    virtual void restart(const UsbAddress& address, std::string_view portName) = 0;
};

// Resets through usbfs (<devRoot>/bus/usb/BBB/DDD), then waits up to
// `nodeWait` for <devRoot>/<portName> to exist again.
class SystemUsbResetter : public UsbResetter {
public:
    explicit SystemUsbResetter(std::filesystem::path devRoot = "/dev",
                               std::chrono::milliseconds nodeWait = std::chrono::seconds(3));
    void restart(const UsbAddress& address, std::string_view portName) override;

private:
    std::filesystem::path m_devRoot;
    std::chrono::milliseconds m_nodeWait;
};

class SysfsPortFinder : public PortFinder {
public:
    // A null `resetter` means the system's, on `devRoot`.
    explicit SysfsPortFinder(std::filesystem::path sysfsRoot = "/sys",
                             std::filesystem::path devRoot = "/dev",
                             std::unique_ptr<UsbResetter> resetter = nullptr);

    // Restarts every matching device; the last in natural name order wins.
    // Logs "no device found" or "device found on <name>".
    [[nodiscard]] std::string findModemPort(TerminalPane& pane) override;

private:
    std::filesystem::path m_sysfsRoot;
    std::filesystem::path m_devRoot;
    std::unique_ptr<UsbResetter> m_resetter;
};

// A port given by the operator (modemctl --port): no search, no restart.
class FixedPortFinder : public PortFinder {
public:
    explicit FixedPortFinder(std::string path) : m_path(std::move(path)) {}
    // Logs "device found on <path>" and returns the path.
    [[nodiscard]] std::string findModemPort(TerminalPane& pane) override;

private:
    std::string m_path;
};

// The finder of the system this program runs on: the sysfs walk on Linux, the
// device installer's walk on Windows. `sysfsRoot` matters to the former only.
[[nodiscard]] std::unique_ptr<PortFinder> makeSystemPortFinder(
    const std::filesystem::path& sysfsRoot = "/sys");

struct PortInfo {
    std::string name;        // kernel name, e.g. "ttyACM0"; on Windows the port name, "COM5"
    std::string path;        // "/dev/" + device node name; on Windows the port name again
    std::string usbVendor;   // hexadecimal as the kernel shows it; empty without a USB device
    std::string usbProduct;  // likewise
    std::optional<std::string> serial;  // USB serial number, as in ModemPort
    std::string place;                  // as in ModemPort; empty without a USB device
    bool matchesModem = false;
};

// Every tty backed by a device (virtual consoles and pseudo-terminals left
// out), in natural name order. On Windows: the device installer's ports and
// those of the system's serial map; `sysfsRoot` is not used there.
[[nodiscard]] std::vector<PortInfo> listSerialPorts(
    const std::filesystem::path& sysfsRoot = "/sys");

// Orders names so that digit runs compare by value: ttyACM2 before ttyACM10.
[[nodiscard]] bool naturalLess(std::string_view a, std::string_view b);

}  // namespace modem
