// The device installer's walk, on a fake installer: which devices match, that
// every match is restarted, that the last one wins, what the pane says of a
// refused restart, and the port list built on the system's serial map.

#include "link/installer_port_finder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/terminal_pane.h"

namespace modem {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct Restart {
    std::size_t index;
    std::string port;
    bool operator==(const Restart&) const = default;
};

class FakeInstaller : public DeviceInstaller {
public:
    FakeInstaller(std::vector<InstalledPort> ports, std::vector<Restart>& restarts,
                  std::vector<std::string> refusals)
        : m_ports(std::move(ports)), m_restarts(restarts), m_refusals(std::move(refusals)) {}
    std::vector<InstalledPort> presentPorts() override { return m_ports; }
    RestartResult restart(std::size_t index, std::string_view port) override {
        m_restarts.push_back({index, std::string(port)});
        const std::size_t n = m_restarts.size() - 1;
        return {n < m_refusals.size() ? m_refusals[n] : std::string()};
    }

private:
    std::vector<InstalledPort> m_ports;
    std::vector<Restart>& m_restarts;
    std::vector<std::string> m_refusals;  // why the n-th restart is refused; empty: done
};

struct FindOutcome {
    std::string port;
    std::string pane;
    std::vector<Restart> restarts;
};

FindOutcome find(std::vector<InstalledPort> ports, std::vector<std::string> refusals = {}) {
    FindOutcome out;
    InstallerPortFinder finder(
        std::make_unique<FakeInstaller>(std::move(ports), out.restarts, std::move(refusals)));
    TerminalPane pane;
    out.port = finder.findModemPort(pane);
    out.pane = pane.snapshot();
    return out;
}

const std::string modemId = "USB\\VID_1FC9&PID_2909&REV_0100";

TEST(InstallerPortFinder, TakesADeviceOnlyWhenItsFirstIdentifierStartsWithTheModems) {
    struct Case {
        std::string hardwareId;
        bool matches;
    };
    const Case cases[] = {
        {"USB\\VID_1FC9&PID_2909", true},            // exactly the identity
        {"USB\\VID_1FC9&PID_2909&REV_0100", true},   // goes on after it
        {"usb\\vid_1fc9&pid_2909&rev_0100", true},   // letters in either case
        {"USB\\VID_1fC9&PID_2909&MI_00", true},      // mixed case
        {"USB\\VID_1FC9&PID_290", false},            // one character short
        {"USB\\VID_1FC9&PID_2908", false},           // another product
        {"USB\\VID_0403&PID_6001&REV_0600", false},  // another vendor
        {"FTDIBUS\\VID_1FC9+PID_2909", false},       // another bus's spelling
        {"ACPI\\PNP0501", false},                    // a built-in port
        {"", false},                                 // identifiers not readable
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hardwareId);
        const auto out = find({{c.hardwareId, "COM7"}});
        if (c.matches) {
            EXPECT_EQ(out.port, "COM7");
            EXPECT_EQ(out.pane, "device found on COM7\r\n");
            EXPECT_THAT(out.restarts, ElementsAre(Restart{0, "COM7"}));
        } else {
            EXPECT_EQ(out.port, "");
            EXPECT_EQ(out.pane, "no device found\r\n");
            EXPECT_THAT(out.restarts, IsEmpty());
        }
    }
}

TEST(InstallerPortFinder, RestartsEveryMatchInListOrderAndTakesTheLast) {
    const auto out = find({
        {modemId, "COM12"},
        {"ACPI\\PNP0501", "COM1"},
        {modemId, "COM3"},
    });
    EXPECT_EQ(out.port, "COM3");  // list order, not name order
    EXPECT_EQ(out.pane, "2 devices found; using COM3: no serial\r\ndevice found on COM3\r\n");
    EXPECT_THAT(out.restarts, ElementsAre(Restart{0, "COM12"}, Restart{2, "COM3"}));
}

TEST(InstallerPortFinder, DeviceWithoutPortNameIsNeitherRestartedNorTaken) {
    const auto out = find({{modemId, "COM4"}, {modemId, std::nullopt}});
    EXPECT_EQ(out.port, "COM4");
    EXPECT_THAT(out.restarts, ElementsAre(Restart{0, "COM4"}));

    const auto none = find({{modemId, std::nullopt}});
    EXPECT_EQ(none.pane, "no device found\r\n");
    EXPECT_THAT(none.restarts, IsEmpty());
}

