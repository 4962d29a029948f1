#pragma once

// The Windows writer's two knobs for tests: how it waits for another program
// (an antivirus scanner, a search indexer) to let go of the file before it
// tries the replacement again, and the path form that reaches past MAX_PATH.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "settings/safe_write.h"

namespace modem {

struct ReplaceRetry {
    // The pauses between attempts, so attempts are one more than pauses: about
    // 0.6 s in all, enough for a scanner to read a 1 KiB file.
    std::vector<std::chrono::milliseconds> pauses{
        std::chrono::milliseconds(10),  std::chrono::milliseconds(20),
        std::chrono::milliseconds(40),  std::chrono::milliseconds(80),
        std::chrono::milliseconds(160), std::chrono::milliseconds(320)};
    // Waits one pause; the system's sleep unless a test watches.
    std::function<void(std::chrono::milliseconds)> pause;
};

// writeFileAtomically with `retry` for the final replacement.
[[nodiscard]] WriteStatus writeFileAtomically(const std::filesystem::path& path,
                                              std::span<const std::uint8_t> bytes,
                                              const ReplaceRetry& retry);

// `fullPath` (absolute, as GetFullPathNameW gives it) in the \\?\ form when it
// or a name 14 characters longer beside it would reach MAX_PATH: "C:\a"
// becomes \\?\C:\a, "\\server\share\a" becomes \\?\UNC\server\share\a. A
// shorter path, or one already in that form, is returned as it is.
[[nodiscard]] std::wstring extendedLengthPath(const std::wstring& fullPath);

}  // namespace modem
