#pragma once

// Runs a program as a child process, for what only a process shows: its exit
// status, a signal sent to it, standard output that cannot be written.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/sim_traffic.h"

namespace modem::test {

enum class ChildOutput {
    Discarded,   // /dev/null
    FullDisk,    // /dev/full: every write fails with ENOSPC
    ClosedPipe,  // a pipe whose read end is closed before the start: EPIPE
};

class ChildProgram {
public:
    // argv[0] is the program's path; standard input is /dev/null, SIGINT and
    // SIGTERM have their default actions, as for a shell's foreground program.
    ChildProgram(std::vector<std::string> argv, ChildOutput output);
    ~ChildProgram();  // kills a program still running
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    void signal(int number) const;
    // Waits for the end, keeping standard error in `err`; returns the exit
    // status, -1 when a signal ended it or it ran past `limit` (then killed).
    int finish(std::string& err, std::chrono::milliseconds limit = std::chrono::seconds(60));

private:
    pid_t m_pid = -1;
    int m_err = -1;  // read end of standard error
};

// Waits (at most `limit`, a safety net) until modem-sim's log shows `bytes`
// received; returns whether it did.
[[nodiscard]] bool simHasReceived(const std::filesystem::path& log, const std::string& bytes,
                                  std::chrono::milliseconds limit = std::chrono::seconds(20));

}  // namespace modem::test
