// modem-sim over its pseudo-terminal, driven as the tool would drive it.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "link/terminal_pane.h"
#include "protocol/commands.h"
#include "protocol/report_parser.h"
#include "protocol/upload.h"
#include "settings/settings_file.h"
#include "sim/modem_simulator.h"
#include "support/child_program_posix.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace modem {
namespace {

using namespace std::chrono_literals;

// A client end of the terminal, raw, as the serial port opens it.
class Client {
public:
    explicit Client(const std::string& path) : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY)) {
        if (m_fd >= 0) {
            termios tio{};
            ::tcgetattr(m_fd, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(m_fd, TCSANOW, &tio);
            ::tcflush(m_fd, TCIOFLUSH);
        }
    }
    ~Client() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    [[nodiscard]] bool ok() const { return m_fd >= 0; }
    void send(std::string_view bytes) {
        ASSERT_EQ(::write(m_fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Reads until `done` holds for what arrived, the line hangs up, or the
    // deadline passes (a safety net against a hung simulator, not a speed check).
    template <typename Done>
    std::string receiveUntil(Done done, bool* hungUp = nullptr) {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!done(got) && std::chrono::steady_clock::now() < deadline) {
            pollfd pfd{m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, 100) <= 0) {
                continue;
            }
            char buf[512];
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0 || (pfd.revents & (POLLHUP | POLLERR)) != 0) {
                if (n > 0) {
                    got.append(buf, static_cast<std::size_t>(n));
                }
                if (hungUp != nullptr) {
                    *hungUp = true;
                }
                break;
            }
            got.append(buf, static_cast<std::size_t>(n));
        }
        return got;
    }
    std::string receiveLine() {
        return receiveUntil([](const std::string& s) { return s.find('\r') != std::string::npos; });
    }
    // The report as the tool gets it: through a pane, until complete.
    Mset readReport(const std::string& command, bool* found) {
        send(command);
        return receiveReport(found);
    }
    // `bytes`: how many the modem sent for it.
    Mset receiveReport(bool* found, std::size_t* bytes = nullptr) {
        TerminalPane pane;
        const std::string received = receiveUntil([&](const std::string& s) {
            pane.clearTerminal();
            pane.appendBytes(std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
            return reportComplete(pane.snapshot());
        });
        if (bytes != nullptr) {
            *bytes = received.size();
        }
        Mset m = defaultSettings();
        m.CH[0].THR = 1;  // proves the parse wrote it
        *found = parseReport(pane.snapshot(), m);
        return m;
    }
    // What has arrived by now, without waiting.
    std::string pending() {
        std::string got;
        char buf[512];
        pollfd pfd{m_fd, POLLIN, 0};
        while (::poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN) != 0) {
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0) {
                break;
            }
            got.append(buf, static_cast<std::size_t>(n));
        }
        return got;
    }

private:
    int m_fd;
};

Mset distinctive() {
    Mset m = defaultSettings();
    m.CH[3].RXF = 156800;
    m.CH[15].THR = 999;
    m.WT = 777;
    m.VP2 = 115200;
    m.IDTX2 = 0x1ABCDEF0;
    m.CHS2 = 8;
    m.CHL2 = 0xFEDCBA98;
    return m;
}

TEST(ModemSimProgram, AnswersOverItsTerminalAndKeepsStateAcrossReconnects) {
    test::SimProcess sim({"--baud", "0"});
    ASSERT_TRUE(std::filesystem::exists(sim.path()));
    {
        Client client(sim.path());
        ASSERT_TRUE(client.ok());
        client.send(cmdVers());
        EXPECT_NE(client.receiveLine().find("Version"), std::string::npos);

        const UploadFrame frame = uploadFrame(distinctive());
        client.send(frame.command);
        client.send(std::string_view(reinterpret_cast<const char*>(frame.image.data()),
                                     frame.image.size()));
        EXPECT_EQ(client.receiveLine(), "Settings written\r");
    }
    // The first client is gone; the next one finds the settings it left.
    Client again(sim.path());
    ASSERT_TRUE(again.ok());
    bool found = false;
    const Mset read = again.readReport(cmdView(), &found);
    ASSERT_TRUE(found);
    EXPECT_EQ(read, distinctive());
}

TEST(ModemSimProgram, UnplugHangsUpTheTerminalAndOffersAFreshOneAtTheLink) {
    test::TempDir dir;
    const auto link = dir.path() / "modem";
    test::SimProcess sim({"--baud", "0", "--link", link.string()});
    EXPECT_EQ(std::filesystem::read_symlink(link), sim.path());
    {
        Client client(link.string());
        ASSERT_TRUE(client.ok());
        client.send(cmdSav1());
        EXPECT_EQ(client.receiveLine(), "Saved to profile 1\r");
        const std::string fresh = sim.unplug();
        EXPECT_EQ(std::filesystem::read_symlink(link), fresh);
        bool hungUp = false;
        client.receiveUntil([](const std::string&) { return false; }, &hungUp);
        EXPECT_TRUE(hungUp) << "the old terminal must hang up";
    }
    Client client(link.string());
    ASSERT_TRUE(client.ok());
    client.send(cmdTest());
    EXPECT_EQ(client.receiveLine(), "Self-test OK\r");
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)))
        << "the link goes with the simulator";
}