TEST(InstallerPortFinder, PortNameIsCutTo15Characters) {
    const auto out = find({{modemId, "COM1234567890123456"}});
    EXPECT_EQ(out.port, "COM123456789012");
    EXPECT_EQ(out.pane, "device found on COM123456789012\r\n");
    // The restart waits for the whole name to come back.
    EXPECT_THAT(out.restarts, ElementsAre(Restart{0, "COM1234567890123456"}));
}

TEST(InstallerPortFinder, ARefusedRestartOfThePortTakenIsNamedAfterTheFoundLine) {
    struct Case {
        const char* name;
        std::vector<std::string> refusals;  // per restart, in list order
        std::string pane;
    };
    // Two modems, so the count line comes first.
    const std::string found =
        "2 devices found; using COM3: no serial\r\n"
        "device found on COM3\r\n";
    const Case cases[] = {
        {"the taken device's refused",
         {"", "no administrator rights"},
         found + "device restart skipped: no administrator rights\r\n"},
        {"only an earlier device's refused", {"refused"}, found},
        {"all done", {}, found},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto out = find({{modemId, "COM12"}, {modemId, "COM3"}}, c.refusals);
        EXPECT_EQ(out.port, "COM3");  // opened as it is
        EXPECT_EQ(out.pane, c.pane);
        EXPECT_EQ(out.restarts.size(), 2u);
    }
}

TEST(InstallerPortFinder, TheInstallersRefusalsReadAsTheirCauses) {
    struct Case {
        std::uint32_t error;
        std::string reason;
    };
    const Case cases[] = {
        {0xE0000235, "32-bit program, 64-bit Windows"},               // in WOW64
        {5, "no administrator rights"},                               // access denied
        {740, "no administrator rights"},                             // elevation required
        {0xE000020E, "SetupDiCallClassInstaller: error 0xE000020E"},  // any other: as given
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_EQ(restartSkipReason(c.error, "SetupDiCallClassInstaller: error 0xE000020E"),
                  c.reason);
    }
}

TEST(InstallerPortFinder, NoDevicesLogsNoDeviceFound) {
    const auto out = find({});
    EXPECT_EQ(out.port, "");
    EXPECT_EQ(out.pane, "no device found\r\n");
}

// A modem as the installer lists it: its instance id ends in its serial number.
InstalledPort modem(const std::string& port, const std::string& serialPart,
                    const std::string& location) {
    return {.hardwareId = modemId,
            .portName = port,
            .instanceId = "USB\\VID_1FC9&PID_2909\\" + serialPart,
            .parentInstanceId = "USB\\ROOT_HUB30\\4&1C2A3B4D&0&0",
            .location = location};
}

