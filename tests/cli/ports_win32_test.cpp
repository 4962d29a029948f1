// modemctl ports on Windows: every name of the system's serial map, compared
// with the registry as this test reads it, and nothing the map does not hold.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "link/discovery.h"
#include "support/ports_registry_win32.h"
#include "support/run_modemctl.h"

namespace modem {
namespace {

TEST(ModemctlPortsWindows, ListsEveryNameOfTheSerialMapAndNoOther) {
    test::SerialMapEntries map;
    test::PortsClassDevices devices;
    // Several names, so that one left out anywhere in the scan shows.
    if (!map.available() || !map.add("COM31") || !map.add("COM7") || !map.add("COM200") ||
        !devices.add("LPTENUM\\MICROSOFTRAWPORT958A", "LPT1")) {
        GTEST_SKIP() << "no rights to add ports here (administrator rights)";
    }
    std::vector<std::string> expected = test::serialMapNames();
    ASSERT_GE(expected.size(), 3u);
    std::sort(expected.begin(), expected.end(),
              [](const std::string& a, const std::string& b) { return naturalLess(a, b); });

    const test::CliRun run = test::modemctl({"ports"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> listed;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        listed.push_back(line.substr(0, line.find(' ')));
    }
    EXPECT_EQ(listed, expected) << run.out;
}

}  // namespace
}  // namespace modem
