#include "link/discovery.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "support/fake_sysfs.h"

namespace modem {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

struct Restart {
    unsigned bus;
    unsigned device;
    std::string port;
    bool operator==(const Restart&) const = default;
};

class RecordingResetter : public UsbResetter {
public:
    explicit RecordingResetter(std::vector<Restart>& log) : m_log(log) {}
    void restart(const UsbAddress& a, std::string_view port) override {
        m_log.push_back({a.bus, a.device, std::string(port)});
    }

private:
    std::vector<Restart>& m_log;
};

using test::FakeSysfs;
using test::UsbTty;

struct FindOutcome {
    std::string path;
    std::string pane;
    std::vector<Restart> restarts;
};

FindOutcome find(const FakeSysfs& sys) {
    FindOutcome out;
    SysfsPortFinder finder(sys.root(), sys.devRoot(),
                           std::make_unique<RecordingResetter>(out.restarts));
    TerminalPane pane;
    out.path = finder.findModemPort(pane);
    out.pane = pane.snapshot();
    return out;
}

TEST(SysfsPortFinder, WithoutMatchingDeviceLogsNoDeviceAndRestartsNothing) {
    FakeSysfs sys;
    auto out = find(sys);  // not even a class/tty folder
    EXPECT_EQ(out.path, "");
    EXPECT_EQ(out.pane, "no device found\r\n");

    sys.addVirtualTty("tty1");
    sys.addPlatformTty("ttyS0");
    sys.addUsbTty("ttyUSB0", "0403", "6001", 1, 4);
    out = find(sys);
    EXPECT_EQ(out.path, "");
    EXPECT_EQ(out.pane, "no device found\r\n");
    EXPECT_TRUE(out.restarts.empty());
}

TEST(SysfsPortFinder, MatchesOnTheFirst21CharactersIgnoringCase) {
    struct Case {
        std::string vendor, product;
        bool matches;
    };
    const Case cases[] = {
        {"1fc9", "2909", true},   // as the kernel writes them
        {"1FC9", "2909", true},   //
        {"1fc9", "29090", true},  // longer identifier: only its start counts
        {"1fc9", "2908", false},  // another product
        {"1fc8", "2909", false},  // another vendor
        {"1fc9", "290", false},   // too short to equal the identity
        {"", "", false},          //
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vendor + ":" + c.product);
        FakeSysfs sys;
        sys.addUsbTty("ttyACM0", c.vendor, c.product, 3, 7);
        const auto out = find(sys);
        if (c.matches) {
            EXPECT_EQ(out.path, (sys.devRoot() / "ttyACM0").string());
            EXPECT_EQ(out.pane, "device found on ttyACM0\r\n");
            EXPECT_THAT(out.restarts, ElementsAre(Restart{3, 7, "ttyACM0"}));
        } else {
            EXPECT_EQ(out.path, "");
            EXPECT_TRUE(out.restarts.empty());
        }
    }
}

TEST(SysfsPortFinder, RestartsEveryMatchInNaturalOrderAndTakesTheLast) {
    FakeSysfs sys;
    sys.addUsbTty("ttyACM10", "1fc9", "2909", 1, 10);
    sys.addUsbTty("ttyACM2", "1fc9", "2909", 1, 2);
    sys.addUsbTty("ttyACM5", "0403", "6001", 1, 5);
    const auto out = find(sys);
    EXPECT_THAT(out.restarts, ElementsAre(Restart{1, 2, "ttyACM2"}, Restart{1, 10, "ttyACM10"}));
    EXPECT_EQ(out.path, (sys.devRoot() / "ttyACM10").string());
    EXPECT_EQ(out.pane,
              "2 devices found; using ttyACM10: no serial, at 1-10\r\n"
              "device found on ttyACM10\r\n");
}

TEST(SysfsPortFinder, DeviceWithoutNodeNameIsNeitherRestartedNorTaken) {
    FakeSysfs sys;
    sys.addUsbTty("ttyACM0", "1fc9", "2909", 1, 2);
    sys.addUsbTty("ttyACM1", "1fc9", "2909", 1, 3, "");
    const auto out = find(sys);
    EXPECT_THAT(out.restarts, ElementsAre(Restart{1, 2, "ttyACM0"}));
    EXPECT_EQ(out.path, (sys.devRoot() / "ttyACM0").string());
}

