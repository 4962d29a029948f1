#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <utility>

#include "settings/safe_write.h"

namespace modem {

namespace {

// The longest file name NTFS and FAT32 take, in UTF-16 units.
constexpr std::size_t nameMax = 255;

class UniqueHandle {
public:
    explicit UniqueHandle(HANDLE h = INVALID_HANDLE_VALUE) : m_handle(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() {
        if (m_handle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(m_handle);
        }
    }
    [[nodiscard]] HANDLE get() const { return m_handle; }
    // Closes now so that a failing close is seen by the caller.
    [[nodiscard]] bool close() {
        return ::CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE)) != 0;
    }

private:
    HANDLE m_handle;
};

// Removes the temporary file unless the rename has made it the target. Must
// outlive the file's handle: an open file cannot be deleted.
class TempFileGuard {
public:
    explicit TempFileGuard(std::wstring path) : m_path(std::move(path)) {}
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;
    ~TempFileGuard() {
        if (m_armed) {
            ::DeleteFileW(m_path.c_str());
        }
    }
    void release() { m_armed = false; }

private:
    std::wstring m_path;
    bool m_armed = true;
};

// The system's text for `err` in UTF-8, without the trailing line break.
std::string errorText(DWORD err) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, err, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring wide = n > 0 && buffer != nullptr ? std::wstring(buffer, n) : std::wstring();
    ::LocalFree(buffer);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' ' ||
                             wide.back() == L'.')) {
        wide.pop_back();
    }
    std::string text;
    if (!wide.empty()) {
        const int size = ::WideCharToMultiByte(
            CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
        text.resize(static_cast<std::size_t>(size));
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(),
                              size, nullptr, nullptr);
    }
    return text + " (error " + std::to_string(err) + ")";
}

WriteStatus failure(WriteOutcome outcome, const char* what, DWORD err) {
    return {outcome, std::string(what) + ": " + errorText(err)};
}

std::wstring temporaryName(const std::wstring& base, std::uint32_t salt) {
    // Beside the target, and short enough for the folder even when the
    // target's own name is at the limit.
    constexpr std::size_t extra = 1 + 1 + 8 + 4;  // "." base "." hex ".tmp"
    std::size_t keep = std::min(base.size(), nameMax - extra);
    if (keep > 0 && keep < base.size() && IS_HIGH_SURROGATE(base[keep - 1])) {
        --keep;  // never split a character
    }
    wchar_t hex[9];
    std::swprintf(hex, 9, L"%08x", static_cast<unsigned>(salt));
    return L"." + base.substr(0, keep) + L"." + hex + L".tmp";
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

// The file a symbolic link (or junction) finally names, so that the rename
// replaces it rather than the link.
bool followLink(const std::wstring& path, std::wstring& resolved) {
    UniqueHandle h(::CreateFileW(path.c_str(), 0,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (h.get() == INVALID_HANDLE_VALUE) {
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

}  // namespace

WriteStatus writeFileAtomically(const std::filesystem::path& path,
                                std::span<const std::uint8_t> bytes) {
    namespace fs = std::filesystem;
    if (path.empty()) {
        return {WriteOutcome::CannotCreate, "no file name"};
    }

    fs::path target = path;
    DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        std::wstring resolved;
        if (!followLink(target.native(), resolved)) {
            return failure(WriteOutcome::CannotCreate, "cannot follow link", ::GetLastError());
        }
        target = resolved;
        attributes = ::GetFileAttributesW(target.c_str());
    }

    const std::wstring base = target.filename().native();
    if (base.empty() || base == L"." || base == L"..") {
        return {WriteOutcome::CannotCreate, "not a file name"};
    }
    // Checked here: the temporary name is shortened to fit, so only the final
    // rename would notice, after all the work.
    if (base.size() > nameMax) {
        return failure(WriteOutcome::CannotCreate, "name", ERROR_FILENAME_EXCED_RANGE);
    }
    fs::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }

    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return {WriteOutcome::CannotCreate, "target: is a folder"};
        }
        // A device would be swapped for a plain file by the rename.
        if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
            return {WriteOutcome::CannotCreate, "target: not a regular file"};
        }
        // The rename would go through on some systems; the mark is the owner's
        // wish that the file stay as it is.
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
    fs::path tempPath;
    for (int attempt = 0; attempt < 100 && created == INVALID_HANDLE_VALUE; ++attempt) {
        tempPath = folder / temporaryName(base, entropy());
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
    TempFileGuard guard(tempPath.native());
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
    // One rename, replacing the old file only once the new one is complete;
    // write-through returns only when the rename itself is on disk.
    if (!::MoveFileExW(tempPath.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return failure(WriteOutcome::CannotWrite, "rename", ::GetLastError());
    }
    guard.release();
    return {};
}

}  // namespace modem
