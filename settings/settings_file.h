#pragma once

// ".cfg" settings files: 1024 bytes, the settings image at offset 0 and zeros
// after it. Choosing the file and showing the message are the caller's part.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "settings/mset.h"

namespace modem {

inline constexpr std::size_t settingsFileSize = 1024;

namespace fileMessages {
inline constexpr std::string_view caption = "Error";
inline constexpr std::string_view couldNotSave = "Could not save file";
inline constexpr std::string_view couldNotWrite = "Could not write file";
inline constexpr std::string_view couldNotLoad = "Could not load file";
inline constexpr std::string_view couldNotRead = "Could not read file";
}  // namespace fileMessages

struct FileStatus {
    bool ok = true;
    std::string_view message;                          // one of fileMessages; empty when ok
    std::string_view caption = fileMessages::caption;  // for the message box
    std::string detail;                                // the system's reason, for logs and modemctl

    explicit operator bool() const { return ok; }
};

// Writes `mset` as a settings file, replacing any previous file only once the
// new one is safely on disk.
[[nodiscard]] FileStatus saveSettingsFile(const std::filesystem::path& path, const Mset& mset);

// Reads the first 264 bytes of the file into `mset`. A file that cannot be
// opened, cannot be read or is shorter than the image changes nothing.
[[nodiscard]] FileStatus loadSettingsFile(const std::filesystem::path& path, Mset& mset);

}  // namespace modem
