#pragma once

// Pieces every modemctl subcommand shares: reading a settings file, and
// printing an image as JSON or writing it safely to a file.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "cli/commands.h"
#include "settings/mset.h"

namespace modem::cli {

// Loads a ".cfg" file into `mset`. On failure prints one line on `io.err` and
// returns false; `mset` is unchanged.
[[nodiscard]] bool readSettingsInput(const std::filesystem::path& path, Mset& mset, Streams io);

// Reads a JSON file as export prints it into `mset`. On failure (cannot open,
// not JSON, a field missing or out of range) prints one line on `io.err` and
// returns false; `mset` is unchanged.
[[nodiscard]] bool readJsonSettingsInput(const std::filesystem::path& path, Mset& mset, Streams io);

// Writes `mset` as a ".cfg" file at `outPath` (replacing it safely), or prints
// its JSON on `io.out` when no path is given. Returns the exit status.
[[nodiscard]] int writeSettingsOutput(const Mset& mset,
                                      const std::optional<std::filesystem::path>& outPath,
                                      Streams io);

// A code page 1251 text with CR LF line ends (the pane's, the form's) as UTF-8
// with the terminal's LF line ends.
[[nodiscard]] std::string forTerminal(std::string_view cp1251);

}  // namespace modem::cli
