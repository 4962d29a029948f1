// modemctl's online subcommands, run in-process against modem-sim on a
// pseudo-terminal (or an in-process fake modem where the simulator will not
// misbehave).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/mset_json.h"
#include "online/fake_modem.h"
#include "settings/mset.h"
#include "settings/settings_file.h"
#include "support/child_program_posix.h"
#include "support/run_modemctl.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace modem::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

using test::modemctl;

Mset fromJson(const std::string& text) {
    Mset m{};
    const std::string problem = cli::msetFromJson(nlohmann::json::parse(text), m);
    EXPECT_EQ(problem, "");
    return m;
}

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

void save(const std::filesystem::path& path, const Mset& m) {
    ASSERT_TRUE(saveSettingsFile(path, m).ok) << path;
}

class OnlineCommands : public ::testing::Test {
protected:
    TempDir m_dir;
    std::string m_profile1 = (m_dir / "profile1.cfg").string();
    bool m_saved = [this] { return saveSettingsFile(m_profile1, siteSettings()).ok; }();
    SimProcess m_sim{{"--baud", "0", "--profile1", m_profile1}};

    test::CliRun online(std::vector<std::string> args) {
        args.push_back("--port");
        args.push_back(m_sim.path());
        return modemctl(std::move(args));
    }
};