TEST(ModemSimProgram, StartsWithProfilesFromFilesAndLogsBothDirections) {
    test::TempDir dir;
    const auto cfg = dir.path() / "p1.cfg";
    ASSERT_TRUE(saveSettingsFile(cfg, distinctive()).ok);
    const auto logFile = dir.path() / "traffic.log";
    test::SimProcess sim({"--baud", "0", "--profile1", cfg.string(), "--log", logFile.string()});
    Client client(sim.path());
    bool found = false;
    EXPECT_EQ(client.readReport(cmdVie1(), &found), distinctive());
    EXPECT_TRUE(found);
    EXPECT_EQ(client.readReport(cmdVie0(), &found), defaultSettings());
    EXPECT_EQ(sim.stop(), 0);

    std::ifstream in(logFile);
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(log.find(" > \"+vie1\\r\"\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" < \"Modem prof. 1"), std::string::npos) << log;
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ModemSimProgram, CountServesIndependentUnitsEachWithItsOwnLinkLogAndCable) {
    namespace fs = std::filesystem;
    test::TempDir dir;
    const auto link = [&](int unit) { return dir.path() / ("tty" + std::to_string(unit)); };
    const auto log = [&](int unit) { return dir.path() / ("sim" + std::to_string(unit) + ".log"); };
    // At the modem's own pace, the default.
    test::SimProcess sim({"--count", "3", "--link", (dir.path() / "tty").string(), "--log",
                          (dir.path() / "sim.log").string(), "--silent", "2"});
    ASSERT_EQ(sim.paths().size(), 3u);
    for (int unit = 0; unit < 3; ++unit) {
        EXPECT_EQ(fs::read_symlink(link(unit)), sim.paths()[static_cast<std::size_t>(unit)]);
    }
    Client first(link(0).string());
    Client second(link(1).string());
    Client silent(link(2).string());
    ASSERT_TRUE(first.ok() && second.ok() && silent.ok());
    silent.send(cmdVers());

    const UploadFrame frame = uploadFrame(distinctive());
    first.send(frame.command);
    first.send(
        std::string_view(reinterpret_cast<const char*>(frame.image.data()), frame.image.size()));
    EXPECT_EQ(first.receiveLine(), "Settings written\r");

    // Both report at once, each at 9600 bit/s: neither can be done sooner than
    // its own bytes take on such a line.
    const auto start = std::chrono::steady_clock::now();
    first.send(cmdView());
    second.send(cmdView());
    bool found = false;
    std::size_t bytes = 0;
    EXPECT_EQ(first.receiveReport(&found, &bytes), distinctive());
    EXPECT_TRUE(found);
    EXPECT_EQ(second.receiveReport(&found), defaultSettings()) << "units share no settings";
    EXPECT_TRUE(found);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(std::chrono::duration<double>(elapsed).count(), bytes * 10 / 9600.0);

    EXPECT_EQ(silent.pending(), "") << "a silent unit answers nothing";

    // One cable pulled: that unit hangs up and comes back; the others stay.
    const std::string fresh = sim.unplugUnit(1);
    EXPECT_EQ(fs::read_symlink(link(1)), fresh);
    EXPECT_EQ(fs::read_symlink(link(0)), sim.paths()[0]);
    bool hungUp = false;
    second.receiveUntil([](const std::string&) { return false; }, &hungUp);
    EXPECT_TRUE(hungUp);
    first.send(cmdTest());
    EXPECT_EQ(first.receiveLine(), "Self-test OK\r");
    EXPECT_EQ(sim.stop(), 0);

    for (int unit = 0; unit < 3; ++unit) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(link(unit))));
    }
    const std::string log0 = readFile(log(0));
    const std::string log1 = readFile(log(1));
    const std::string log2 = readFile(log(2));
    EXPECT_NE(log0.find(" > \"+cfwr\\r"), std::string::npos) << log0;
    EXPECT_EQ(log0.find("unplugged"), std::string::npos) << log0;
    EXPECT_NE(log1.find("unplugged"), std::string::npos) << log1;
    EXPECT_EQ(log1.find("+cfwr"), std::string::npos) << log1;
    EXPECT_NE(log2.find(" > \"+vers\\r\"\n"), std::string::npos) << log2;
    EXPECT_EQ(log2.find(" < "), std::string::npos) << log2;
}

TEST(ModemSimProgram, RefusesASilentUnitBeyondItsCount) {
    EXPECT_THROW(test::SimProcess({"--count", "2", "--silent", "2"}), std::runtime_error);
    EXPECT_THROW(test::SimProcess({"--count", "0"}), std::runtime_error);
}

TEST(ModemSimProgram, RefusesAProfileFileItCannotRead) {
    EXPECT_THROW(test::SimProcess({"--profile0", "/nonexistent/p0.cfg"}), std::runtime_error);
}

TEST(ModemSimProgram, UsageErrorsExitTwoAsModemctlsDo) {
    const std::vector<std::pair<std::vector<std::string>, int>> cases{
        {{"--bogus"}, 2},
        {{"--baud", "fast"}, 2},
        {{"--profile0", "/no/such.cfg"}, 2},
        {{"--spoil-upload", "X"}, 2},
        {{"extra"}, 2},
        {{"--help"}, 0},
        {{"--version"}, 0}};
    for (const auto& [args, status] : cases) {
        std::vector<std::string> argv{test::SimProcess::executable()};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string err;
        EXPECT_EQ(test::ChildProgram(argv, test::ChildOutput::Discarded).finish(err), status)
            << args.front() << ": " << err;
        EXPECT_EQ(err.empty(), status == 0) << err;
    }
}

}  // namespace
}  // namespace modem
