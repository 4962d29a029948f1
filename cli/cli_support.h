#pragma once

// Pieces every modemctl subcommand shares: reading a settings file, and
// printing an image as JSON or writing it safely to a file. File names are
// the UTF-8 text the operator gave, and messages name them so.

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <string_view>

#include "cli/commands.h"
#include "settings/mset.h"

namespace modem::cli {

// Loads a ".cfg" file into `mset`. On failure prints one line on `io.err` and
// returns false; `mset` is unchanged.
[[nodiscard]] bool readSettingsInput(std::string_view name, Mset& mset, Streams io);

// Reads a JSON file as export prints it into `mset`. On failure (cannot open,
// not JSON, a field missing or out of range) prints one line on `io.err` and
// returns false; `mset` is unchanged.
[[nodiscard]] bool readJsonSettingsInput(std::string_view name, Mset& mset, Streams io);

// Writes `mset` as a ".cfg" file named `outName` (replacing it safely), or
// prints its JSON on `io.out` when no name is given. Returns the exit status.
[[nodiscard]] int writeSettingsOutput(const Mset& mset, const std::optional<std::string>& outName,
                                      Streams io);

// An option's check that it names an existing file that is not a folder.
[[nodiscard]] CLI::Validator existingFile();

// A code page 1251 text with CR LF line ends (the pane's, the form's) as UTF-8
// with the terminal's LF line ends.
[[nodiscard]] std::string forTerminal(std::string_view cp1251);

}  // namespace modem::cli