TEST(UsbSerialNumber, IsTheInstanceIdsLastPartUnlessTheSystemMadeItUp) {
    struct Case {
        const char* instanceId;
        const char* parentInstanceId;
        std::optional<std::string> serial;
    };
    const Case cases[] = {
        {"USB\\VID_1FC9&PID_2909\\0001A23", "USB\\ROOT_HUB30\\4&1&0&0", "0001A23"},
        {"usb\\vid_1fc9&pid_2909\\abc", "", "abc"},
        // No serial number: the system's own "5&...", never the hub's above it.
        {"USB\\VID_1FC9&PID_2909\\5&2F1A&0&3", "USB\\VID_0424&PID_2514\\HUB77", std::nullopt},
        // An interface of a composite device: the serial number is its parent's.
        {"USB\\VID_1FC9&PID_2909&MI_00\\6&3B2A&0&0000", "USB\\VID_1FC9&PID_2909\\SN9", "SN9"},
        {"usb\\vid_1fc9&pid_2909&mi_00\\6&3B2A&0&0000", "USB\\VID_1FC9&PID_2909\\SN9", "SN9"},
        {"USB\\VID_1FC9&PID_2909&MI_00\\6&3B2A&0&0000", "USB\\VID_1FC9&PID_2909\\5&9&0&1",
         std::nullopt},
        // Not a USB device: a built-in port's "1" is no serial number.
        {"ACPI\\PNP0501\\1", "ACPI\\PNP0A08\\0", std::nullopt},
        {"FTDIBUS\\VID_0403+PID_6001+A1B2\\0000", "USB\\VID_0403&PID_6001\\A1B2", std::nullopt},
        {"", "", std::nullopt},
        {"USB\\VID_1FC9&PID_2909\\", "", std::nullopt},
        {"USB\\VID_1FC9&PID_2909\\S\x01N\xc9", "", "S?N?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.instanceId);
        EXPECT_EQ(usbSerialNumber(c.instanceId, c.parentInstanceId), c.serial);
    }
}

TEST(InstallerPortFinder, SeveralModemsAreAllRestartedAndThePaneSaysWhichOneItUses) {
    InstalledPort interfaceOnly = modem("COM3", "", "");
    interfaceOnly.hardwareId = "USB\\VID_1FC9&PID_2909&MI_00";
    interfaceOnly.instanceId = "USB\\VID_1FC9&PID_2909&MI_00\\6&3B2A&0&0000";
    interfaceOnly.parentInstanceId = "USB\\VID_1FC9&PID_2909\\5&1&0&2";
    const std::vector<InstalledPort> ports{
        modem("COM12", "A12", "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)"),
        {"ACPI\\PNP0501", "COM1", "ACPI\\PNP0501\\1", "", ""},
        modem("COM7", "A07", "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)"),
        interfaceOnly,
    };
    EXPECT_THAT(
        installedModems(ports),
        ElementsAre(ModemPort{"COM12", "COM12", "A12", "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)"},
                    ModemPort{"COM7", "COM7", "A07", "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)"},
                    ModemPort{"COM3", "COM3", std::nullopt, ""}));

    const auto out = find(ports);
    EXPECT_THAT(out.restarts,
                ElementsAre(Restart{0, "COM12"}, Restart{2, "COM7"}, Restart{3, "COM3"}));
    EXPECT_EQ(out.port, "COM3");
    EXPECT_EQ(out.pane, "3 devices found; using COM3: no serial\r\ndevice found on COM3\r\n");

    const auto two = find({ports[0], ports[2]});
    EXPECT_EQ(two.pane,
              "2 devices found; using COM7: serial A07\r\n"
              "COM7 at PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)\r\n"
              "device found on COM7\r\n");
}

TEST(InstalledPortList, CarriesEachUsbPortsSerialNumberAndPlace) {
    const auto ports = installedPortList({modem("COM12", "A12", "PCIROOT(0)#USB(1)"),
                                          modem("COM4", "5&1&0&2", "Port_#0002.Hub_#0001"),
                                          {"ACPI\\PNP0501", "COM1", "ACPI\\PNP0501\\1", "", ""}},
                                         {"COM1", "COM4", "COM12", "COM40"});
    std::vector<std::string> shown;
    for (const PortInfo& p : ports) {
        shown.push_back(p.name + " " + p.serial.value_or("-") + " " + p.place);
    }
    EXPECT_THAT(shown, ::testing::UnorderedElementsAre("COM1 - ", "COM4 - Port_#0002.Hub_#0001",
                                                       "COM12 A12 PCIROOT(0)#USB(1)", "COM40 - "));
}

struct Listed {
    std::string name;
    std::string vendor;
    std::string product;
    bool modem;
    bool operator==(const Listed&) const = default;
};

std::vector<Listed> listed(const std::vector<InstalledPort>& installed,
                           const std::vector<std::string>& mapped) {
    std::vector<Listed> out;
    for (const PortInfo& p : installedPortList(installed, mapped)) {
        EXPECT_EQ(p.path, p.name);  // what --port takes
        out.push_back({p.name, p.usbVendor, p.usbProduct, p.matchesModem});
    }
    return out;
}

TEST(InstalledPortList, ListsTheSerialMapsNamesOnceInNaturalOrderWithTheirDevicesDetails) {
    EXPECT_THAT(listed({{modemId, "COM10"},
                        {"ACPI\\PNP0501", "COM1"},
                        {"usb\\vid_0403&pid_6001", "COM9"},
                        {modemId, std::nullopt},                    // no name: nothing to open
                        {"USB\\VID_12&PID_34", "COM5"},             // digits too few to be an id
                        {"LPTENUM\\MICROSOFTRAWPORT958A", "LPT1"},  // a printer port
                        {modemId, "COM11"}},                        // its driver never started
                       {"COM1", "COM10", "COM40", "COM2", "", "COM9", "COM5", "com10"}),
                ElementsAre(Listed{"COM1", "", "", false}, Listed{"COM2", "", "", false},
                            Listed{"COM5", "", "", false}, Listed{"COM9", "0403", "6001", false},
                            Listed{"COM10", "1fc9", "2909", true},  // once, as first spelled
                            Listed{"COM40", "", "", false}));
    EXPECT_THAT(listed({{modemId, "COM3"}}, {}), IsEmpty());
    EXPECT_THAT(listed({}, {}), IsEmpty());
}

}  // namespace
}  // namespace modem
