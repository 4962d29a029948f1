#pragma once

// A program of the build started as the operator would start it, for tests
// that watch it from outside: its windows, its exit code.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "win32/windows_api.h"

namespace modem::test {

class ChildProcess {
public:
    // `program` and `arguments` are quoted into one command line. Standard
    // handles given in `startup` (STARTF_USESTDHANDLES) are inherited.
    ChildProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                 const STARTUPINFOW& startup = {});
    // Ends the program if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    [[nodiscard]] bool started() const { return m_info.hProcess != nullptr; }
    [[nodiscard]] DWORD id() const { return m_info.dwProcessId; }
    // The exit code once the program has ended within `limit`; nothing otherwise.
    [[nodiscard]] std::optional<DWORD> exitCode(std::chrono::milliseconds limit);

private:
    PROCESS_INFORMATION m_info{};
};

// The text of an environment variable, as the program was given it.
[[nodiscard]] std::wstring environmentWide(const wchar_t* name);

// A visible top-level window of `process` of the window class `className`
// ("#32770" for a dialog or message box); null when there is none.
[[nodiscard]] HWND topWindowOf(DWORD process, std::wstring_view className);

// The text of a message box (its static text, id 0xFFFF).
[[nodiscard]] std::wstring messageBoxText(HWND box);

}  // namespace modem::test