TEST(SysfsPortFinder, PortNameIsCutTo15Characters) {
    FakeSysfs sys;
    sys.addUsbTty("ttyModemLongName0", "1fc9", "2909", 1, 2);
    const auto out = find(sys);
    EXPECT_EQ(out.pane, "device found on ttyModemLongNam\r\n");
    EXPECT_EQ(out.path, (sys.devRoot() / "ttyModemLongNam").string());
}

TEST(SysfsPortFinder, FailedRestartGoesUnnoticed) {
    FakeSysfs sys;
    sys.addUsbTty("ttyACM0", "1fc9", "2909", 1, 2);
    // The system resetter finds no usbfs node under the fake /dev.
    SysfsPortFinder finder(sys.root(), sys.devRoot());
    TerminalPane pane;
    EXPECT_EQ(finder.findModemPort(pane), (sys.devRoot() / "ttyACM0").string());
}

TEST(FindModems, TellsEveryModemApartBySerialAndPlaceAndThePaneNamesTheOneTaken) {
    // Three modems behind hubs on two buses, one without a serial number,
    // beside a USB adapter with a serial number and a modem whose tty has no
    // node yet.
    FakeSysfs sys;
    sys.addUsbTty({.name = "ttyACM10", .device = 9, .devpath = "1.4", .serial = "A10"});
    sys.addUsbTty({.name = "ttyACM0", .device = 5, .devpath = "1.1", .serial = "A00"});
    sys.addUsbTty({.name = "ttyACM1", .bus = 2, .device = 3, .devpath = "2"});
    sys.addUsbTty({.name = "ttyACM2", .bus = 2, .devpath = "3", .serial = "A2", .nodeName = ""});
    sys.addUsbTty({.name = "ttyUSB0", .vendor = "0403", .devpath = "1.2", .serial = "FT1"});
    const std::string dev = sys.devRoot().string();
    EXPECT_THAT(findModems(sys.root(), sys.devRoot()),
                ElementsAre(ModemPort{"ttyACM0", dev + "/ttyACM0", "A00", "1-1.1"},
                            ModemPort{"ttyACM1", dev + "/ttyACM1", std::nullopt, "2-2"},
                            ModemPort{"ttyACM10", dev + "/ttyACM10", "A10", "1-1.4"}));
    const auto out = find(sys);
    EXPECT_EQ(out.path, dev + "/ttyACM10");
    EXPECT_EQ(out.pane,
              "3 devices found; using ttyACM10: serial A10, at 1-1.4\r\n"
              "device found on ttyACM10\r\n");
}

TEST(FindModems, SerialNumberIsWhatTheDeviceSaysMadePrintable) {
    struct Case {
        const char* label;
        std::optional<std::string> attribute;  // none: no `serial` file
        std::optional<std::string> serial;
    };
    const Case cases[] = {
        {"plain", "0123ABCD", "0123ABCD"},
        {"spaces around", "  X7 \t", "X7"},
        {"no attribute", std::nullopt, std::nullopt},
        {"empty", "", std::nullopt},
        {"control and non-ASCII bytes", "S\x01N\xd0\x96\x7f", "S?N???"},
        {"quote and backslash stay", "a\"b\\c", "a\"b\\c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        FakeSysfs sys;
        sys.addUsbTty({.name = "ttyACM0", .serial = c.attribute});
        const auto found = findModems(sys.root(), sys.devRoot());
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].serial, c.serial);
    }
}

TEST(ListSerialPorts, ListsDeviceBackedTtysWithUsbIdentifiers) {
    FakeSysfs sys;
    sys.addVirtualTty("tty1");
    sys.addPlatformTty("ttyS0");
    sys.addUsbTty("ttyACM0", "1fc9", "2909", 1, 2);
    sys.addUsbTty("ttyUSB0", "0403", "6001", 1, 3);
    const auto ports = listSerialPorts(sys.root());
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].name, "ttyACM0");
    EXPECT_EQ(ports[0].path, "/dev/ttyACM0");
    EXPECT_EQ(ports[0].usbVendor + ":" + ports[0].usbProduct, "1fc9:2909");
    EXPECT_TRUE(ports[0].matchesModem);
    EXPECT_EQ(ports[1].name, "ttyS0");
    EXPECT_EQ(ports[1].usbVendor, "");
    EXPECT_FALSE(ports[1].matchesModem);
    EXPECT_EQ(ports[2].name, "ttyUSB0");
    EXPECT_FALSE(ports[2].matchesModem);
}

}  // namespace
}  // namespace modem
