#include "support/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace modem::test {

std::string SimProcess::executable() {
    return MODEM_SIM_PATH;
}

SimProcess::SimProcess(std::vector<std::string> args, std::chrono::milliseconds timeout) {
    const std::string program = executable();
    if (program.empty()) {
        throw std::runtime_error("modem-sim was not built");
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);

    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (std::string& a : argv) {
        cargv.push_back(a.data());
    }
    cargv.push_back(nullptr);

    const int rc = ::posix_spawn(&m_pid, program.c_str(), &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    m_stdout = fds[0];
    if (rc != 0) {
        ::close(m_stdout);
        m_stdout = -1;
        m_pid = -1;
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(rc));
    }
    std::size_t units = 1;
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--count") {
            units = std::max<std::size_t>(1, std::stoul(args[i + 1]));
        }
    }
    for (std::size_t i = 0; i < units; ++i) {
        m_paths.push_back(readLine(timeout));
        if (m_paths.back().empty()) {
            stop();
            ::close(m_stdout);
            m_stdout = -1;
            throw std::runtime_error("modem-sim announced no terminal");
        }
    }
}

SimProcess::~SimProcess() {
    stop();
    if (m_stdout >= 0) {
        ::close(m_stdout);
    }
}

std::string SimProcess::unplug(std::chrono::milliseconds timeout) {
    if (m_pid <= 0 || ::kill(m_pid, SIGUSR1) != 0) {
        throw std::runtime_error("modem-sim is not running");
    }
    for (std::string& unitPath : m_paths) {
        std::string path = readLine(timeout);
        if (path.empty()) {
            throw std::runtime_error("modem-sim announced no terminal after the unplug");
        }
        unitPath = path;
    }
    return m_paths.front();
}

std::string SimProcess::unplugUnit(unsigned unit, std::chrono::milliseconds timeout) {
    sigval value{};
    value.sival_int = static_cast<int>(unit);
    if (m_pid <= 0 || unit >= m_paths.size() || ::sigqueue(m_pid, SIGUSR1, value) != 0) {
        throw std::runtime_error("modem-sim is not running or has no such unit");
    }
    std::string path = readLine(timeout);
    if (path.empty()) {
        throw std::runtime_error("modem-sim announced no terminal after the unplug");
    }
    m_paths.at(unit) = path;
    return path;
}

int SimProcess::stop() {
    if (m_pid <= 0) {
        return m_status;
    }
    ::kill(m_pid, SIGTERM);
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m_status;
}

std::string SimProcess::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const auto nl = m_buffer.find('\n'); nl != std::string::npos) {
            std::string line = m_buffer.substr(0, nl);
            m_buffer.erase(0, nl + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return {};
        }
        pollfd pfd{m_stdout, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return {};
        }
        char buf[256];
        const ssize_t n = ::read(m_stdout, buf, sizeof buf);
        if (n <= 0) {
            return {};  // the program ended
        }
        m_buffer.append(buf, static_cast<std::size_t>(n));
    }
}

}  // namespace modem::test
