// The Windows serial port, port finder and port list where no modem is needed:
// how opens fail, what a port that is not open answers, and what the finder
// and the list make of the ports the system has.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "link/discovery.h"
#include "link/serial_port.h"
#include "link/terminal_pane.h"
#include "support/ports_registry_win32.h"

namespace modem {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

TEST(Win32SerialPort, FailedOpensSayWhyAndLeaveThePortClosed) {
    struct Case {
        std::string path;
        std::string reason;
    };
    const Case cases[] = {
        {"", "no port name"},
        {"COM199", "COM199: no such port"},
        {"\\\\.\\COM198", "no such port"},  // the device form is taken as it is
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        auto port = makeSystemSerialPort();
        const OpenResult opened = port->open(c.path);
        EXPECT_EQ(opened.status, OpenStatus::CannotOpen);
        EXPECT_THAT(opened.reason, HasSubstr(c.reason));
        EXPECT_FALSE(port->isOpen());
    }
}

TEST(Win32SerialPort, APortThatIsNotOpenSendsNothingAndReportsAHangUp) {
    auto port = makeSystemSerialPort();
    const std::uint8_t bytes[] = {'+', 'c', 'f', 'g', 'd', '\r'};
    const WriteResult written = port->write(bytes, std::chrono::milliseconds(1000));
    EXPECT_EQ(written.status, WriteStatus::NotOpen);
    EXPECT_EQ(written.written, 0U);
    port->wake();  // harmless, and does not stand in for the hang-up
    EXPECT_EQ(port->waitReadable(), WaitStatus::HangUp);
    std::uint8_t buffer[16];
    EXPECT_EQ(port->read(buffer).status, ReadStatus::HangUp);
    port->close();  // harmless when not open
}

// The installer's walk over real devices of the Ports class: the modem's and
// a printer port's.
TEST(Win32PortFinder, FindsARegisteredModemAndNamesItsPortInThePane) {
    test::PortsClassDevices devices;
    if (!devices.add("LPTENUM\\MICROSOFTRAWPORT958A", "LPT1") ||
        !devices.add("USB\\VID_1FC9&PID_2909&REV_0100", "COM83")) {
        GTEST_SKIP() << "the device installer takes no devices here (administrator rights)";
    }
    TerminalPane pane;
    const std::string port = makeSystemPortFinder()->findModemPort(pane);
    EXPECT_EQ(port, "COM83");
    const std::string text = pane.snapshot();
    ASSERT_THAT(text, StartsWith("device found on COM83\r\n"));
    // A restart the installer refused (no administrator rights, a 32-bit
    // program on 64-bit Windows, or Wine, which has no class installer) is
    // named on a line of its own.
    const std::string rest = text.substr(std::string("device found on COM83\r\n").size());
    if (!rest.empty()) {
        EXPECT_THAT(rest, StartsWith("device restart skipped: "));
        EXPECT_THAT(rest, HasSubstr("error ")) << "the refusal's number is kept";
    }
}

TEST(Win32PortFinder, WithoutTheModemLogsNoDeviceFound) {
    test::PortsClassDevices devices;
    if (!devices.add("USB\\VID_1FC9&PID_2908", "COM84")) {
        GTEST_SKIP() << "the device installer takes no devices here (administrator rights)";
    }
    TerminalPane pane;
    EXPECT_EQ(makeSystemPortFinder()->findModemPort(pane), "");
    EXPECT_EQ(pane.snapshot(), "no device found\r\n");
}

// The list is the serial map's names, every one of them, whatever else the
// Ports class holds; the modem's is marked from its device.
TEST(Win32PortList, ListsEverySerialMapNameOnceInNaturalOrderAndNoPrinterPort) {
    test::SerialMapEntries map;
    test::PortsClassDevices devices;
    if (!map.available() || !map.add("COM83") || !map.add("COM9") || !map.add("COM100") ||
        !map.add("COM10") || !devices.add("LPTENUM\\MICROSOFTRAWPORT958A", "LPT1") ||
        !devices.add("USB\\VID_1FC9&PID_2909&REV_0100", "COM83")) {
        GTEST_SKIP() << "no rights to add ports here (administrator rights)";
    }
    std::vector<std::string> expected = test::serialMapNames();
    ASSERT_GE(expected.size(), 4u);
    std::sort(expected.begin(), expected.end(),
              [](const std::string& a, const std::string& b) { return naturalLess(a, b); });

    const auto ports = listSerialPorts();
    std::vector<std::string> names;
    for (const PortInfo& port : ports) {
        names.push_back(port.name);
        EXPECT_EQ(port.path, port.name);  // what --port takes
        EXPECT_EQ(port.matchesModem, port.name == "COM83") << port.name;
    }
    EXPECT_EQ(names, expected);
    const auto modem = std::find_if(ports.begin(), ports.end(),
                                    [](const PortInfo& p) { return p.name == "COM83"; });
    ASSERT_NE(modem, ports.end());
    EXPECT_EQ(modem->usbVendor + ":" + modem->usbProduct, "1fc9:2909");
}

}  // namespace
}  // namespace modem
