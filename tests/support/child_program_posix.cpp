#include "support/child_program_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <utility>

#include "traffic/traffic_format.h"

extern char** environ;

namespace modem::test {

ChildProgram::ChildProgram(std::vector<std::string> argv, ChildOutput output) {
    int err[2];
    int out[2];
    if (::pipe2(err, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    ::close(out[0]);  // for ClosedPipe: nobody will ever read
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (output == ChildOutput::ClosedPipe) {
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(
            &actions, STDOUT_FILENO, output == ChildOutput::FullDisk ? "/dev/full" : "/dev/null",
            O_WRONLY, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    std::vector<char*> args;
    for (auto& a : argv) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    const int rc = ::posix_spawn(&m_pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(err[1]);
    ::close(out[1]);
    m_err = err[0];
    if (rc != 0) {
        m_pid = -1;
        throw std::runtime_error("cannot start " + argv.at(0));
    }
}

ChildProgram::~ChildProgram() {
    signal(SIGKILL);
    if (m_pid > 0) {
        ::waitpid(m_pid, nullptr, 0);
    }
    ::close(m_err);
}

void ChildProgram::signal(int number) const {
    if (m_pid > 0) {
        ::kill(m_pid, number);
    }
}

int ChildProgram::finish(std::string& err, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool timedOut = false;
    // Standard error reaches its end when the program does.
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{m_err, POLLIN, 0};
        const int ready = left.count() > 0 ? ::poll(&p, 1, static_cast<int>(left.count())) : 0;
        if (ready == 0) {
            timedOut = true;
            signal(SIGKILL);
            break;
        }
        if (ready < 0) {
            continue;  // EINTR
        }
        char buffer[4096];
        const ssize_t n = ::read(m_err, buffer, sizeof buffer);
        if (n > 0) {
            err.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    int status = 0;
    ::waitpid(std::exchange(m_pid, -1), &status, 0);
    return !timedOut && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool simHasReceived(const std::filesystem::path& log, const std::string& bytes,
                    std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (receivedBySim(log).find(bytes) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        // The simulator's log gives no event to wait for; it is read again.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace modem::test
