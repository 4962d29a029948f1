// modemctl as a process: what only a process shows. Standard output that
// cannot be written, and Ctrl+C or SIGTERM in the middle of a session with
// modem-sim at the modem's own pace.

#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "settings/mset.h"
#include "settings/settings_file.h"
#include "support/child_program_posix.h"
#include "support/run_modemctl.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace modem::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

std::vector<std::string> withProgram(std::vector<std::string> args) {
    args.insert(args.begin(), MODEMCTL_PATH);
    return args;
}

class ModemctlProcess : public ::testing::Test {
protected:
    void SetUp() override {
        Mset other = defaultSettings();
        other.WT = 555;
        ASSERT_TRUE(saveSettingsFile(m_cfg, defaultSettings()).ok);
        ASSERT_TRUE(saveSettingsFile(m_other, other).ok);
    }

    // The simulator at 9600 bit/s with its traffic log; `port` names it.
    void startSim() { m_sim.emplace(std::vector<std::string>{"--log", m_simLog.string()}); }
    std::vector<std::string> onPort(std::vector<std::string> args) const {
        args.insert(args.end(), {"--port", m_sim->path()});
        return args;
    }

    TempDir m_dir;
    std::string m_cfg = (m_dir / "in.cfg").string();
    std::string m_other = (m_dir / "other.cfg").string();
    std::filesystem::path m_simLog = m_dir / "sim.log";
    std::optional<SimProcess> m_sim;
};

TEST_F(ModemctlProcess, OutputThatCannotBeWrittenFailsWithOneLine) {
    struct Case {
        std::vector<std::string> args;
        ChildOutput output;
        bool online;
        int status;
    };
    const std::vector<Case> cases{
        {{"defaults"}, ChildOutput::FullDisk, false, 1},
        {{"defaults"}, ChildOutput::ClosedPipe, false, 1},
        {{"defaults", "-o", "-"}, ChildOutput::FullDisk, false, 1},
        {{"export", m_cfg}, ChildOutput::FullDisk, false, 1},
        {{"channels", m_cfg}, ChildOutput::ClosedPipe, false, 1},
        {{"report", m_cfg}, ChildOutput::FullDisk, false, 1},
        // diff's trouble status: 1 would say "they differ".
        {{"diff", m_cfg, m_other}, ChildOutput::ClosedPipe, false, 2},
        {{"read"}, ChildOutput::FullDisk, true, 1},
        {{"send", "vers"}, ChildOutput::ClosedPipe, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() +
                     (c.output == ChildOutput::FullDisk ? " > /dev/full" : " | closed pipe"));
        if (c.online && !m_sim) {
            startSim();
        }
        ChildProgram program(withProgram(c.online ? onPort(c.args) : c.args), c.output);
        const ChildResult r = program.finish();
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(lineCount(r.err), 1u) << r.err;
        EXPECT_THAT(r.err, StartsWith("modemctl: standard output: cannot write: "));
        EXPECT_THAT(r.err,
                    HasSubstr(std::strerror(c.output == ChildOutput::FullDisk ? ENOSPC : EPIPE)));
    }
}

TEST_F(ModemctlProcess, AnInterruptEndsConfigModeClosesThePortAndLeavesNoOutput) {
    struct Case {
        std::vector<std::string> args;
        int signal;
        std::string neverSent;  // what the interrupted command would have sent next
    };
    const std::string out = (m_dir / "out.cfg").string();
    const std::vector<Case> cases{
        {{"read", "-o", out}, SIGINT, ""},
        {{"read", "--profile", "1"}, SIGTERM, ""},
        // Interrupted during the read-back: nothing is stored.
        {{"write", m_cfg, "--store", "1"}, SIGTERM, "+sav1\r"},
        {{"diff", "modem", m_cfg}, SIGINT, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + ::strsignal(c.signal));
        std::filesystem::remove(m_simLog);
        startSim();
        const auto before = m_dir.entries();
        ChildProgram program(withProgram(onPort(c.args)), ChildOutput::Collected);
        // The report is on its way, a second of it at 9600 bit/s.
        const std::string request =
            c.args.front() == "read" && c.args.size() > 2 && c.args[1] == "--profile" ? "+vie1\r"
                                                                                      : "+view\r";
        ASSERT_TRUE(simHasReceived(m_simLog, request));
        program.signal(c.signal);
        const ChildResult r = program.finish();
        EXPECT_EQ(r.status, 130) << r.err;
        EXPECT_EQ(r.err, "modemctl: interrupted\n");
        EXPECT_EQ(r.out, "");
        ASSERT_TRUE(simHasReceived(m_simLog, request + "+cfgd\r"));
        const std::string received = receivedBySim(m_simLog);
        EXPECT_TRUE(received.ends_with("+cfgd\r")) << received;
        if (!c.neverSent.empty()) {
            EXPECT_EQ(received.find(c.neverSent), std::string::npos) << received;
        }
        // The port is closed: the next session gets it.
        EXPECT_EQ(modemctl(onPort({"send", "vers"})).status, 0);
        EXPECT_EQ(m_dir.entries(), before);
        m_sim.reset();
    }
}

}  // namespace
}  // namespace modem::test
