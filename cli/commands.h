#pragma once

// modemctl's subcommands, grouped by what they need: files only, the simulated
// modem's report, or a live modem on a serial port.

#include <CLI/CLI.hpp>

#include <functional>
#include <ostream>

namespace modem::cli {

// The action of the subcommand that was chosen; returns the exit status
// (0 success, 1 failure with one line on `err`, 2 usage error).
using Action = std::function<int()>;

struct Streams {
    std::ostream& out;
    std::ostream& err;
};

// Each adds its subcommands to `app`. A subcommand's parse callback stores its
// action in `chosen`; main runs it after parsing.
void addOfflineCommands(CLI::App& app, Action& chosen, Streams io);
void addReportCommands(CLI::App& app, Action& chosen, Streams io);
void addPortsCommand(CLI::App& app, Action& chosen, Streams io);
void addOnlineCommands(CLI::App& app, Action& chosen, Streams io);
void addDiffCommand(CLI::App& app, Action& chosen, Streams io);

// The whole program, testable without a process.
int runModemctl(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace modem::cli
