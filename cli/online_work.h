#pragma once

// The work of read, write and send on one modem, shared by the one-modem
// commands and by each unit of a batch, and the batch forms of the three.

#include <optional>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/commands.h"
#include "cli/modem_read.h"
#include "cli/settings_diff.h"
#include "settings/mset.h"

namespace modem::cli {

struct ReadOptions {
    PortOptions port;
    std::optional<unsigned> profile;
    std::optional<std::string> base;
    std::optional<std::string> output;
    bool timing = false;
};

struct WriteOptions {
    PortOptions port;
    std::string input;
    std::optional<unsigned> store;
    bool noVerify = false;
    bool verify = false;  // the default either way
    bool force = false;
    std::optional<std::string> units;    // CSV of per-unit values
    std::optional<std::string> records;  // folder of the units' records
    std::string commandLine;             // for the records
};

struct SendOptions {
    PortOptions port;
    std::string mnemonic;
    std::optional<std::string> argument;
    unsigned waitMs = 500;
};

// What "Настроить" does to the settings before it sends them.
[[nodiscard]] Mset normalised(const Mset& mset);

// Loads the settings `write` is given and checks them. Problems are lines on
// `io.err`; without --force they fail the load, so nothing is sent and not even
// a connection is opened. False: the command exits 1.
[[nodiscard]] bool readSettingsToWrite(const WriteOptions& options, Mset& mset, Streams io);

// What one write did, for the unit's record.
struct WriteReport {
    int status = 1;
    std::optional<std::string> version;  // the answer to "+vers\r", when asked and given
    bool uploaded = false;               // the image went out
    std::optional<bool> verified;        // none: not read back
    std::vector<ShownDifference> differences;
    std::optional<unsigned> stored;  // the profile the modem was told to store
};

// Connects, (asks the modem's version,) uploads `mset`, verifies and stores
// as `options` say, and disconnects. Failures are lines on `io.err`.
[[nodiscard]] WriteReport writeSettingsTo(const Mset& mset, const WriteOptions& options,
                                          const PortOptions& port, Streams io, UnitSteps* steps,
                                          bool askVersion);

struct SendReport {
    int status = 1;
    std::string answer;  // the pane's text after the command, when status is 0
};

// Sends the command's `bytes` and collects the answer for --wait.
[[nodiscard]] SendReport sendToModem(const std::string& bytes, const SendOptions& options,
                                     const PortOptions& port, Streams io, UnitSteps* steps);

// Terminal redrawing on the process's own standard error when it is a
// terminal; lines otherwise.
[[nodiscard]] ProgressDisplay::Mode progressMode(Streams io);

[[nodiscard]] int runReadBatch(const ReadOptions& options, Streams io);
[[nodiscard]] int runWriteBatch(const WriteOptions& options, Streams io);
[[nodiscard]] int runSendBatch(const std::string& bytes, const SendOptions& options, Streams io);

}  // namespace modem::cli
