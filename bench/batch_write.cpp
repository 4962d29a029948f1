// `modemctl write` on a batch of 1, 4 and 8 modems, each a unit of one
// `modem-sim --count 8` at 9600 bit/s: the time of each batch beside one
// modem's, and the modemctl process's CPU time. The wire is the limit: the
// goal is 8 modems in at most 1.25 times one modem's time. Nothing is
// asserted; the figures are printed.
//
// Usage: bench_batch_write [RUNS]   (3 runs of each size by default)

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "settings/mset.h"
#include "settings/settings_file.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned mostUnits = 8;

// `errFd` below 0 leaves standard error as it is.
pid_t spawn(std::vector<std::string> args, int outFd, int errFd = -1) {
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    if (errFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    }
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        throw std::runtime_error("cannot start " + args.front());
    }
    return pid;
}

// modem-sim serving every unit, its terminals behind links in a folder.
class Simulator {
public:
    explicit Simulator(const std::filesystem::path& links) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe failed");
        }
        m_pid = spawn({MODEM_SIM_PATH, "--count", std::to_string(mostUnits), "--link",
                       (links / "unit").string()},
                      fds[1]);
        ::close(fds[1]);
        // Each unit prints its terminal once it is there.
        std::string seen;
        char buffer[512];
        while (std::count(seen.begin(), seen.end(), '\n') < mostUnits) {
            const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n <= 0) {
                ::close(fds[0]);
                throw std::runtime_error("modem-sim announced no terminals");
            }
            seen.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fds[0]);
    }
    ~Simulator() {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

private:
    pid_t m_pid = -1;
};

struct Run {
    double seconds = 0;
    double cpuSeconds = 0;  // user and system time of the modemctl process
    int status = -1;
};

Run writeBatch(const std::filesystem::path& links, const std::string& settings, unsigned units) {
    std::vector<std::string> args{MODEMCTL_PATH, "write", settings};
    for (unsigned unit = 0; unit < units; ++unit) {
        args.push_back("--port");
        args.push_back((links / ("unit" + std::to_string(unit))).string());
    }
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const auto start = Clock::now();
    const pid_t pid = spawn(args, devNull, devNull);  // the progress and the table too
    ::close(devNull);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Run run;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const auto toSeconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    run.cpuSeconds = toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    char pattern[] = "/tmp/modem-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path dir = pattern;
    const std::string settings = (dir / "template.cfg").string();
    if (!modem::saveSettingsFile(settings, modem::defaultSettings()).ok) {
        std::fprintf(stderr, "cannot write %s\n", settings.c_str());
        return 1;
    }
    int result = 0;
    {
        Simulator sim(dir);
        std::printf("modemctl write, verified, at 9600 bit/s (best of %d runs)\n", runs);
        std::printf("%6s %10s %10s %12s %10s\n", "units", "seconds", "vs one", "cpu seconds",
                    "status");
        double one = 0;
        for (const unsigned units : {1U, 4U, 8U}) {
            Run best;
            for (int r = 0; r < runs; ++r) {
                const Run run = writeBatch(dir, settings, units);
                if (r == 0 || run.seconds < best.seconds) {
                    best = run;
                }
            }
            if (units == 1) {
                one = best.seconds;
            }
            std::printf("%6u %10.2f %10.2f %12.3f %10d\n", units, best.seconds, best.seconds / one,
                        best.cpuSeconds, best.status);
            result = best.status != 0 ? 1 : result;
        }
        std::printf("goal: 8 units within 1.25 times one unit's time\n");
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return result;
}
