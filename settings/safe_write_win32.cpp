#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <utility>

#include "platform/system_error_win32.h"
#include "platform/unique_handle_win32.h"
#include "platform/utf8_win32.h"
#include "settings/safe_write.h"
#include "settings/safe_write_win32.h"

namespace modem {

namespace {

// The longest file name NTFS and FAT32 take, in UTF-16 units.
constexpr std::size_t nameMax = 255;
// What a temporary name beside the target adds to its name: "." base "." hex ".tmp".
constexpr std::size_t temporaryExtra = 1 + 1 + 8 + 4;

// Removes a file of ours unless it has been put to use. Must outlive the
// file's handle: an open file cannot be deleted.
class FileGuard {
public:
    explicit FileGuard(std::wstring path) : m_path(std::move(path)) {}
    FileGuard(const FileGuard&) = delete;
    FileGuard& operator=(const FileGuard&) = delete;
    ~FileGuard() {
        if (m_armed) {
            ::DeleteFileW(m_path.c_str());
        }
    }
    void release() { m_armed = false; }

private:
    std::wstring m_path;
    bool m_armed = true;
};

WriteStatus failure(WriteOutcome outcome, const char* what, DWORD err) {
    return {outcome, errorText(what, err)};
}

std::wstring temporaryName(const std::wstring& base, std::uint32_t salt, const wchar_t* suffix) {
    // Beside the target, and short enough for the folder even when the
    // target's own name is at the limit.
    std::size_t keep = std::min(base.size(), nameMax - temporaryExtra);
    if (keep > 0 && keep < base.size() && IS_HIGH_SURROGATE(base[keep - 1])) {
        --keep;  // never split a character
    }
    wchar_t hex[9];
    std::swprintf(hex, 9, L"%08x", static_cast<unsigned>(salt));
    return L"." + base.substr(0, keep) + L"." + hex + suffix;
}

bool writeAll(HANDLE file, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) {
            return false;
        }
        if (written == 0) {
            ::SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        bytes = bytes.subspan(written);
    }
    return true;
}

// The absolute form of `path`; empty with the error set on failure.
std::wstring fullPath(const std::wstring& path) {
    std::wstring buffer(MAX_PATH, L'\0');
    DWORD n =
        ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n >= buffer.size()) {
        buffer.resize(n);
        n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(),
                               nullptr);
    }
    if (n == 0 || n >= buffer.size()) {
        return {};
    }
    buffer.resize(n);
    return buffer;
}