TEST_F(OnlineCommands, ReadPrintsTheModemsSettingsAsJson) {
    ASSERT_TRUE(m_saved);
    const test::CliRun r = online({"read"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(fromJson(r.out), defaultSettings());
    EXPECT_THAT(r.err, IsEmpty());
}

TEST_F(OnlineCommands, ReadAProfileOntoABaseIntoAFile) {
    Mset base = defaultSettings();
    base.RSDLY = 9;  // the report does not carry it: it comes from the base
    base.MARK = 0xBEEF;
    save(m_dir / "base.cfg", base);
    const test::CliRun r =
        online({"read", "--profile", "1", "--base", (m_dir / "base.cfg").string(), "-o",
                (m_dir / "out.cfg").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, IsEmpty());
    Mset got{};
    ASSERT_TRUE(loadSettingsFile(m_dir / "out.cfg", got).ok);
    Mset expected = siteSettings();
    expected.RSDLY = 9;
    expected.MARK = 0xBEEF;
    EXPECT_EQ(got, expected);
}

TEST_F(OnlineCommands, WriteVerifyReportsTheNormalisationAndTheModemHoldsTheSettings) {
    Mset m = siteSettings();
    m.IDB = 11;
    m.IDTX1 = 0x101;
    m.IDRX1 = 0x101;  // the form moves a receive id that equals the transmit id
    m.BAND = 2;       // no control for it: the form gives 0
    save(m_dir / "in.cfg", m);
    // The same identifiers both ways are a problem of the image: written only by force.
    const test::CliRun w = online({"write", (m_dir / "in.cfg").string(), "--verify", "--force"});
    ASSERT_EQ(w.status, 0) << w.err;
    EXPECT_THAT(w.err, HasSubstr("IDRX1: 257 -> 258"));
    EXPECT_THAT(w.err, HasSubstr("BAND: 2 -> 0"));
    EXPECT_THAT(w.err, Not(HasSubstr("verify")));

    const test::CliRun r = online({"read"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Mset back = fromJson(r.out);
    EXPECT_EQ(back.WT, 400);
    EXPECT_EQ(back.IDRX1, 0x102U);
    EXPECT_EQ(back.CH[4], m.CH[4]);
}

TEST_F(OnlineCommands, WriteStoreThenReadTheProfile) {
    Mset m = defaultSettings();
    m.WT = 777;
    save(m_dir / "in.cfg", m);
    const test::CliRun w = online({"write", (m_dir / "in.cfg").string(), "--store", "0"});
    ASSERT_EQ(w.status, 0) << w.err;
    const test::CliRun r = online({"read", "--profile", "0"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(fromJson(r.out).WT, 777);
}

TEST_F(OnlineCommands, SendPrintsTheModemsAnswer) {
    struct Case {
        std::vector<std::string> args;
        const char* answer;
    };
    const Case cases[] = {
        {{"vers"}, "Version 2.07 (modem-sim)\n"},
        {{"ch", "5"}, "VHF channel 05\n"},
        {{"chk", "1"}, "MF channel 1 (2.130 MHz)\n"},
        {{"sing", "50"}, "VHF tone 50 Hz\n"},
        {{"t2pl"}, "MF power reduced\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"send", "--wait", "200"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.args.front());
        const test::CliRun r = online(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.answer);
    }
}

TEST(SendRefusal, UnknownCommandsAndBadArgumentsAreRefusedBeforeConnecting) {
    for (const auto& args : {std::vector<std::string>{"send", "bogus"},
                             {"send", "ch", "17"},
                             {"send", "vers", "1"},
                             {"send", "ch"},
                             {"send", "sing", "12345"}}) {
        SCOPED_TRACE(args[1]);
        auto withPort = args;
        // A port that cannot open: a connect attempt would show in the message.
        withPort.insert(withPort.end(), {"--port", "/nonexistent/tty"});
        const test::CliRun r = modemctl(withPort);
        EXPECT_EQ(r.status, 2);
        EXPECT_THAT(r.out, IsEmpty());
        EXPECT_THAT(r.err, Not(IsEmpty()));
        EXPECT_THAT(r.err, Not(HasSubstr("connect")));
    }
}

TEST(OnlineFailures, APortThatCannotBeUsedGivesExit1AndOneLineNamingIt) {
    TempDir dir;
    const std::string cfg = (dir / "in.cfg").string();
    ASSERT_TRUE(saveSettingsFile(cfg, defaultSettings()).ok);
    const std::string missing = (dir / "no-such-tty").string();
    const std::string folder = dir.path().string();
    const std::string plain = cfg;  // opens, but is no terminal
    const std::string cannotConnect = "modemctl: can't connect to device: ";
    struct Case {
        std::vector<std::string> args;
        std::string line;
    };
    const std::vector<Case> cases{
        {{"read", "--port", missing}, cannotConnect + missing + ": No such file or directory"},
        {{"read", "--profile", "1", "--port", folder},
         cannotConnect + folder + ": " + std::strerror(EISDIR)},
        {{"send", "vers", "--port", missing},
         cannotConnect + missing + ": " + std::strerror(ENOENT)},
        {{"write", cfg, "--verify", "--store", "1", "--port", missing},
         cannotConnect + missing + ": " + std::strerror(ENOENT)},
        {{"read", "--port", plain},
         "modemctl: please reconnect device: " + plain + ": tcgetattr: " + std::strerror(ENOTTY)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        const test::CliRun r = modemctl(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_THAT(r.out, IsEmpty());
        EXPECT_EQ(r.err, c.line + "\n");
    }
}

TEST(OnlineFailures, ASilentModemIsAFailureWithItsReason) {
    TempDir dir;
    const std::string cfg = (dir / "in.cfg").string();
    ASSERT_TRUE(saveSettingsFile(cfg, defaultSettings()).ok);
    for (const auto& [args, line] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"read"}, "no settings report"},
             {{"send", "vers", "--wait", "300"}, "no answer from the modem within 300 ms\n"},
             {{"write", cfg}, "verify: no settings report (no line starts with \"Modem\")\n"}}) {
        FakeModem modem(FakeModem::Mode::Silent);
        auto withPort = args;
        withPort.insert(withPort.end(), {"--port", modem.path()});
        const test::CliRun r = modemctl(withPort);
        EXPECT_EQ(r.status, 1);
        EXPECT_THAT(r.out, IsEmpty());
        EXPECT_THAT(r.err, HasSubstr("modemctl: " + line));
        // The command did go out after the connect's "+cfge\r".
        EXPECT_GE(modem.bytesReceived(), 12U);
    }
}

TEST(OnlineFailures, VerifyListsEveryFieldTheModemDidNotTake) {
    FakeModem modem(FakeModem::Mode::Answer, [](ModemSimulator& sim) {
        Mset kept = sim.current();
        kept.WT = 123;
        kept.CH[5].THR = 77;
        kept.RSDLY = 1;  // not in the report: cannot be seen, so not listed
        sim.setCurrent(kept);
    });
    TempDir dir;
    Mset m = siteSettings();
    ASSERT_TRUE(saveSettingsFile(dir / "in.cfg", m).ok);
    const test::CliRun r =
        modemctl({"write", (dir / "in.cfg").string(), "--verify", "--port", modem.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("modemctl: verify: WT: sent 400, the modem holds 123\n"));
    EXPECT_THAT(r.err, HasSubstr("modemctl: verify: CH[5]: sent 06-r155.200-t155.200s0330pHi, "
                                 "the modem holds 06-r155.200-t155.200s0077pHi\n"));
    EXPECT_THAT(r.err, Not(HasSubstr("RSDLY")));
}

TEST(OnlineFailures, AModemThatHangsUpAfterTheConnectFailsWithOneLine) {
    TempDir dir;
    const std::string cfg = (dir / "in.cfg").string();
    ASSERT_TRUE(saveSettingsFile(cfg, defaultSettings()).ok);
    for (const auto& args : {std::vector<std::string>{"read"},
                             {"write", cfg},
                             {"write", cfg, "--verify"},
                             {"send", "vers"},
                             {"diff", "modem", cfg}}) {
        SCOPED_TRACE(args.front() + " " + args.back());
        FakeModem modem(FakeModem::Mode::HangUp);
        auto withPort = args;
        withPort.insert(withPort.end(), {"--port", modem.path()});
        const test::CliRun r = modemctl(withPort);
        EXPECT_EQ(r.status, args.front() == "diff" ? 2 : 1);
        EXPECT_THAT(r.out, IsEmpty());
        // The hang-up shows where it is met: at a write, or as the line going down.
        EXPECT_EQ(lineCount(r.err), 1u) << r.err;
        EXPECT_THAT(r.err, HasSubstr(modem.path() + ": ")) << r.err;
    }
}

// modem-sim at 9600 bit/s with its traffic log: what it received reached the modem.
class PacedSim : public ::testing::Test {
protected:
    test::CliRun write(std::vector<std::string> simOptions, const Mset& m,
                       std::vector<std::string> options) {
        std::filesystem::remove(m_log);
        simOptions.insert(simOptions.end(), {"--log", m_log.string()});
        m_sim.emplace(std::move(simOptions));
        EXPECT_TRUE(saveSettingsFile(m_file, m).ok);
        options.insert(options.begin(), {"write", m_file});
        options.insert(options.end(), {"--port", m_sim->path()});
        return modemctl(options);
    }

    TempDir m_dir;
    std::string m_file = (m_dir / "in.cfg").string();
    std::filesystem::path m_log = m_dir / "sim.log";
    std::optional<SimProcess> m_sim;
};

TEST_F(PacedSim, WriteReadsBackAndStoresOnlyWhatTheModemHolds) {
    struct Case {
        std::vector<std::string> simOptions;
        std::vector<std::string> writeOptions;
        std::string err;  // all of standard error
        bool readBack;    // "+view\r" after the upload
        bool stored;      // "+sav1\r"
    };
    const std::string noStore =
        "modemctl: profile 1 not stored: the modem does not hold the "
        "settings sent\n";
    const std::vector<Case> cases{
        {{}, {"--store", "1"}, "", true, true},
        {{}, {"--verify"}, "", true, false},
        {{"--spoil-upload", "WT"},
         {"--store", "1"},
         "modemctl: verify: WT: sent 400, the modem holds 401\n" + noStore,
         true,
         false},
        {{"--spoil-upload", "CH[4].RXF"},
         {},
         "modemctl: verify: CH[4]: sent 05-r156.125-t155.100s0500pHi, the modem holds "
         "05-r156.126-t155.100s0500pHi\n",
         true,
         false},
        {{"--spoil-upload", "WT"}, {"--no-verify", "--store", "1"}, "", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.simOptions.empty() ? "" : c.simOptions.back());
        const test::CliRun r = write(c.simOptions, siteSettings(), c.writeOptions);
        EXPECT_EQ(r.status, c.err.empty() ? 0 : 1);
        EXPECT_EQ(r.err, c.err);
        ASSERT_TRUE(test::simHasReceived(m_log, "+cfgd\r"));
        const std::string sent = test::receivedBySim(m_log);
        const auto upload = sent.find("+cfwr\r");
        const auto view = sent.find("+view\r", upload);
        EXPECT_EQ(view != std::string::npos, c.readBack) << sent;
        EXPECT_EQ(sent.find("+sav1\r") != std::string::npos, c.stored) << sent;
        EXPECT_TRUE(!c.readBack || !c.stored || view < sent.find("+sav1\r")) << sent;
    }
}

TEST_F(PacedSim, WriteRefusesAnImageWithProblemsWithoutConnecting) {
    const std::vector<void (*)(Mset&)> spoils{
        [](Mset& m) { m.WT = 1500; },
        [](Mset& m) { m.CH[3].RXF = 1464683420; },  // beyond the channel notation
        [](Mset& m) { m.IDRX2 = m.IDTX2; },
        [](Mset& m) { m.MARK = 0; },
    };
    for (const auto spoil : spoils) {
        Mset m = defaultSettings();
        spoil(m);
        const test::CliRun r = write({}, m, {"--store", "0"});
        EXPECT_EQ(r.status, 1);
        // The problem on a line of its own, then the refusal.
        EXPECT_EQ(lineCount(r.err), 2u) << r.err;
        EXPECT_THAT(r.err, HasSubstr("\nmodemctl: " + m_file +
                                     ": not written: 1 problem (--force "
                                     "writes the settings anyway)\n"));
        // Not even the connect went out.
        EXPECT_EQ(test::receivedBySim(m_log), "");
        const test::CliRun forced = write({}, m, {"--force", "--no-verify"});
        EXPECT_EQ(forced.status, 0) << forced.err;
        EXPECT_TRUE(test::simHasReceived(m_log, "+cfwr\r"));
    }
}

// A sysfs tree as the kernel lays it out: class/tty/<name> links to the tty
// under its device; a USB tty's `device` leads to the interface, whose parent
// carries the identifiers.
class FakeSysfs {
public:
    explicit FakeSysfs(const std::filesystem::path& root) : m_root(root) {}

    void addUsbTty(const std::string& name, const std::string& vendor, const std::string& product,
                   int device) {
        const auto usb = m_root / "devices/pci0000:00/usb1" / ("1-" + std::to_string(device));
        writeText(usb / "idVendor", vendor + "\n");
        writeText(usb / "idProduct", product + "\n");
        writeText(usb / "busnum", "1\n");
        writeText(usb / "devnum", std::to_string(device) + "\n");
        addTty(name, usb / ("1-" + std::to_string(device) + ":1.0"));
    }
    void addPlatformTty(const std::string& name) {
        addTty(name, m_root / "devices/platform/serial8250");
    }

private:
    static void writeText(const std::filesystem::path& file, const std::string& text) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }
    void addTty(const std::string& name, const std::filesystem::path& parent) {
        const auto tty = parent / "tty" / name;
        writeText(tty / "uevent", "DEVNAME=" + name + "\n");
        std::filesystem::create_directory_symlink(parent, tty / "device");
        std::filesystem::create_directories(m_root / "class/tty");
        std::filesystem::create_directory_symlink(tty, m_root / "class/tty" / name);
    }
    std::filesystem::path m_root;
};

TEST(Ports, ListsEveryPortWithItsUsbIdsAndMarksTheModem) {
    TempDir dir;
    FakeSysfs sys(dir.path());
    sys.addPlatformTty("ttyS0");
    sys.addUsbTty("ttyACM10", "1fc9", "2909", 5);
    sys.addUsbTty("ttyACM2", "0403", "6001", 3);
    sys.addUsbTty("ttyUSB0", "1FC9", "2909", 4);  // upper case matches too
    const test::CliRun r = modemctl({"ports", "--sysfs-root", dir.path().string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "/dev/ttyACM2  0403:6001  at 1-3\n"
              "/dev/ttyACM10  1fc9:2909  at 1-5  modem\n"
              "/dev/ttyS0\n"
              "/dev/ttyUSB0  1FC9:2909  at 1-4  modem\n");
}

TEST(Ports, NoPortsIsNoError) {
    TempDir dir;
    const test::CliRun r = modemctl({"ports", "--sysfs-root", dir.path().string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out, IsEmpty());
    EXPECT_THAT(r.err, HasSubstr("no serial ports"));
}

TEST(Discovery, WithoutAModemEveryOnlineCommandSaysSoInOneLineAndExits1) {
    TempDir dir;
    FakeSysfs sys(dir.path());
    sys.addPlatformTty("ttyS0");
    sys.addUsbTty("ttyUSB0", "0403", "6001", 3);
    const std::string cfg = (dir / "in.cfg").string();
    ASSERT_TRUE(saveSettingsFile(cfg, defaultSettings()).ok);
    const std::string root = dir.path().string();
    for (const auto& args : {std::vector<std::string>{"read"}, {"write", cfg}, {"send", "vers"}}) {
        SCOPED_TRACE(args.front());
        auto withRoot = args;
        withRoot.insert(withRoot.end(), {"--sysfs-root", root});
        const test::CliRun r = modemctl(withRoot);
        EXPECT_EQ(r.status, 1);
        EXPECT_THAT(r.out, IsEmpty());
        EXPECT_EQ(r.err,
                  "modemctl: can't connect to device: no device found (no USB serial port "
                  "1fc9:2909; name one with --port)\n");
    }
}

}  // namespace
}  // namespace modem::test
