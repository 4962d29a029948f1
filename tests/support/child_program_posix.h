#pragma once

// Runs a program as a child process, for what only a process shows: its exit
// status, a signal sent to it, standard output that cannot be written (a full
// disk, a reader that went away). Standard error is collected.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace modem::test {

enum class ChildOutput {
    Collected,   // a pipe read to its end
    FullDisk,    // /dev/full: every write fails with ENOSPC
    ClosedPipe,  // a pipe whose read end is closed before the program starts: EPIPE
};

struct ChildResult {
    int status = -1;  // exit status; -1 when a signal ended it or it ran past the limit
    bool timedOut = false;
    std::string out;  // only with ChildOutput::Collected
    std::string err;
};

class ChildProgram {
public:
    // Starts `argv` (argv[0] the program's path) with standard input from
    // `input` (/dev/null when empty).
    ChildProgram(const std::vector<std::string>& argv, ChildOutput output,
                 const std::filesystem::path& input = {});
    // Kills a program still running.
    ~ChildProgram();
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    void signal(int number) const;
    // Waits for the end; past `limit` the program is killed.
    ChildResult finish(std::chrono::milliseconds limit = std::chrono::seconds(60));

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
};

// What modem-sim received, in order: the bytes of its traffic log's '>' entries.
[[nodiscard]] std::string receivedBySim(const std::filesystem::path& log);

// Waits (at most `limit`, a safety net) until modem-sim's log shows `bytes`
// received; returns whether it did.
[[nodiscard]] bool simHasReceived(const std::filesystem::path& log, const std::string& bytes,
                                  std::chrono::milliseconds limit = std::chrono::seconds(20));

}  // namespace modem::test