// The file a symbolic link (or junction) finally names, so that the rename
// replaces it rather than the link.
bool followLink(const std::wstring& path, std::wstring& resolved) {
    UniqueHandle h(::CreateFileW(path.c_str(), 0,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.valid()) {
        return false;
    }
    std::wstring buffer(MAX_PATH, L'\0');
    DWORD n = ::GetFinalPathNameByHandleW(h.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                          FILE_NAME_NORMALIZED);
    if (n >= buffer.size()) {
        buffer.resize(n);
        n = ::GetFinalPathNameByHandleW(h.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                        FILE_NAME_NORMALIZED);
    }
    if (n == 0 || n >= buffer.size()) {
        return false;
    }
    buffer.resize(n);
    resolved = std::move(buffer);
    return true;
}

// Refusals that another program's brief hold on the target or on our new
// file causes: a scanner or an indexer that opened it without letting it be
// deleted or renamed.
bool passingHold(DWORD err) {
    switch (err) {
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_ACCESS_DENIED:  // also a file whose deletion is pending
        case ERROR_UNABLE_TO_REMOVE_REPLACED:
        case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
        case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
            return true;
        default:
            return false;
    }
}

struct Replaced {
    DWORD error = ERROR_SUCCESS;
    // The previous file could not be put back from `backup`: it is kept there.
    bool previousAside = false;
};

// One attempt to put `temp` in the place of `target`. ReplaceFileW keeps the
// target's attributes, security and streams, which a rename would drop; with
// a backup name, every way it can fail leaves the previous file findable.
Replaced replaceOnce(const std::wstring& target, const std::wstring& temp,
                     const std::wstring& backup, bool& targetExists) {
    if (!targetExists) {
        // Write-through: returns only once the rename itself is on disk.
        if (::MoveFileExW(temp.c_str(), target.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return {};
        }
        return {::GetLastError()};
    }
    if (::ReplaceFileW(target.c_str(), temp.c_str(), backup.c_str(),
                       REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        return {};
    }
    const DWORD err = ::GetLastError();
    if (err == ERROR_FILE_NOT_FOUND &&
        ::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES) {
        targetExists = false;  // removed meanwhile: a plain rename does
        return {err};
    }
    if (err == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
        // The previous file went to the backup name, the new one stayed where
        // it was: the previous one goes back.
        if (!::MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
            return {err, true};
        }
    }
    return {err};
}

}  // namespace

std::wstring extendedLengthPath(const std::wstring& full) {
    const bool extended = full.starts_with(L"\\\\?\\") || full.starts_with(L"\\\\.\\");
    if (extended || full.size() + temporaryExtra < MAX_PATH) {
        return full;
    }
    if (full.starts_with(L"\\\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

WriteStatus writeFileAtomically(const std::filesystem::path& path,
                                std::span<const std::uint8_t> bytes) {
    return writeFileAtomically(path, bytes, ReplaceRetry{});
}

WriteStatus writeFileAtomically(const std::filesystem::path& path,
                                std::span<const std::uint8_t> bytes, const ReplaceRetry& retry) {
    if (path.empty()) {
        return {WriteOutcome::CannotCreate, "no file name"};
    }
    // Absolute, and in the long form when a name 14 characters longer than
    // the target's would not fit in MAX_PATH: the temporary file's.
    std::wstring target = fullPath(path.native());
    if (target.empty()) {
        return failure(WriteOutcome::CannotCreate, "name", ::GetLastError());
    }
    target = extendedLengthPath(target);
    DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        std::wstring resolved;
        if (!followLink(target, resolved)) {
            return failure(WriteOutcome::CannotCreate, "cannot follow link", ::GetLastError());
        }
        target = extendedLengthPath(resolved);
        attributes = ::GetFileAttributesW(target.c_str());
    }

    const std::size_t slash = target.find_last_of(L"\\/");
    const std::wstring base = slash == std::wstring::npos ? target : target.substr(slash + 1);
    if (base.empty() || base == L"." || base == L"..") {
        return {WriteOutcome::CannotCreate, "not a file name"};
    }
    // Checked here: the temporary name is shortened to fit, so only the final
    // rename would notice, after all the work.
    if (base.size() > nameMax) {
        return failure(WriteOutcome::CannotCreate, "name", ERROR_FILENAME_EXCED_RANGE);
    }
    // The folder with its closing separator: "C:\" is the drive's root where
    // "C:" would be its current folder.
    const std::wstring folder = target.substr(0, slash + 1);

    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return {WriteOutcome::CannotCreate, "target: is a folder"};
        }
        // A device would be swapped for a plain file by the rename.
        if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
            return {WriteOutcome::CannotCreate, "target: not a regular file"};
        }
        // The replacement would go through on some systems; the mark is the
        // owner's wish that the file stay as it is.
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return failure(WriteOutcome::CannotCreate, "target", ERROR_ACCESS_DENIED);
        }
    } else if (const DWORD err = ::GetLastError(); err != ERROR_FILE_NOT_FOUND) {
        return failure(WriteOutcome::CannotCreate, "target", err);
    }
    const DWORD folderAttributes = ::GetFileAttributesW(folder.c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES) {
        return failure(WriteOutcome::CannotCreate, "folder", ::GetLastError());
    }
    if ((folderAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return failure(WriteOutcome::CannotCreate, "folder", ERROR_DIRECTORY);
    }

    std::random_device entropy;
    HANDLE created = INVALID_HANDLE_VALUE;
    std::wstring tempPath;
    for (int attempt = 0; attempt < 100 && created == INVALID_HANDLE_VALUE; ++attempt) {
        tempPath = folder + temporaryName(base, entropy(), L".tmp");
        created = ::CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE) {
            const DWORD err = ::GetLastError();
            if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) {
                return failure(WriteOutcome::CannotCreate, "temporary file", err);
            }
        }
    }
    if (created == INVALID_HANDLE_VALUE) {
        return failure(WriteOutcome::CannotCreate, "temporary file", ERROR_FILE_EXISTS);
    }
    FileGuard tempGuard(tempPath);  // before the handle, so it goes after it
    UniqueHandle file(created);

    if (!writeAll(file.get(), bytes)) {
        return failure(WriteOutcome::CannotWrite, "write", ::GetLastError());
    }
    if (!::FlushFileBuffers(file.get())) {
        return failure(WriteOutcome::CannotWrite, "flush", ::GetLastError());
    }
    if (!file.close()) {
        return failure(WriteOutcome::CannotWrite, "close", ::GetLastError());
    }

    const auto pauseBefore = [&retry](std::size_t attempt) {
        if (retry.pause) {
            retry.pause(retry.pauses[attempt]);
        } else {
            std::this_thread::sleep_for(retry.pauses[attempt]);
        }
    };
    const std::wstring backupPath = folder + temporaryName(base, entropy(), L".old");
    bool targetExists = attributes != INVALID_FILE_ATTRIBUTES;
    Replaced replaced;
    for (std::size_t attempt = 0;; ++attempt) {
        const bool existed = targetExists;
        replaced = replaceOnce(target, tempPath, backupPath, targetExists);
        if (replaced.error == ERROR_SUCCESS || replaced.previousAside) {
            break;
        }
        if (existed && !targetExists) {
            continue;  // the target went meanwhile: rename at once
        }
        if (!passingHold(replaced.error) || attempt >= retry.pauses.size()) {
            break;
        }
        pauseBefore(attempt);
    }
    if (replaced.previousAside) {
        // Nothing may be deleted now: the new content is in the temporary
        // file, the previous in the backup; the message names the latter.
        tempGuard.release();
        return {WriteOutcome::CannotWrite, errorText("replace", replaced.error) +
                                               "; the previous file is kept as " +
                                               narrowUtf8(backupPath.data(), backupPath.size())};
    }
    if (replaced.error != ERROR_SUCCESS) {
        return failure(WriteOutcome::CannotWrite, "replace", replaced.error);
    }
    tempGuard.release();
    // The previous content, kept aside by the replacement: not wanted once the
    // new one is in place. A scanner may still hold it for a moment.
    for (std::size_t attempt = 0; !::DeleteFileW(backupPath.c_str()); ++attempt) {
        const DWORD err = ::GetLastError();
        if (err == ERROR_FILE_NOT_FOUND || !passingHold(err) || attempt >= retry.pauses.size()) {
            break;
        }
        pauseBefore(attempt);
    }
    return {};
}

}  // namespace modem
