// Receive throughput from an unpaced source on a pseudo-terminal: the link's
// receive thread into the pane model, with and without the traffic log, beside
// picocom receiving the same stream in the same run, all taking turns. Prints
// figures only; the goal is at least 40 MB/s, no slower than picocom, and the
// log costing no more than a tenth.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "link/discovery.h"
#include "link/link.h"
#include "link/serial_port.h"
#include "tests/support/manual_timer.h"
#include "tests/support/queue_dispatcher.h"
#include "traffic/traffic_log.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t streamSize = 32u << 20;  // bytes per turn

// Modem-like text: lines of 50 characters ending in CR.
const std::string& stream() {
    static const std::string s = [] {
        std::string text;
        text.reserve(streamSize);
        while (text.size() < streamSize) {
            for (int i = 0; i < 50; ++i) {
                text += static_cast<char>('0' + (text.size() + i) % 43);
            }
            text += '\r';
        }
        text.resize(streamSize);
        return text;
    }();
    return s;
}

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

struct Pty {
    Fd master;
    std::string path;
};

Pty openPty() {
    const int m = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m < 0 || ::grantpt(m) != 0 || ::unlockpt(m) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    return Pty{Fd(m), ::ptsname(m)};
}

void writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

class NullMessages : public modem::MessageBox {
public:
    void show(std::string_view text, std::string_view caption, modem::MessageIcon) override {
        std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                     static_cast<int>(text.size()), text.data());
    }
    modem::Answer ask(std::string_view text, std::string_view caption) override {
        show(text, caption, modem::MessageIcon::Warning);
        return modem::Answer::No;
    }
};

struct Turn {
    double seconds = 0;
    std::size_t received = 0;
    std::uintmax_t logSize = 0;  // bytes of the log file afterwards
    double cpuSeconds = 0;       // the process's, until the log has written everything
};

enum class Logging { Off, On };

