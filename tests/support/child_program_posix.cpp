#include "support/child_program_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

#include "traffic/traffic_format.h"

extern char** environ;

namespace modem::test {

namespace {

using Clock = std::chrono::steady_clock;

// Appends what one read gives; returns whether the pipe is still open.
bool readInto(int fd, std::string& into) {
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
        into.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
    return n < 0 && errno == EINTR;
}

}  // namespace

ChildProgram::ChildProgram(const std::vector<std::string>& argv, ChildOutput output,
                           const std::filesystem::path& input) {
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    if (output == ChildOutput::ClosedPipe) {
        ::close(std::exchange(out[0], -1));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output == ChildOutput::FullDisk) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/full", O_WRONLY, 0);
    } else {
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    }
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    const std::string in = input.empty() ? std::string("/dev/null") : input.string();
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, in.c_str(), O_RDONLY, 0);
    std::vector<std::string> copy = argv;
    std::vector<char*> args;
    for (auto& a : copy) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    // The test program may ignore signals that the child must feel as it would
    // from a shell.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    const int rc = ::posix_spawn(&m_pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    m_out = out[0];
    m_err = err[0];
    if (rc != 0) {
        m_pid = -1;
        throw std::runtime_error("cannot start " + argv.at(0));
    }
}

ChildProgram::~ChildProgram() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0) {
        ::close(m_out);
    }
    ::close(m_err);
}

void ChildProgram::signal(int number) const {
    if (m_pid > 0) {
        ::kill(m_pid, number);
    }
}

ChildResult ChildProgram::finish(std::chrono::milliseconds limit) {
    ChildResult result;
    const auto deadline = Clock::now() + limit;
    pollfd pipes[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
    std::string* into[2] = {&result.out, &result.err};
    int status = 0;
    bool ended = false;
    while (!ended) {
        ended = ::waitpid(m_pid, &status, WNOHANG) == m_pid;
        if (!ended && Clock::now() >= deadline) {
            result.timedOut = true;
            ::kill(m_pid, SIGKILL);
            while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
            }
            ended = true;
        }
        // Once it has ended, what it wrote last is in the pipes already.
        while (::poll(pipes, 2, ended ? 0 : 20) > 0) {
            for (std::size_t i = 0; i < 2; ++i) {
                if (pipes[i].revents != 0 && !readInto(pipes[i].fd, *into[i])) {
                    pipes[i].fd = -1;  // closed: poll leaves it out
                }
            }
        }
    }
    m_pid = -1;
    result.status = WIFEXITED(status) && !result.timedOut ? WEXITSTATUS(status) : -1;
    return result;
}

std::string receivedBySim(const std::filesystem::path& log) {
    std::ifstream file(log, std::ios::binary);
    std::istringstream in{
        std::string{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()}};
    std::string out;
    for (std::string line; std::getline(in, line);) {
        const auto entry = parseTrafficEntry(line);
        if (entry && entry->direction == TrafficDirection::ToModem) {
            out.append(entry->bytes.begin(), entry->bytes.end());
        }
    }
    return out;
}

bool simHasReceived(const std::filesystem::path& log, const std::string& bytes,
                    std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        if (receivedBySim(log).find(bytes) != std::string::npos) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        // The simulator's log has no event to wait on; it is read again.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace modem::test
