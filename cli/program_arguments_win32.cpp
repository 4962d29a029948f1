#include <windows.h>

#include <shellapi.h>

#include <memory>

#include "cli/program_arguments.h"
#include "link/utf8_win32.h"

namespace modem::cli {

// main's argv is in the ANSI code page, which has no room for most file
// names; the UTF-16 command line has every character.
std::vector<std::string> programArguments(int argc, char** argv) {
    int count = 0;
    const std::unique_ptr<LPWSTR, decltype(&LocalFree)> wide(
        CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
    if (!wide) {
        return {argv, argv + argc};
    }
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        arguments.push_back(narrowUtf8(wide.get()[i], wcslen(wide.get()[i])));
    }
    return arguments;
}

}  // namespace modem::cli
