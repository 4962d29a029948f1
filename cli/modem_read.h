#pragma once

// Reading the live modem's settings, for every subcommand that needs them:
// connect, ask for the report, copy it onto a base image, disconnect.

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "settings/mset.h"

namespace modem::cli {

struct PortOptions {
    std::string port;               // empty: discovery
    std::string sysfsRoot{"/sys"};  // hidden option, so tests can use a fake tree
    std::string log;                // UTF-8 file name; empty: no traffic log
};

// --port, --log, and the hidden --sysfs-root.
void addPortOptions(CLI::App& cmd, PortOptions& options);
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
[[nodiscard]] ModemRead readModemSettings(const PortOptions& port, std::optional<unsigned> profile,
                                          const Mset& base, Streams io);

}  // namespace modem::cli
