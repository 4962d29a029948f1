#include "link/discovery.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "support/temp_dir.h"

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

void writeText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

// A sysfs tree laid out as the kernel does: class/tty/<name> links to the tty
// under its device, whose `device` link leads to the USB interface and, one
// level up, the USB device with its identifiers.
class FakeSysfs {
public:
    fs::path root() const { return m_dir.path() / "sys"; }
    fs::path devRoot() const { return m_dir.path() / "dev"; }

    void addUsbTty(const std::string& name, const std::string& vendor, const std::string& product,
                   unsigned bus, unsigned device,
                   std::optional<std::string> nodeName = std::nullopt) {
        const fs::path usb = root() / "devices/pci0000:00/usb1" / ("1-" + std::to_string(device));
        writeText(usb / "idVendor", vendor + "\n");
        writeText(usb / "idProduct", product + "\n");
        writeText(usb / "busnum", std::to_string(bus) + "\n");
        writeText(usb / "devnum", std::to_string(device) + "\n");
        addTty(name, usb / ("1-" + std::to_string(device) + ":1.0"), nodeName.value_or(name));
    }

    void addPlatformTty(const std::string& name) {
        addTty(name, root() / "devices/platform/serial8250", name);
    }

    // A virtual console: no device behind it.
    void addVirtualTty(const std::string& name) {
        const fs::path tty = root() / "devices/virtual/tty" / name;
        writeText(tty / "uevent", "DEVNAME=" + name + "\n");
        linkClass(name, tty);
    }

private:
    void addTty(const std::string& name, const fs::path& parent, const std::string& nodeName) {
        const fs::path tty = parent / "tty" / name;
        writeText(tty / "uevent", nodeName.empty() ? "MAJOR=166\n" : "DEVNAME=" + nodeName + "\n");
        fs::create_directory_symlink(parent, tty / "device");
        linkClass(name, tty);
    }

    void linkClass(const std::string& name, const fs::path& tty) {
        fs::create_directories(root() / "class/tty");
        fs::create_directory_symlink(tty, root() / "class/tty" / name);
    }

    test::TempDir m_dir;
};

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
    EXPECT_EQ(out.pane, "device found on ttyACM10\r\n");  // one line only
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
