#pragma once

// Replacing a file without ever destroying the previous one: the new content
// goes to a temporary file beside the target, is flushed to disk and only then
// renamed over it.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace modem {

enum class WriteOutcome {
    Ok,
    CannotCreate,  // the temporary file could not be made (bad folder, bad name, target a folder)
    CannotWrite,   // writing, flushing or the final rename failed
};

struct WriteStatus {
    WriteOutcome outcome = WriteOutcome::Ok;
    std::string reason;  // short, for people; empty when Ok

    [[nodiscard]] bool ok() const { return outcome == WriteOutcome::Ok; }
};

// Writes `bytes` as the whole content of `path`. On any failure the old file,
// if there was one, is left exactly as it was and no temporary file remains.
// An existing target keeps its permission bits; a symbolic link is followed so
// that the file it names is replaced, not the link.
[[nodiscard]] WriteStatus writeFileAtomically(const std::filesystem::path& path,
                                              std::span<const std::uint8_t> bytes);

}  // namespace modem
