#pragma once

// File names cross the program as UTF-8 text: the command line, messages and
// logs carry them so. A path is made from that text and shown as it, never
// through the narrow std::string conversions of std::filesystem, which on
// Windows go through the process's code page and lose every letter outside it.

#include <filesystem>
#include <string>
#include <string_view>

namespace modem {

[[nodiscard]] inline std::filesystem::path pathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The name as pathFromUtf8 took it.
[[nodiscard]] inline std::string pathToUtf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

}  // namespace modem
