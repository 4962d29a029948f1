// modemctl.exe under Wine against modem-sim: the simulator's terminal is
// mapped to a COM port of the Wine prefix, and the Windows program's answers
// are compared with the Linux program's on the same simulator.
//
// Needs, in the environment (scripts/test-windows sets them up):
//   MODEMCTL_EXE      the Windows modemctl.exe
//   MODEM_WINE_LINK   the path the COM port is mapped to in HKLM\Software\Wine\Ports
//   MODEM_WINE_PORT   that COM port (default COM40)
//   WINEPREFIX        the prefix holding the mapping; WINE the loader (default wine)
// Without MODEMCTL_EXE every test is skipped.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "link/terminal_pane.h"
#include "settings/mset.h"
#include "settings/settings_file.h"
#include "support/sim_process.h"
#include "support/sim_traffic.h"
#include "support/temp_dir.h"
#include "traffic/traffic_format.h"

extern char** environ;

namespace modem::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Clock = std::chrono::steady_clock;

std::string environment(const char* name, std::string fallback = {}) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

struct Finished {
    int status = -1;  // exit status; -1 when killed
    std::string out;
    std::string err;
    bool timedOut = false;
    double cpuSeconds = 0;  // user and system time of the program's process
    Clock::time_point end;
};

// A program with its standard output and error collected through pipes.
class Program {
public:
    // `input`, when given, is the file the program reads as standard input.
    explicit Program(const std::vector<std::string>& argv, const std::string& input = {}) {
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe failed");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        if (!input.empty()) {
            posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, input.c_str(), O_RDONLY, 0);
        }
        std::vector<char*> args;
        std::vector<std::string> copy = argv;
        for (auto& a : copy) {
            args.push_back(a.data());
        }
        args.push_back(nullptr);
        const int rc = ::posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
        if (rc != 0) {
            ::close(m_out);
            ::close(m_err);
            throw std::runtime_error("cannot start " + argv[0]);
        }
    }
    ~Program() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_out);
        ::close(m_err);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Collects the output until the program ends; past `limit` it is killed.
    // Wine's helper processes, started by the first program, inherit its pipes
    // and keep them open: the program's end, not the pipes', ends the wait.
    Finished finish(std::chrono::milliseconds limit) {
        Finished f;
        const auto deadline = Clock::now() + limit;
        int status = 0;
        rusage usage{};
        std::array<pollfd, 2> pipes{{{m_out, POLLIN, 0}, {m_err, POLLIN, 0}}};
        std::array<std::string*, 2> into{&f.out, &f.err};
        bool ended = false;
        while (!ended) {
            ended = ::wait4(m_pid, &status, WNOHANG, &usage) == m_pid;
            if (!ended && Clock::now() >= deadline) {
                f.timedOut = true;
                ::kill(m_pid, SIGKILL);
                while (::wait4(m_pid, &status, 0, &usage) < 0 && errno == EINTR) {
                }
                ended = true;
            }
            // Once it has ended, what it wrote last is in the pipes already.
            while (::poll(pipes.data(), pipes.size(), ended ? 0 : 20) > 0) {
                for (std::size_t i = 0; i < pipes.size(); ++i) {
                    if (pipes[i].revents != 0 && !readInto(pipes[i].fd, *into[i])) {
                        pipes[i].fd = -1;  // closed: poll leaves it out
                    }
                }
            }
        }
        m_pid = -1;
        f.end = Clock::now();
        f.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        f.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        return f;
    }

private:
    // Appends what one read gives; returns whether the pipe is still open.
    static bool readInto(int fd, std::string& into) {
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
            return true;
        }
        return n < 0 && errno == EINTR;
    }

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
};

constexpr auto runLimit = std::chrono::seconds(60);

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

