#pragma once

// A unit's record of one run: which modem it was, what it was sent and what
// came of it, as one JSON file named by the unit and the time, beside that
// unit's traffic log. A bench keeps them as its account of every unit.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/settings_diff.h"

namespace modem::cli {

struct UnitRecord {
    UnitTarget unit;
    std::string command;  // the command line, words joined by blanks
    std::chrono::system_clock::time_point started;
    std::chrono::system_clock::time_point ended;
    std::optional<std::string> version;        // the modem's answer to "+vers\r" (UTF-8)
    std::optional<std::string> imageSha256;    // of the 264-byte image sent
    std::optional<bool> verified;              // none: not read back
    std::vector<ShownDifference> differences;  // sent, then what the modem holds
    std::optional<unsigned> profileStored;
    bool ok = false;
    std::optional<std::string> error;
};

// "2026-12-08T05:02:09.123Z".
[[nodiscard]] std::string utcTimestamp(std::chrono::system_clock::time_point time);

// The unit's file name and the time, without extension:
// "A001-20261208T050209.123Z".
[[nodiscard]] std::string recordBaseName(const UnitTarget& unit,
                                         std::chrono::system_clock::time_point started);

[[nodiscard]] std::string recordJson(const UnitRecord& record);

// Writes <dir>/<base>.json; returns why it could not, empty on success.
[[nodiscard]] std::string writeRecord(const std::filesystem::path& dir, const std::string& base,
                                      const UnitRecord& record);

}  // namespace modem::cli
