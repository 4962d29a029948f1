// `modemctl read` against `modem-sim --baud 9600`: how close the read comes to
// the line's own pace. Prints, per run, the time from sending the read command
// to the parsed report divided by the report's wire time, and the whole
// command's time beside the wire time of every byte both ways plus the 100 ms
// close. Goals: a ratio of at most 1.05, and the whole command within 0.15 s of
// its wire-time sum. Nothing is asserted.
//
// With MODEMCTL_EXE (the Windows modemctl.exe) and MODEM_WINE_LINK (the path a
// COM port of the Wine prefix is mapped to; MODEM_WINE_PORT names the port,
// COM40 by default) it also runs the Windows program under Wine on the same
// line and prints both report ratios side by side. Wine's start-up is in the
// whole command's time, not in the report's.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "settings/mset.h"
#include "sim/modem_simulator.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double baud = 9600.0;
constexpr double bitsPerByte = 10.0;
constexpr double closeDelaySeconds = 0.100;

double wireSeconds(std::size_t bytes) {
    return static_cast<double>(bytes) * bitsPerByte / baud;
}

class Pipe {
public:
    Pipe() {
        if (::pipe2(m_fds, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe failed");
        }
    }
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    [[nodiscard]] int readEnd() const { return m_fds[0]; }
    [[nodiscard]] int writeEnd() const { return m_fds[1]; }
    void closeRead() { closeFd(m_fds[0]); }
    void closeWrite() { closeFd(m_fds[1]); }

private:
    static void closeFd(int& fd) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    int m_fds[2] = {-1, -1};
};

// Starts `args` (the program looked up on PATH) with standard output (and optionally standard
// error) on the pipe's write end, the rest on /dev/null.
pid_t spawn(const std::vector<std::string>& args, int outFd, int errFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        throw std::runtime_error("cannot start " + args[0]);
    }
    return pid;
}

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string environment(const char* name, const char* fallback = "") {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

// modem-sim for the whole benchmark: its terminal path is the first line it prints.
class Simulator {
public:
    explicit Simulator(std::vector<std::string> extra = {}) {
        Pipe out;
        const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        std::vector<std::string> args{MODEM_SIM_PATH, "--baud", "9600"};
        args.insert(args.end(), extra.begin(), extra.end());
        m_pid = spawn(args, out.writeEnd(), devNull);
        ::close(devNull);
        out.closeWrite();
        char c = 0;
        while (::read(out.readEnd(), &c, 1) == 1 && c != '\n') {
            m_path += c;
        }
        if (m_path.empty()) {
            stop();
            throw std::runtime_error("modem-sim printed no path");
        }
    }
    ~Simulator() { stop(); }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;
    [[nodiscard]] const std::string& path() const { return m_path; }

private:
    void stop() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
    }
    pid_t m_pid = -1;
    std::string m_path;
};

struct ReadRun {
    double wholeSeconds = 0;
    double reportSeconds = 0;  // from the read command to the parsed report
    bool ok = false;
};

// `command` is the program and its leading arguments; "read --port <port>
// --timing" follows.
ReadRun runRead(std::vector<std::string> command, const std::string& port) {
    Pipe err;
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const auto start = Clock::now();
    command.insert(command.end(), {"read", "--port", port, "--timing"});
    const pid_t pid = spawn(command, devNull, err.writeEnd());
    ::close(devNull);
    err.closeWrite();
    const std::string text = readAll(err.readEnd());
    int status = 0;
    ::waitpid(pid, &status, 0);
    ReadRun run;
    run.wholeSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    long long micros = 0;
    const auto at = text.find("report_us=");
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && at != std::string::npos &&
        std::sscanf(text.c_str() + at, "report_us=%lld", &micros) == 1) {
        run.reportSeconds = static_cast<double>(micros) / 1e6;
        run.ok = true;
    }
    return run;
}

// The mean report ratio of each program that ran, for the closing comparison.
double linuxRatio = 0;
double wineRatio = 0;

// Runs `command` against `sim` once per iteration and prints each run.
void measureReads(benchmark::State& state, const std::vector<std::string>& command,
                  const std::string& port, const char* label, double& meanRatio) {
    // What goes over the line for one read of the simulator's default settings.
    modem::ModemSimulator model;
    const std::size_t connectAnswer = model.receive("+cfge\r").size();
    const std::size_t reportBytes = model.receive("+view\r").size();
    const std::size_t closeAnswer = model.receive("+cfgd\r").size();
    const std::size_t sentBytes = 3 * 6;
    const double reportWire = wireSeconds(reportBytes);
    const double wireSum =
        wireSeconds(sentBytes + connectAnswer + reportBytes + closeAnswer) + closeDelaySeconds;

    double ratioSum = 0;
    double wholeSum = 0;
    int runs = 0;
    for (auto _ : state) {
        const ReadRun run = runRead(command, port);
        if (!run.ok) {
            state.SkipWithError("modemctl read failed");
            return;
        }
        state.SetIterationTime(run.wholeSeconds);
        const double ratio = run.reportSeconds / reportWire;
        std::printf(
            "%s run %d: report %.4f s / wire %.4f s = %.3f (goal <= 1.05); whole %.4f s, "
            "wire sum + close %.4f s, excess %.4f s (goal <= 0.15)\n",
            label, runs + 1, run.reportSeconds, reportWire, ratio, run.wholeSeconds, wireSum,
            run.wholeSeconds - wireSum);
        ratioSum += ratio;
        wholeSum += run.wholeSeconds;
        ++runs;
    }
    if (runs > 0) {
        meanRatio = ratioSum / runs;
        state.counters["report_ratio"] = meanRatio;
        state.counters["whole_s"] = wholeSum / runs;
        state.counters["wire_sum_s"] = wireSum;
        state.counters["excess_s"] = wholeSum / runs - wireSum;
        state.counters["report_bytes"] = static_cast<double>(reportBytes);
    }
}

void BM_ModemctlRead(benchmark::State& state) {
    Simulator sim;
    measureReads(state, {MODEMCTL_PATH}, sim.path(), "linux", linuxRatio);
}

// modemctl.exe under Wine, on a simulator whose terminal the prefix's COM port
// is mapped to.
void BM_ModemctlExeReadUnderWine(benchmark::State& state) {
    const std::string exe = environment("MODEMCTL_EXE");
    const std::string link = environment("MODEM_WINE_LINK");
    if (exe.empty() || link.empty()) {
        state.SkipWithError("MODEMCTL_EXE and MODEM_WINE_LINK are not set");
        for (auto _ : state) {
        }
        return;
    }
    Simulator sim({"--link", link});
    measureReads(state, {environment("WINE", "wine"), exe}, environment("MODEM_WINE_PORT", "COM40"),
                 "wine", wineRatio);
}

BENCHMARK(BM_ModemctlRead)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModemctlExeReadUnderWine)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (linuxRatio > 0 && wineRatio > 0) {
        std::printf("report / wire time: linux %.3f, modemctl.exe under wine %.3f (goal <= 1.05)\n",
                    linuxRatio, wineRatio);
    }
    return 0;
}
