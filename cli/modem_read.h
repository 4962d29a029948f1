#pragma once

// Reading the live modem's settings, for every subcommand that needs them:
// connect, ask for the report, copy it onto a base image, disconnect.

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "settings/mset.h"

namespace modem::cli {

class UnitSteps;

struct PortOptions {
    std::string port;               // empty: discovery
    std::string sysfsRoot{"/sys"};  // hidden option, so tests can use a fake tree
    std::string devRoot{"/dev"};    // hidden too: where that tree's device nodes are
    std::string log;                // UTF-8 file name; empty: no traffic log
    // The modems of a batch: --port repeated, --serial repeated, or --all.
    std::vector<std::string> ports;
    std::vector<std::string> serials;
    bool all = false;
    unsigned jobs = 0;  // --jobs: how many units run at once; 0: all
};

// Whether the options choose several modems (or name them by serial number),
// which makes the command a batch.
[[nodiscard]] bool choosesUnits(const PortOptions& options);

// --port, --log, and the hidden --sysfs-root and --dev-root.
void addPortOptions(CLI::App& cmd, PortOptions& options);
// --port taken more than once, --serial, --all and --jobs.
void addUnitOptions(CLI::App& cmd, PortOptions& options);
// The program-wide --log, given before the subcommand.
void addGlobalLogOption(CLI::App& app);

struct ModemRead {
    std::optional<Mset> settings;                   // empty when no report came
    std::chrono::steady_clock::duration elapsed{};  // from the request to the whole report
    std::uint64_t received = 0;                     // bytes, for the request
    bool interrupted = false;  // Ctrl+C ended the session; nothing was printed about it
};

// Reads the report (of stored profile `profile`, if given) onto `base`: the
// fields the report does not carry keep their values from `base`. Without a
// report one line on `io.err` says why; after an interrupt nothing is said.
// `steps`, when given, hears of the connect and the read.
[[nodiscard]] ModemRead readModemSettings(const PortOptions& port, std::optional<unsigned> profile,
                                          const Mset& base, Streams io, UnitSteps* steps = nullptr);

}  // namespace modem::cli
