// modemctl diff with the modem as one side, against modem-sim on a
// pseudo-terminal: the operator's check before and after a write.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "online/fake_modem.h"
#include "settings/mset.h"
#include "settings/settings_file.h"
#include "support/run_modemctl.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace modem::test {
namespace {

Mset siteSettings() {
    Mset m = defaultSettings();
    m.WT = 400;
    m.REP = 3;
    m.HT = 250;
    m.CH[4].RXF = 156125;
    m.CH[4].THR = 500;
    m.VP2 = 115200;
    return m;
}

class DiffWithTheModem : public ::testing::Test {
protected:
    TempDir m_dir;
    std::string m_site = (m_dir / "site.cfg").string();
    bool m_saved = saveSettingsFile(m_site, siteSettings()).ok;
    SimProcess m_sim{{"--baud", "0", "--profile1", m_site}};

    CliRun online(std::vector<std::string> args) {
        args.insert(args.end(), {"--port", m_sim.path()});
        return modemctl(args);
    }
};

TEST_F(DiffWithTheModem, ShowsWhatAWriteWillChangeAndNothingAfterIt) {
    ASSERT_TRUE(m_saved);
    const CliRun before = online({"diff", "modem", m_site});
    EXPECT_EQ(before.status, 1) << before.err;
    EXPECT_EQ(before.out,
              "CH[4]: 05-r155.100-t155.100s0330pHi -> 05-r156.125-t155.100s0500pHi\n"
              "VP2: 9600 -> 115200\n"
              "HT: 100 -> 250\n"
              "WT: 300 -> 400\n"
              "REP: 0 -> 3\n");
    EXPECT_EQ(before.err, "");

    const CliRun write = online({"write", m_site});
    ASSERT_EQ(write.status, 0) << write.err;

    const CliRun after = online({"diff", m_site, "modem"});
    EXPECT_EQ(after.status, 0) << after.err;
    EXPECT_EQ(after.out, "");
}

TEST_F(DiffWithTheModem, AStoredProfileAndFieldsTheReportDoesNotCarry) {
    Mset m = siteSettings();
    m.RSDLY = 9;  // not in the report: taken from the file, so never a difference
    m.MARK = 0xBEEF;
    m.BAND = 2;
    const std::string file = (m_dir / "with-extras.cfg").string();
    ASSERT_TRUE(saveSettingsFile(file, m).ok);
    const CliRun same = online({"diff", "--profile", "1", "modem", file});
    EXPECT_EQ(same.status, 0) << same.out << same.err;
    EXPECT_EQ(same.out, "");

    const CliRun other = online({"diff", "--profile", "0", file, "modem"});
    EXPECT_EQ(other.status, 1) << other.err;
    EXPECT_NE(other.out.find("WT: 400 -> 300\n"), std::string::npos) << other.out;
    EXPECT_EQ(other.out.find("RSDLY"), std::string::npos) << other.out;
}

TEST(DiffWithoutTheModem, NoModemOrNoReportExitsTwoWithOneLine) {
    TempDir dir;
    const std::string file = (dir / "a.cfg").string();
    ASSERT_TRUE(saveSettingsFile(file, defaultSettings()).ok);
    const std::string missing = (dir / "no-such-tty").string();

    const CliRun noPort = modemctl({"diff", "modem", file, "--port", missing});
    EXPECT_EQ(noPort.status, 2);
    EXPECT_EQ(noPort.out, "");
    EXPECT_EQ(noPort.err,
              "modemctl: can't connect to device: " + missing + ": No such file or directory\n");

    FakeModem silent(FakeModem::Mode::Silent);
    const CliRun noReport = modemctl({"diff", file, "modem", "--port", silent.path()});
    EXPECT_EQ(noReport.status, 2);
    EXPECT_EQ(noReport.out, "");
    EXPECT_EQ(lineCount(noReport.err), 1u) << noReport.err;
    EXPECT_NE(noReport.err.find("no settings report"), std::string::npos) << noReport.err;

    // A file that cannot be read is refused before the port is touched.
    const auto heard = silent.bytesReceived();
    const CliRun badFile =
        modemctl({"diff", "modem", (dir / "missing.cfg").string(), "--port", silent.path()});
    EXPECT_EQ(badFile.status, 2);
    EXPECT_EQ(lineCount(badFile.err), 1u) << badFile.err;
    EXPECT_EQ(silent.bytesReceived(), heard);
}

}  // namespace
}  // namespace modem::test
