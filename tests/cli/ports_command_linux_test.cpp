// modemctl ports on a fake sysfs tree: a bench of modems told apart by serial
// number and place, as lines and as JSON read back.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/fake_sysfs.h"
#include "support/run_modemctl.h"

namespace modem {
namespace {

using nlohmann::json;
using ::testing::HasSubstr;

TEST(PortsCommand, ShowsSerialNumberAndPlaceAsLinesAndAsJsonThatReadsBack) {
    test::FakeSysfs sys;
    sys.addUsbTty({.name = "ttyACM1", .device = 6, .devpath = "1.2", .serial = "B-17"});
    sys.addUsbTty({.name = "ttyACM0", .device = 5, .devpath = "1.1"});
    sys.addUsbTty({.name = "ttyUSB0",
                   .vendor = "0403",
                   .product = "6001",
                   .bus = 2,
                   .devpath = "4",
                   .serial = "FT\"9\\\x01"});
    sys.addPlatformTty("ttyS0");
    const test::CliRun lines = test::modemctl({"ports", "--sysfs-root", sys.root().string()});
    EXPECT_EQ(lines.status, 0) << lines.err;
    EXPECT_EQ(lines.out,
              "/dev/ttyACM0  1fc9:2909  at 1-1.1  modem\n"
              "/dev/ttyACM1  1fc9:2909  serial B-17  at 1-1.2  modem\n"
              "/dev/ttyS0\n"
              "/dev/ttyUSB0  0403:6001  serial FT\"9\\?  at 2-4\n");

    const test::CliRun r = test::modemctl({"ports", "--json", "--sysfs-root", sys.root().string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const json expected = json::parse(R"([
        {"port": "/dev/ttyACM0", "usbVendor": "1fc9", "usbProduct": "2909", "serial": null,
         "place": "1-1.1", "modem": true},
        {"port": "/dev/ttyACM1", "usbVendor": "1fc9", "usbProduct": "2909", "serial": "B-17",
         "place": "1-1.2", "modem": true},
        {"port": "/dev/ttyS0", "usbVendor": null, "usbProduct": null, "serial": null,
         "place": null, "modem": false},
        {"port": "/dev/ttyUSB0", "usbVendor": "0403", "usbProduct": "6001",
         "serial": "FT\"9\\?", "place": "2-4", "modem": false}
    ])");
    EXPECT_EQ(json::parse(r.out), expected) << r.out;
}

TEST(PortsCommand, NoPortsIsAnEmptyArrayAndANoteOnStandardError) {
    test::FakeSysfs sys;
    const test::CliRun r = test::modemctl({"ports", "--json", "--sysfs-root", sys.root().string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(json::parse(r.out), json::array());
    EXPECT_THAT(r.err, HasSubstr("no serial ports"));
}

}  // namespace
}  // namespace modem
