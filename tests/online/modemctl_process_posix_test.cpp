// modemctl as a process: standard output that cannot be written, and Ctrl+C or
// SIGTERM in the middle of a session with modem-sim at the modem's own pace.

#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "settings/settings_file.h"
#include "support/child_program_posix.h"
#include "support/run_modemctl.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace modem::test {
namespace {

class ModemctlProcess : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(saveSettingsFile(m_cfg, defaultSettings()).ok); }
    std::vector<std::string> command(std::vector<std::string> args, bool online) {
        if (online) {
            if (!m_sim) {
                std::filesystem::remove(m_log);
                m_sim.emplace(std::vector<std::string>{"--log", m_log.string()});  // 9600 bit/s
            }
            args.insert(args.end(), {"--port", m_sim->path()});
        }
        args.insert(args.begin(), MODEMCTL_PATH);
        return args;
    }

    TempDir m_dir;
    std::string m_cfg = (m_dir / "in.cfg").string();
    std::filesystem::path m_log = m_dir / "sim.log";
    std::optional<SimProcess> m_sim;
};

TEST_F(ModemctlProcess, OutputThatCannotBeWrittenFailsWithOneLine) {
    const auto full = ChildOutput::FullDisk;
    const auto closed = ChildOutput::ClosedPipe;
    struct Case {
        std::vector<std::string> args;
        ChildOutput output;
        bool online;
    };
    const std::vector<Case> cases{
        {{"defaults"}, full, false},
        {{"defaults"}, closed, false},
        {{"defaults", "-o", "-"}, full, false},
        {{"export", m_cfg}, full, false},
        {{"channels", m_cfg}, closed, false},
        {{"report", m_cfg}, full, false},
        {{"read"}, full, true},
        {{"send", "vers"}, closed, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + (c.output == full ? " > /dev/full" : " | closed pipe"));
        ChildProgram program(command(c.args, c.online), c.output);
        std::string err;
        EXPECT_EQ(program.finish(err), 1) << err;
        EXPECT_EQ(err, std::string("modemctl: standard output: cannot write: ") +
                           std::strerror(c.output == full ? ENOSPC : EPIPE) + "\n");
    }
}

TEST_F(ModemctlProcess, AnInterruptEndsConfigModeClosesThePortAndLeavesNoOutput) {
    struct Case {
        std::vector<std::string> args;
        int signal;
        std::string request;  // the report being received when the signal comes
    };
    const std::vector<Case> cases{
        {{"read", "-o", (m_dir / "out.cfg").string()}, SIGINT, "+view\r"},
        {{"read", "--profile", "1"}, SIGTERM, "+vie1\r"},
        {{"write", m_cfg, "--store", "1"}, SIGTERM, "+view\r"},  // the read-back: no "+sav1\r"
        {{"diff", "modem", m_cfg}, SIGINT, "+view\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + ::strsignal(c.signal));
        m_sim.reset();
        ChildProgram program(command(c.args, true), ChildOutput::Discarded);
        const auto before = m_dir.entries();
        ASSERT_TRUE(simHasReceived(m_log, c.request));  // a second of report to come
        program.signal(c.signal);
        std::string err;
        EXPECT_EQ(program.finish(err), 130);
        EXPECT_EQ(err, "modemctl: interrupted\n");
        // "+cfgd\r" right after the request, and then nothing more.
        ASSERT_TRUE(simHasReceived(m_log, c.request + "+cfgd\r"));
        EXPECT_TRUE(receivedBySim(m_log).ends_with("+cfgd\r"));
        EXPECT_EQ(m_dir.entries(), before);
        EXPECT_EQ(modemctl({"send", "vers", "--port", m_sim->path()}).status, 0);  // port let go
    }
}

}  // namespace
}  // namespace modem::test
