// modemctl --log against modem-sim --log: the two logs of one exchange hold
// the same bytes in each direction.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "settings/mset.h"
#include "settings/settings_file.h"
#include "sim/modem_simulator.h"
#include "support/run_modemctl.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "traffic/traffic_format.h"

namespace modem::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

struct Log {
    std::string toModem;
    std::string fromModem;
    std::vector<std::string> status;
    std::vector<std::string> toModemBursts;
    std::size_t entries = 0;
};

Log readLog(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    Log log;
    for (std::string line; std::getline(in, line);) {
        const auto entry = parseTrafficEntry(line);
        EXPECT_TRUE(entry) << line;
        if (!entry) {
            continue;
        }
        ++log.entries;
        const std::string bytes(entry->bytes.begin(), entry->bytes.end());
        switch (entry->direction) {
            case TrafficDirection::ToModem:
                log.toModem += bytes;
                log.toModemBursts.push_back(line);
                break;
            case TrafficDirection::FromModem:
                log.fromModem += bytes;
                break;
            case TrafficDirection::Status:
                log.status.push_back(bytes);
                break;
        }
    }
    return log;
}

TEST(TrafficLogOnline, TheToolsLogHoldsEveryByteTheSimulatorSaw) {
    TempDir dir;
    Mset m = defaultSettings();
    m.WT = 555;
    ASSERT_TRUE(saveSettingsFile(dir / "in.cfg", m).ok);
    SimProcess sim({"--baud", "0", "--log", (dir / "sim.log").string()});
    const std::string toolLog = (dir / "tool.log").string();

    // The option before the subcommand and after it; the second run appends.
    const CliRun w = modemctl(
        {"--log", toolLog, "write", (dir / "in.cfg").string(), "--verify", "--port", sim.path()});
    ASSERT_EQ(w.status, 0) << w.err;
    const CliRun r = modemctl({"send", "vers", "--port", sim.path(), "--log", toolLog});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(sim.stop(), 0);

    const Log tool = readLog(toolLog);
    const Log simulator = readLog(dir / "sim.log");
    EXPECT_EQ(tool.toModem, simulator.toModem);
    EXPECT_EQ(tool.fromModem, simulator.fromModem);
    EXPECT_THAT(tool.toModem, HasSubstr("+cfwr\r"));
    EXPECT_THAT(tool.fromModem, HasSubstr("WT 555"));
    // The settings image went out as one burst, which binary makes hex.
    const auto image = std::count_if(
        tool.toModemBursts.begin(), tool.toModemBursts.end(), [](const std::string& l) {
            return l.find(" hex ") != std::string::npos && l.size() > 264 * 3;
        });
    EXPECT_EQ(image, 1);
    const auto port = "device found on " + sim.path();
    EXPECT_THAT(tool.status,
                ::testing::ElementsAre(port, "device connecting", "device disconnected", port,
                                       "device connecting", "device disconnected"));
}

TEST(TrafficLogOnline, AnUnopenableLogFailsBeforeConnectingAndAFullOneNeverFailsTheCommand) {
    TempDir dir;
    SimProcess sim({"--baud", "0", "--log", (dir / "sim.log").string()});
    const std::string missing = (dir / "no" / "such" / "tool.log").string();
    const CliRun refused = modemctl({"--log", missing, "send", "vers", "--port", sim.path()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err, HasSubstr("cannot open traffic log " + missing));
    EXPECT_THAT(refused.out, IsEmpty());

    const CliRun full = modemctl({"--log", "/dev/full", "send", "vers", "--port", sim.path()});
    EXPECT_EQ(full.status, 0) << full.err;
    EXPECT_THAT(full.out, HasSubstr("Version"));
    EXPECT_THAT(full.err, HasSubstr("traffic log /dev/full"));
    EXPECT_EQ(full.err.find("traffic log"), full.err.rfind("traffic log")) << full.err;

    ASSERT_EQ(sim.stop(), 0);
    // The refused run sent nothing.
    EXPECT_EQ(readLog(dir / "sim.log").toModem, "+cfge\r+vers\r+cfgd\r");
}

TEST(TrafficLogOnline, TheSubcommandsLogWinsAndTheProgramsIsNotCreated) {
    TempDir dir;
    SimProcess sim({"--baud", "0"});
    const auto programs = dir / "program.log";
    const auto subcommands = dir / "subcommand.log";
    const CliRun r = modemctl(
        {"--log", programs.string(), "read", "--port", sim.path(), "--log", subcommands.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists(programs));
    EXPECT_THAT(readLog(subcommands).toModem, HasSubstr("+cfge\r"));
}

// At the modem's own pace the report comes a byte or two at a time; both logs
// still hold about one entry per line of it.
TEST(TrafficLogOnline, AReadAtTheModemsPaceGivesAboutOneEntryPerLine) {
    TempDir dir;
    SimProcess sim({"--baud", "9600", "--log", (dir / "sim.log").string()});
    const auto toolLog = dir / "tool.log";
    const CliRun r = modemctl({"read", "--port", sim.path(), "--log", toolLog.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(sim.stop(), 0);

    const std::string report = settingsReport(defaultSettings());
    const auto lines = static_cast<std::size_t>(std::count(report.begin(), report.end(), '\r'));
    ASSERT_GT(lines, 20u);
    for (const auto& path : {toolLog, dir / "sim.log"}) {
        SCOPED_TRACE(path.filename().string());
        const Log log = readLog(path);
        EXPECT_THAT(log.fromModem, HasSubstr(report));
        EXPECT_LE(log.entries, lines + 10);
    }
}

}  // namespace
}  // namespace modem::test
