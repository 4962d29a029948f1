#pragma once

// Pieces every modemctl subcommand shares: reading its inputs (a file, or
// standard input for "-"), printing an image as JSON or writing it safely to a
// file, and making sure that what was printed reached standard output. File
// names are the UTF-8 text the operator gave, and messages name them so.

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <string_view>

#include "cli/commands.h"
#include "protocol/report_parser.h"
#include "settings/mset.h"

namespace modem::cli {

// The name that stands for standard input or standard output.
inline constexpr std::string_view standardStreamName = "-";

// The whole content of the file `name`, or of standard input for "-". On
// failure (missing, a folder, unreadable) prints one line on `io.err` and
// returns nothing.
[[nodiscard]] std::optional<std::string> readInput(std::string_view name, Streams io);

// Loads a ".cfg" file (or one from standard input) into `mset`. On failure
// prints one line on `io.err` and returns false; `mset` is unchanged.
[[nodiscard]] bool readSettingsInput(std::string_view name, Mset& mset, Streams io);

// The same on bytes already read; `name` is for the message.
[[nodiscard]] bool settingsFromBytes(std::string_view name, std::string_view bytes, Mset& mset,
                                     Streams io);

// Reads a JSON file as export prints it into `mset`. On failure (cannot open,
// not JSON, a field missing or out of range) prints one line on `io.err` and
// returns false; `mset` is unchanged.
[[nodiscard]] bool readJsonSettingsInput(std::string_view name, Mset& mset, Streams io);
// The same on text already read.
[[nodiscard]] bool jsonSettingsFromText(std::string_view name, const std::string& text, Mset& mset,
                                        Streams io);

// Writes `mset` as a ".cfg" file named `outName` (replacing it safely), as
// the file's 1024 bytes on standard output for "-", or prints its JSON on
// `io.out` when no name is given. Returns the exit status.
[[nodiscard]] int writeSettingsOutput(const Mset& mset, const std::optional<std::string>& outName,
                                      Streams io);

// An option's check that it names an existing file that is not a folder.
[[nodiscard]] CLI::Validator existingFile();

// Flushes `io.out` and says whether all that was printed reached it. When not
// (a full disk, a reader that went away) prints one line on `io.err`.
[[nodiscard]] bool outputWritten(Streams io);

// What is wrong with a report that is not Complete, for a failure line.
[[nodiscard]] std::string_view reportProblem(ReportState state);

// A code page 1251 text with CR LF line ends (the pane's, the form's) as UTF-8
// with the terminal's LF line ends.
[[nodiscard]] std::string forTerminal(std::string_view cp1251);

}  // namespace modem::cli
