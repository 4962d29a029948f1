#pragma once

// Runs the modem-sim program for a test: starts it with the given arguments,
// waits for the terminal paths it prints first (one per unit of --count), and
// stops it (SIGTERM, then waits for it) when the object goes.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace modem::test {

class SimProcess {
public:
    // Throws std::runtime_error when the program cannot be started or prints no
    // path within `timeout`.
    explicit SimProcess(std::vector<std::string> args = {},
                        std::chrono::milliseconds timeout = std::chrono::seconds(10));
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The terminal side of the simulator's pseudo-terminal (the latest one after
    // an unplug); of its first unit when it serves several.
    [[nodiscard]] const std::string& path() const { return m_paths.front(); }
    // Every unit's terminal, by unit number.
    [[nodiscard]] const std::vector<std::string>& paths() const { return m_paths; }
    [[nodiscard]] pid_t pid() const { return m_pid; }

    // Simulates pulling the USB cable (SIGUSR1): the current terminal hangs up
    // and a fresh one appears (every unit's). Returns the first unit's new path;
    // throws if not all are announced.
    std::string unplug(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Pulls one unit's cable only (SIGUSR1 queued with its number).
    std::string unplugUnit(unsigned unit,
                           std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // SIGTERM and wait; returns the exit status (-1 if killed by a signal). Once
    // stopped, further calls return the same status.
    int stop();

    // The built program.
    [[nodiscard]] static std::string executable();

private:
    std::string readLine(std::chrono::milliseconds timeout);

    pid_t m_pid = -1;
    int m_stdout = -1;  // read end of the program's standard output
    std::string m_buffer;
    std::vector<std::string> m_paths;
    int m_status = 0;
};

}  // namespace modem::test
