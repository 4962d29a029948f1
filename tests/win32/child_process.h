#pragma once

// A program of the build started as the operator would start it, watched from
// outside. Ended if it still runs at the end.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "win32/windows_api.h"

namespace modem::test {

class ChildProcess {
public:
    // Each argument is quoted whole (none holds a quote). Standard handles
    // given in `startup` (STARTF_USESTDHANDLES) are inherited.
    ChildProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                 STARTUPINFOW startup = {}) {
        std::wstring line = L"\"" + program + L"\"";
        for (const std::wstring& a : arguments) {
            line += L" \"" + a + L"\"";
        }
        startup.cb = sizeof(startup);
        const BOOL inherit = (startup.dwFlags & STARTF_USESTDHANDLES) != 0;
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, inherit, 0, nullptr, nullptr,
                            &startup, &m_info)) {
            m_info = {};
        }
    }
    ~ChildProcess() {
        if (m_info.hProcess != nullptr) {
            TerminateProcess(m_info.hProcess, 99);  // nothing if it has ended
            CloseHandle(m_info.hThread);
            CloseHandle(m_info.hProcess);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    [[nodiscard]] bool started() const { return m_info.hProcess != nullptr; }
    [[nodiscard]] DWORD threadId() const { return m_info.dwThreadId; }  // its first thread

    // The exit code once the program has ended within `limit`.
    [[nodiscard]] std::optional<DWORD> exitCode(std::chrono::milliseconds limit) const {
        DWORD code = 0;
        if (!started() ||
            WaitForSingleObject(m_info.hProcess, static_cast<DWORD>(limit.count())) !=
                WAIT_OBJECT_0 ||
            !GetExitCodeProcess(m_info.hProcess, &code)) {
            return std::nullopt;
        }
        return code;
    }

private:
    PROCESS_INFORMATION m_info{};
};

inline std::wstring environmentWide(const wchar_t* name) {
    std::wstring value(32767, L'\0');  // the longest a variable can be
    value.resize(GetEnvironmentVariableW(name, value.data(), 32767));
    return value;
}

}  // namespace modem::test