// The name a Windows program sees for a Linux path: Wine's drive Z: is the root.
std::string windowsPath(const std::filesystem::path& path) {
    std::string text = "Z:" + path.string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

class WineModemctl : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (environment("MODEMCTL_EXE").empty()) {
            return;
        }
        // A server started by the first program would inherit its standard
        // error and write there when a mapped terminal hangs up: start it here,
        // with its output discarded.
        const std::string server = environment("WINESERVER", "wineserver");
        const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, devNull, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, devNull, STDERR_FILENO);
        std::string persist = "-p";
        char* args[] = {const_cast<char*>(server.c_str()), persist.data(), nullptr};
        pid_t pid = -1;
        if (::posix_spawnp(&pid, server.c_str(), &actions, nullptr, args, environ) == 0) {
            ::waitpid(pid, nullptr, 0);
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(devNull);
    }

    void SetUp() override {
        if (m_exe.empty()) {
            GTEST_SKIP() << "MODEMCTL_EXE is not set (scripts/test-windows sets it)";
        }
        ASSERT_FALSE(m_link.empty()) << "MODEM_WINE_LINK is not set";
    }

    void startSim(const std::string& baud) {
        m_sim.emplace(std::vector<std::string>{"--link", m_link, "--baud", baud, "--log",
                                               (m_dir / "sim.log").string()});
    }

    std::unique_ptr<Program> startWindows(std::vector<std::string> args,
                                          const std::string& input = {}) {
        args.insert(args.begin(), {environment("WINE", "wine"), m_exe});
        return std::make_unique<Program>(args, input);
    }
    Finished windows(std::vector<std::string> args) {
        return startWindows(std::move(args))->finish(runLimit);
    }
    Finished windowsOnPort(std::vector<std::string> args) {
        args.insert(args.end(), {"--port", m_port});
        return windows(std::move(args));
    }
    Finished linuxOnPort(std::vector<std::string> args) {
        args.insert(args.begin(), MODEMCTL_PATH);
        args.insert(args.end(), {"--port", m_sim->path()});
        return Program(args).finish(runLimit);
    }

    // Waits until the simulator has received `command` more often than `seen` times.
    bool simReceived(const std::string& command, std::size_t seen) {
        const auto until = Clock::now() + std::chrono::seconds(30);
        while (Clock::now() < until) {
            if (count(receivedBySim(m_dir / "sim.log"), command) > seen) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    std::string m_exe = environment("MODEMCTL_EXE");
    std::string m_link = environment("MODEM_WINE_LINK");
    std::string m_port = environment("MODEM_WINE_PORT", "COM40");
    TempDir m_dir;
    std::optional<SimProcess> m_sim;
};

TEST_F(WineModemctl, ReadGivesTheSameJsonAsOnLinux) {
    startSim("9600");
    const Finished onLinux = linuxOnPort({"read"});
    const Finished onWindows = windowsOnPort({"read"});
    ASSERT_EQ(onLinux.status, 0) << onLinux.err;
    ASSERT_EQ(onWindows.status, 0) << onWindows.err;
    EXPECT_THAT(onWindows.out, HasSubstr("\"CH\""));
    EXPECT_EQ(onWindows.out, onLinux.out);  // byte for byte, line ends included
}

TEST_F(WineModemctl, WriteVerifiesAndStoresWhatAReadOfTheProfileThenShows) {
    startSim("0");
    Mset m = defaultSettings();
    m.WT = 400;
    m.REP = 3;
    m.CH[4].RXF = 156125;
    const auto file = m_dir / "site.cfg";
    ASSERT_TRUE(saveSettingsFile(file, m).ok);

    const Finished written =
        windowsOnPort({"write", windowsPath(file), "--verify", "--store", "1"});
    ASSERT_EQ(written.status, 0) << written.err;
    EXPECT_THAT(written.err, Not(HasSubstr("verify:")));
    EXPECT_THAT(receivedBySim(m_dir / "sim.log"), HasSubstr("+sav1\r"));

    const Finished onWindows = windowsOnPort({"read", "--profile", "1"});
    const Finished onLinux = linuxOnPort({"read", "--profile", "1"});
    ASSERT_EQ(onWindows.status, 0) << onWindows.err;
    EXPECT_THAT(onWindows.out, HasSubstr("\"WT\": 400"));
    EXPECT_EQ(onWindows.out, onLinux.out);
}

TEST_F(WineModemctl, SendPrintsTheModemsAnswerAndPortsListsThePort) {
    startSim("0");
    const Finished sent = windowsOnPort({"send", "vers"});
    ASSERT_EQ(sent.status, 0) << sent.err;
    EXPECT_THAT(sent.out, HasSubstr("Version"));
    EXPECT_EQ(count(sent.out, "\r"), 0U);  // line ends as on Linux

    const Finished ports = windows({"ports"});
    EXPECT_EQ(ports.status, 0) << ports.err;
    EXPECT_THAT(ports.out, HasSubstr(m_port + "\n"));
}

TEST_F(WineModemctl, OpenFailuresNameTheirCause) {
    startSim("0");
    // The first program holds the port for a while; the second is turned away.
    auto holder = startWindows({"send", "vers", "--wait", "3000", "--port", m_port});
    ASSERT_TRUE(simReceived("+vers", 0));
    const Finished second = windowsOnPort({"read"});
    EXPECT_EQ(second.status, 1);
    EXPECT_THAT(second.err, HasSubstr("in use by another program"));
    const Finished first = holder->finish(runLimit);
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_THAT(first.out, HasSubstr("Version"));

    const Finished missing = windows({"read", "--port", "COM199"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_THAT(missing.err, HasSubstr("COM199: no such port"));
}

// The simulated report goes out byte for byte, and a pane's text, whose lines
// end in CR LF, comes in through standard input as it is: text mode would drop
// the CRs and move every field of the report off its column.
TEST_F(WineModemctl, StandardStreamsCarryBytesUnchanged) {
    Mset m = defaultSettings();
    m.WT = 400;
    m.CH[4].RXF = 156125;
    const auto file = m_dir / "site.cfg";
    ASSERT_TRUE(saveSettingsFile(file, m).ok);
    const Finished onLinux = Program({MODEMCTL_PATH, "report", file.string()}).finish(runLimit);
    const Finished onWindows = windows({"report", windowsPath(file)});
    ASSERT_EQ(onWindows.status, 0) << onWindows.err;
    EXPECT_EQ(onWindows.out, onLinux.out);

    TerminalPane pane;
    pane.appendBytes(
        std::span(reinterpret_cast<const std::uint8_t*>(onLinux.out.data()), onLinux.out.size()));
    const auto paneText = m_dir / "pane.txt";
    std::ofstream(paneText, std::ios::binary) << pane.snapshot();
    ASSERT_THAT(pane.snapshot(), HasSubstr("\r\n"));
    const Finished parsedOnLinux =
        Program({MODEMCTL_PATH, "parse-report", "-"}, paneText.string()).finish(runLimit);
    const Finished parsed =
        startWindows({"parse-report", "-"}, paneText.string())->finish(runLimit);
    ASSERT_EQ(parsed.status, 0) << parsed.err;
    EXPECT_THAT(parsed.out, HasSubstr("\"WT\": 400"));
    EXPECT_EQ(parsed.out, parsedOnLinux.out);
}

TEST_F(WineModemctl, UnplugDuringAReadFailsAtOnceWithoutSpinningAndThePortComesBack) {
    startSim("9600");
    auto reading = startWindows({"read", "--port", m_port});
    ASSERT_TRUE(simReceived("+view", 0));
    // Part of the report is on its way.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    m_sim->unplug();
    const auto unplugged = Clock::now();
    const Finished f = reading->finish(runLimit);
    ASSERT_FALSE(f.timedOut);
    EXPECT_EQ(f.status, 1);
    // One line naming the port and the hang-up, as a lost line is reported.
    EXPECT_THAT(f.err, HasSubstr(m_port + ": the line hung up"));
    EXPECT_EQ(count(f.err, "\n"), 1U) << f.err;
    // The hang-up took the link down: the closing "+cfgd\r" was not even tried.
    EXPECT_THAT(f.err, Not(HasSubstr("Could not write")));
    EXPECT_EQ(f.out, "");
    const double after = std::chrono::duration<double>(f.end - unplugged).count();
    EXPECT_LT(after, 3.0) << "the hang-up was not noticed";
    std::printf("ended %.3f s after the unplug, %.3f s of processor time\n", after, f.cpuSeconds);
    // Start-up included; a waiting loop that spins burns this within a second.
    EXPECT_LT(f.cpuSeconds, 0.5);

    // The mapping follows the simulator's fresh terminal: a new read works.
    const Finished again = windowsOnPort({"read"});
    EXPECT_EQ(again.status, 0) << again.err;
}

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;  // UTF-8, exactly as the file system holds them
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A Cyrillic folder with a settings file, its JSON and a pane holding its report.
std::filesystem::path stationFolder(const std::filesystem::path& side) {
    const auto folder = side / "Настройки станции";
    std::filesystem::create_directories(folder);
    Mset m = defaultSettings();
    m.WT = 400;
    m.VMODE = 1;
    const auto cfg = folder / "Профиль №1.cfg";
    EXPECT_TRUE(saveSettingsFile(cfg, m).ok);
    std::ofstream(folder / "Профиль.json", std::ios::binary)
        << Program({MODEMCTL_PATH, "export", cfg.string()}).finish(runLimit).out;
    const std::string report =
        Program({MODEMCTL_PATH, "report", cfg.string()}).finish(runLimit).out;
    TerminalPane pane;
    pane.appendBytes(
        std::span(reinterpret_cast<const std::uint8_t*>(report.data()), report.size()));
    std::ofstream(folder / "Отчёт модема.txt", std::ios::binary) << pane.snapshot();
    return folder;
}

// Every option that takes a file, with Cyrillic folder and file names: each
// command does on Windows what it does on Linux, the files it makes have
// exactly the names given, and a missing file is named as it was typed.
TEST_F(WineModemctl, CyrillicFileNamesForEveryOptionThatTakesAFile) {
    const auto onLinux = stationFolder(m_dir / "linux");
    const auto onWindows = stationFolder(m_dir / "windows");
    // "@" stands for the folder, in each program's own spelling.
    const std::vector<std::vector<std::string>> commands = {
        {"defaults", "-o", "@Настройки по умолчанию.cfg"},
        {"import", "@Профиль.json", "-o", "@Из JSON.cfg"},
        {"check", "@Профиль №1.cfg", "--output", "@Проверено.cfg"},
        {"export", "@Профиль №1.cfg"},
        {"channels", "@Профиль №1.cfg"},
        {"report", "@Профиль №1.cfg"},
        {"parse-report", "@Отчёт модема.txt", "--base", "@Профиль №1.cfg", "-o", "@Из отчёта.cfg"},
        {"diff", "@Профиль №1.cfg", "@Настройки по умолчанию.cfg"},
    };
    for (const auto& command : commands) {
        std::vector<std::string> linuxArgs{MODEMCTL_PATH};
        std::vector<std::string> windowsArgs;
        for (const std::string& a : command) {
            const bool file = a.starts_with("@");
            linuxArgs.push_back(file ? (onLinux / a.substr(1)).string() : a);
            windowsArgs.push_back(file ? windowsPath(onWindows / a.substr(1)) : a);
        }
        const Finished expected = Program(linuxArgs).finish(runLimit);
        const Finished got = windows(windowsArgs);
        EXPECT_EQ(got.status, expected.status) << command[0] << ": " << got.err;
        EXPECT_EQ(got.out, expected.out) << command[0];
        if (command[0] == "diff") {
            EXPECT_THAT(got.out, HasSubstr("VMODE: ГРЕН-9.6 -> ЗУЛК"));
        }
    }
    ASSERT_EQ(namesIn(onWindows), namesIn(onLinux));
    for (const std::string& name : namesIn(onLinux)) {
        EXPECT_EQ(readFile(onWindows / name), readFile(onLinux / name)) << name;
    }
    const auto missing = windowsPath(onWindows / "Нет такого.cfg");
    const Finished failed = windows({"export", missing});
    EXPECT_EQ(failed.status, 1);
    EXPECT_THAT(failed.err,
                ::testing::StartsWith("modemctl: " + missing + ": Could not load file"));
}

// The files of the commands that talk to the modem: the settings read onto a
// base and written out, the file written to the modem, both traffic logs.
TEST_F(WineModemctl, CyrillicFileNamesOfTheModemCommands) {
    startSim("0");
    const auto folder = stationFolder(m_dir / "windows");
    const auto in = [&](const std::string& name) { return windowsPath(folder / name); };
    const Finished written =
        windowsOnPort({"write", in("Профиль №1.cfg"), "--log", in("Журнал записи.log")});
    ASSERT_EQ(written.status, 0) << written.err;
    const Finished read = windowsOnPort({"read", "--base", in("Профиль №1.cfg"), "-o",
                                         in("Прочитано.cfg"), "--log", in("Журнал чтения.log")});
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(receivedBySim(folder / "Журнал записи.log").substr(0, 12), "+cfge\r+cfwr\r");
    EXPECT_THAT(receivedBySim(folder / "Журнал чтения.log"), HasSubstr("+view\r"));
    Mset back;
    ASSERT_TRUE(loadSettingsFile(folder / "Прочитано.cfg", back).ok);
    EXPECT_EQ(back.WT, 400);
}

// A batch on three COM ports, one modem-sim unit behind each: one unit
// unplugged once its upload has begun, one silent. The program says which
// failed, keeps a record per unit, and the good unit holds its row's values,
// read back by the Linux program on the unit's own terminal.
TEST_F(WineModemctl, ABatchOnThreeComPortsWithOneUnpluggedAndOneSilent) {
    const std::string portList = environment("MODEM_WINE_BATCH_PORTS");
    const std::string batchLink = environment("MODEM_WINE_BATCH_LINK");
    if (portList.empty() || batchLink.empty()) {
        GTEST_SKIP() << "MODEM_WINE_BATCH_PORTS is not set (scripts/test-windows sets it)";
    }
    std::vector<std::string> ports;
    std::stringstream list(portList);
    for (std::string port; std::getline(list, port, ',');) {
        ports.push_back(port);
    }
    ASSERT_EQ(ports.size(), 3U);
    SimProcess sim({"--count", "3", "--silent", "2", "--link", batchLink, "--log",
                    (m_dir / "unit.log").string()});
    const auto templ = m_dir / "template.cfg";
    ASSERT_TRUE(saveSettingsFile(templ, defaultSettings()).ok);
    const auto csv = m_dir / "units.csv";
    std::ofstream(csv, std::ios::binary)
        << "port,IDRX1,IDTX1,CH02,CHL1\r\n"
        << ports[0] << ",0x155,0x255,\"02-r150.125-t151.250s0400pLo\",01-03-05\r\n"
        << ports[1] << ",0x156,0x256,,\r\n"
        << ports[2] << ",0x157,0x257,,\r\n";
    const auto records = m_dir / "records";

    const auto program = startWindows({"write", windowsPath(templ), "--units", windowsPath(csv),
                                       "--records", windowsPath(records)});
    const auto unit1 = m_dir / "unit1.log";
    const auto until = Clock::now() + std::chrono::seconds(60);
    while (receivedBySim(unit1).find("+cfwr\r") == std::string::npos && Clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_THAT(receivedBySim(unit1), HasSubstr("+cfwr\r"));
    sim.unplugUnit(1);
    const Finished written = program->finish(runLimit);

    EXPECT_EQ(written.status, 1) << written.err;
    const auto row = [&](const std::string& port) {
        const auto at = written.err.find("\n" + port + " ", written.err.find("PORT "));
        return at == std::string::npos
                   ? std::string()
                   : written.err.substr(at + 1, written.err.find('\n', at + 1) - at - 1);
    };
    EXPECT_THAT(row(ports[0]), HasSubstr("  ok  "));
    EXPECT_THAT(row(ports[1]), HasSubstr("  failed: "));
    EXPECT_THAT(row(ports[2]), HasSubstr("  failed: verify: no settings report"));

    std::vector<std::string> names = namesIn(records);
    ASSERT_EQ(names.size(), 6U) << written.err;
    for (std::size_t unit = 0; unit < ports.size(); ++unit) {
        EXPECT_THAT(names[2 * unit], ::testing::StartsWith(ports[unit] + "-"));
        EXPECT_THAT(names[2 * unit], ::testing::EndsWith(".json"));
        EXPECT_THAT(names[2 * unit + 1], ::testing::EndsWith(".log"));
        const std::string record = readFile(records / names[2 * unit]);
        EXPECT_THAT(record, HasSubstr("\"port\": \"" + ports[unit] + "\""));
        EXPECT_THAT(record, HasSubstr(unit == 0 ? "\"result\": \"ok\"" : "\"result\": \"failed\""));
    }

    const auto back = m_dir / "back.cfg";
    const Finished read = Program({MODEMCTL_PATH, "read", "--port", sim.paths()[0], "--base",
                                   templ.string(), "-o", back.string()})
                              .finish(runLimit);
    ASSERT_EQ(read.status, 0) << read.err;
    Mset held{};
    ASSERT_TRUE(loadSettingsFile(back, held).ok);
    EXPECT_EQ(held.IDRX1, 0x155U);
    EXPECT_EQ(held.IDTX1, 0x255U);
    EXPECT_EQ(held.CH[1].RXF, 150125U);
    EXPECT_EQ(held.CH[1].TXF, 151250U);
    EXPECT_EQ(held.CH[1].THR, 400U);
    EXPECT_EQ(held.CHS1, 3U);
    EXPECT_EQ(held.CHL1, 0x02400000U);
}

// modemcfg.exe's own --log: made under the name given, before the dialog shows.
TEST(WineModemcfg, TheTrafficLogHasItsCyrillicName) {
    const std::string exe = environment("MODEMCFG_EXE");
    if (exe.empty()) {
        GTEST_SKIP() << "MODEMCFG_EXE is not set (scripts/test-windows sets it)";
    }
    const TempDir dir;
    const Finished shown = Program({environment("WINE", "wine"), exe, "--log",
                                    windowsPath(dir / "обмен порта.log"), "--quit-when-shown"})
                               .finish(runLimit);
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"обмен порта.log"});
}

}  // namespace
}  // namespace modem::test
