// The Windows serial port and port list where no modem is needed: how opens
// fail, what a port that is not open answers, and the shape of the list.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "link/discovery.h"
#include "link/serial_port.h"
#include "link/terminal_pane.h"

namespace modem {
namespace {

using ::testing::HasSubstr;

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

// Whatever the machine has attached, the walk logs exactly one of its two
// lines and returns the port it names (or nothing).
TEST(Win32PortFinder, LogsOneLineThatNamesThePortItReturns) {
    TerminalPane pane;
    const std::string port = makeSystemPortFinder()->findModemPort(pane);
    if (port.empty()) {
        EXPECT_EQ(pane.snapshot(), "no device found\r\n");
    } else {
        EXPECT_EQ(pane.snapshot(), "device found on " + port + "\r\n");
        EXPECT_LE(port.size(), maxPortNameLength);
    }
}

TEST(Win32PortList, NamesAreUsableWithPortOnceEachInNaturalOrder) {
    const auto ports = listSerialPorts();
    std::set<std::string> seen;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        SCOPED_TRACE(ports[i].name);
        EXPECT_FALSE(ports[i].name.empty());
        EXPECT_EQ(ports[i].path, ports[i].name);
        EXPECT_TRUE(seen.insert(ports[i].name).second);
        if (i > 0) {
            EXPECT_FALSE(naturalLess(ports[i].name, ports[i - 1].name));
        }
    }
}

}  // namespace
}  // namespace modem
