#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <utility>

#include "settings/safe_write_posix.h"

namespace modem {

namespace {

class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    [[nodiscard]] int get() const { return m_fd; }
    // Closes now so that a failing close (delayed write errors on some file
    // systems) is seen by the caller.
    [[nodiscard]] bool close() {
        const int fd = std::exchange(m_fd, -1);
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// Removes the temporary file unless the rename has made it the target.
class TempFileGuard {
public:
    TempFileGuard(int dirFd, std::string name) : m_dirFd(dirFd), m_name(std::move(name)) {}
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;
    ~TempFileGuard() {
        if (m_armed) {
            ::unlinkat(m_dirFd, m_name.c_str(), 0);
        }
    }
    void release() { m_armed = false; }
    [[nodiscard]] const std::string& name() const { return m_name; }

private:
    int m_dirFd;
    std::string m_name;
    bool m_armed = true;
};

WriteStatus failure(WriteOutcome outcome, const char* what, int err) {
    return {outcome, std::string(what) + ": " + std::strerror(err)};
}

std::string temporaryName(const std::string& base, std::size_t nameMax, std::uint32_t salt) {
    // Hidden, beside the target, and short enough for the folder even when the
    // target's own name is at the limit.
    constexpr std::size_t extra = 1 + 1 + 8 + 4;  // "." base "." hex ".tmp"
    const std::size_t keep = nameMax > extra ? std::min(base.size(), nameMax - extra) : 0;
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(salt));
    return "." + base.substr(0, keep) + "." + hex + ".tmp";
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

int fsyncRetrying(const FileSyscalls& calls, int fd) {
    int rc;
    do {
        rc = calls.fsync(fd);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

}  // namespace

FileSyscalls FileSyscalls::system() {
    return {.fsync = [](int fd) { return ::fsync(fd); },
            .renameat = [](int fromDir, const char* from, int toDir,
                           const char* to) { return ::renameat(fromDir, from, toDir, to); }};
}

WriteStatus writeFileAtomically(const std::filesystem::path& path,
                                std::span<const std::uint8_t> bytes) {
    return writeFileAtomically(path, bytes, FileSyscalls::system());
}

WriteStatus writeFileAtomically(const std::filesystem::path& path,
                                std::span<const std::uint8_t> bytes, const FileSyscalls& calls) {
    namespace fs = std::filesystem;
    if (path.empty()) {
        return {WriteOutcome::CannotCreate, "no file name"};
    }

    fs::path target = path;
    struct stat linkInfo {};
    if (::lstat(path.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        // Renaming over a link would replace the link itself; replace what it names.
        std::error_code ec;
        target = fs::weakly_canonical(path, ec);
        if (ec) {
            return {WriteOutcome::CannotCreate, "cannot follow link: " + ec.message()};
        }
    }

    const std::string base = target.filename().string();
    if (base.empty() || base == "." || base == "..") {
        return {WriteOutcome::CannotCreate, "not a file name"};
    }
    fs::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }

    struct stat targetInfo {};
    bool targetExists = false;
    if (::stat(target.c_str(), &targetInfo) == 0) {
        if (S_ISDIR(targetInfo.st_mode)) {
            return failure(WriteOutcome::CannotCreate, "target", EISDIR);
        }
        // A device or pipe would be swapped for a plain file by the rename.
        if (!S_ISREG(targetInfo.st_mode)) {
            return {WriteOutcome::CannotCreate, "target: not a regular file"};
        }
        targetExists = true;
    } else if (errno != ENOENT) {
        return failure(WriteOutcome::CannotCreate, "target", errno);
    }

    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) {
        return failure(WriteOutcome::CannotCreate, "folder", errno);
    }
    long nameMax = ::fpathconf(dir.get(), _PC_NAME_MAX);
    if (nameMax <= 0) {
        nameMax = NAME_MAX;
    }
    // Checked here: the temporary name is shortened to fit, so only the final
    // rename would notice, after all the work.
    if (base.size() > static_cast<std::size_t>(nameMax)) {
        return failure(WriteOutcome::CannotCreate, "name", ENAMETOOLONG);
    }

    std::random_device entropy;
    const mode_t createMode = targetExists ? 0600 : 0666;
    int fdNumber = -1;
    std::string tempName;
    for (int attempt = 0; attempt < 100 && fdNumber < 0; ++attempt) {
        tempName = temporaryName(base, static_cast<std::size_t>(nameMax), entropy());
        fdNumber = ::openat(dir.get(), tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                            createMode);
        if (fdNumber < 0 && errno != EEXIST) {
            return failure(WriteOutcome::CannotCreate, "temporary file", errno);
        }
    }
    if (fdNumber < 0) {
        return failure(WriteOutcome::CannotCreate, "temporary file", EEXIST);
    }
    UniqueFd file(fdNumber);
    TempFileGuard guard(dir.get(), tempName);

    if (targetExists && ::fchmod(file.get(), targetInfo.st_mode & 07777) != 0) {
        return failure(WriteOutcome::CannotWrite, "permissions", errno);
    }
    if (!writeAll(file.get(), bytes)) {
        return failure(WriteOutcome::CannotWrite, "write", errno);
    }
    if (fsyncRetrying(calls, file.get()) != 0) {
        return failure(WriteOutcome::CannotWrite, "flush", errno);
    }
    if (!file.close()) {
        return failure(WriteOutcome::CannotWrite, "close", errno);
    }
    if (calls.renameat(dir.get(), tempName.c_str(), dir.get(), base.c_str()) != 0) {
        return failure(WriteOutcome::CannotWrite, "rename", errno);
    }
    guard.release();
    // Makes the rename itself durable. Some file systems cannot sync a folder
    // (EINVAL); the data is in place regardless.
    if (fsyncRetrying(calls, dir.get()) != 0 && errno != EINVAL) {
        return failure(WriteOutcome::CannotWrite, "folder sync", errno);
    }
    return {};
}

}  // namespace modem
