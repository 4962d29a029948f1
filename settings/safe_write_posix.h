#pragma once

// The system calls the POSIX writer makes at the two steps that decide whether
// a replaced file survives a crash or a failure: the flush of the new content
// and the rename over the target. Tests pass their own to watch the order of
// the steps and to make one of them fail.

#include <functional>

#include "settings/safe_write.h"

namespace modem {

struct FileSyscalls {
    // Each returns 0 on success, else -1 with errno set, as the system calls do.
    std::function<int(int fd)> fsync;
    std::function<int(int fromDir, const char* from, int toDir, const char* to)> renameat;

    // The real ones.
    [[nodiscard]] static FileSyscalls system();
};

// writeFileAtomically through `calls`.
[[nodiscard]] WriteStatus writeFileAtomically(const std::filesystem::path& path,
                                              std::span<const std::uint8_t> bytes,
                                              const FileSyscalls& calls);

}  // namespace modem