// The link connected to a pseudo-terminal; the stream is written to the far
// side as fast as the terminal takes it. The time ends when the last byte is in
// the pane, however far the log's writer is behind.
Turn linkTurn(Logging logging) {
    const auto logPath = std::filesystem::temp_directory_path() / "receive_throughput.log";
    std::filesystem::remove(logPath);
    std::unique_ptr<modem::TrafficLog> log;
    if (logging == Logging::On) {
        modem::OpenedTrafficLog opened = modem::TrafficLog::open(logPath);
        if (!opened.log) {
            std::fprintf(stderr, "%s\n", opened.error.c_str());
            return {};
        }
        log = std::move(opened.log);
    }
    Pty pty = openPty();
    modem::TerminalPane pane;
    NullMessages messages;
    modem::test::ManualTimer timer;
    modem::test::QueueDispatcher dispatcher;
    modem::FixedPortFinder finder(pty.path);
    modem::Link link({pane, messages, timer, dispatcher, finder,
                      [] { return modem::makeSystemSerialPort(); }, nullptr, log.get()});
    link.toggleConnection();
    if (!link.connected()) {
        return {};
    }
    const std::uint64_t base = link.bytesReceived();
    const std::clock_t cpuStart = std::clock();
    const auto start = Clock::now();
    std::thread writer([&] { writeAll(pty.master.get(), stream()); });
    const auto giveUp = start + std::chrono::seconds(30);
    while (link.bytesReceived() - base < streamSize && Clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    Turn turn{std::chrono::duration<double>(Clock::now() - start).count(),
              static_cast<std::size_t>(link.bytesReceived() - base)};
    writer.join();
    // The pane must end with the stream's last line, not just the right count.
    const std::string tail = stream().substr(stream().rfind('\r') + 1);
    if (pane.snapshot().rfind(tail) == std::string::npos) {
        turn.received = 0;
    }
    link.shutdown();
    log.reset();
    turn.cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::error_code ec;
    turn.logSize = logging == Logging::On ? std::filesystem::file_size(logPath, ec) : 0;
    std::filesystem::remove(logPath, ec);
    return turn;
}

// picocom on its own pseudo-terminal, its terminal output counted through a pipe.
Turn picocomTurn() {
    Pty line = openPty();
    Pty console = openPty();
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        return {};
    }
    Fd readEnd(out[0]);
    Fd writeEnd(out[1]);
    Fd consoleSide(::open(console.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, consoleSide.get(), 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 2);
    std::string portArg = line.path;
    char program[] = "picocom";
    char baud[] = "-b";
    char rate[] = "9600";
    char* argv[] = {program, baud, rate, portArg.data(), nullptr};
    // Its own process group: picocom ends by signalling its whole group.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, "picocom", &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        return {};
    }

    std::string banner;
    std::vector<char> buffer(1 << 16);
    Turn turn;
    const auto giveUp = Clock::now() + std::chrono::seconds(30);
    while (banner.find("Terminal ready\r\n") == std::string::npos && Clock::now() < giveUp) {
        pollfd p{readEnd.get(), POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0) {
            continue;
        }
        const ssize_t n = ::read(readEnd.get(), buffer.data(), buffer.size());
        if (n <= 0) {
            break;
        }
        banner.append(buffer.data(), static_cast<std::size_t>(n));
    }
    if (banner.find("Terminal ready\r\n") != std::string::npos) {
        // Anything after the banner is already stream.
        turn.received = banner.size() - (banner.find("Terminal ready\r\n") + 16);
        const auto start = Clock::now();
        std::thread writer([&] { writeAll(line.master.get(), stream()); });
        while (turn.received < streamSize && Clock::now() < giveUp) {
            const ssize_t n = ::read(readEnd.get(), buffer.data(), buffer.size());
            if (n <= 0) {
                break;
            }
            turn.received += static_cast<std::size_t>(n);
        }
        turn.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        ::kill(pid, SIGTERM);
        writer.join();
    } else {
        std::fprintf(stderr, "picocom did not start: %s\n", banner.c_str());
        ::kill(pid, SIGTERM);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return turn;
}

void BM_ReceiveThroughput(benchmark::State& state) {
    double linkSeconds = 0;
    double loggedSeconds = 0;
    double picocomSeconds = 0;
    std::size_t linkBytes = 0;
    std::size_t loggedBytes = 0;
    std::size_t picocomBytes = 0;
    std::size_t lost = 0;
    int iteration = 0;
    double logSizes = 0;
    double linkCpu = 0;
    double loggedCpu = 0;
    for (auto _ : state) {
        // Each goes first in turn, so neither gains from the order.
        const bool logFirst = (iteration++ % 2) == 1;
        const Turn g0 = logFirst ? linkTurn(Logging::On) : Turn{};
        const Turn l = linkTurn(Logging::Off);
        const Turn g = logFirst ? g0 : linkTurn(Logging::On);
        const Turn p = picocomTurn();
        state.SetIterationTime(l.seconds);
        linkSeconds += l.seconds;
        loggedSeconds += g.seconds;
        picocomSeconds += p.seconds;
        linkBytes += l.received;
        loggedBytes += g.received;
        logSizes += static_cast<double>(g.logSize);
        linkCpu += l.cpuSeconds;
        loggedCpu += g.cpuSeconds;
        picocomBytes += p.received;
        lost += streamSize - std::min(streamSize, l.received);
        lost += streamSize - std::min(streamSize, g.received);
    }
    state.counters["link_MB/s"] = linkSeconds > 0 ? linkBytes / linkSeconds / 1e6 : 0;
    state.counters["link_logged_MB/s"] = loggedSeconds > 0 ? loggedBytes / loggedSeconds / 1e6 : 0;
    state.counters["picocom_MB/s"] = picocomSeconds > 0 ? picocomBytes / picocomSeconds / 1e6 : 0;
    state.counters["log_file_MB_per_turn"] =
        logSizes / 1e6 / static_cast<double>(state.iterations());
    // The processor time a turn costs, the log's writer included: unlike the
    // rates, hardly moved by other work on the machine.
    const auto turns = static_cast<double>(state.iterations());
    state.counters["link_cpu_s_per_turn"] = linkCpu / turns;
    state.counters["link_logged_cpu_s_per_turn"] = loggedCpu / turns;
    state.counters["link_lost_bytes"] = static_cast<double>(lost);
    state.SetBytesProcessed(static_cast<std::int64_t>(linkBytes));
}
BENCHMARK(BM_ReceiveThroughput)->UseManualTime()->Iterations(4)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
