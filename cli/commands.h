#pragma once

// modemctl's subcommands, grouped by what they need: files only, the simulated
// modem's report, or a live modem on a serial port.

#include <CLI/CLI.hpp>

#include <functional>
#include <istream>
#include <ostream>
#include <string>

namespace modem::cli {

// The action of the subcommand that was chosen; returns the exit status
// (0 success, 1 failure with one line on `err`, 2 usage error, 130 when the
// operator interrupted it).
using Action = std::function<int()>;

// The status of a run that Ctrl+C (or SIGTERM) ended, as a shell reports a
// program that SIGINT ended.
inline constexpr int interruptedStatus = 130;

struct Streams {
    std::istream& in;  // for the inputs named "-"
    std::ostream& out;
    std::ostream& err;
};

// Each adds its subcommands to `app`. A subcommand's parse callback stores its
// action in `chosen`; main runs it after parsing.
void addOfflineCommands(CLI::App& app, Action& chosen, Streams io);
void addReportCommands(CLI::App& app, Action& chosen, Streams io);
void addPortsCommand(CLI::App& app, Action& chosen, Streams io);
// `commandLine` is the program's words, for the records a batch keeps.
void addOnlineCommands(CLI::App& app, Action& chosen, Streams io, const std::string& commandLine);
void addDiffCommand(CLI::App& app, Action& chosen, Streams io);

// The whole program, testable without a process.
int runModemctl(int argc, const char* const* argv, Streams io);
// The same with the process's standard input.
int runModemctl(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace modem::cli
