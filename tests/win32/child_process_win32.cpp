#include "tests/win32/child_process.h"

namespace modem::test {

namespace {

// Quoted as CommandLineToArgvW reads it back: backslashes double only before a quote.
std::wstring quoted(const std::wstring& argument) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

struct Search {
    DWORD process;
    std::wstring_view className;
    HWND found = nullptr;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    if (process == search->process && search->className == cls && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

ChildProcess::ChildProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                           const STARTUPINFOW& startup) {
    std::wstring commandLine = quoted(program);
    for (const std::wstring& a : arguments) {
        commandLine += L" " + quoted(a);
    }
    STARTUPINFOW info = startup;
    info.cb = sizeof(info);
    const BOOL inherit = (info.dwFlags & STARTF_USESTDHANDLES) != 0;
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, inherit, 0, nullptr, nullptr,
                        &info, &m_info)) {
        m_info = {};
    }
}

ChildProcess::~ChildProcess() {
    if (m_info.hProcess != nullptr) {
        if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_info.hProcess, 99);
            WaitForSingleObject(m_info.hProcess, 10000);
        }
        CloseHandle(m_info.hThread);
        CloseHandle(m_info.hProcess);
    }
}

std::optional<DWORD> ChildProcess::exitCode(std::chrono::milliseconds limit) {
    if (m_info.hProcess == nullptr ||
        WaitForSingleObject(m_info.hProcess, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(m_info.hProcess, &code);
    return code;
}

std::wstring environmentWide(const wchar_t* name) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) {
        return {};
    }
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

HWND topWindowOf(DWORD process, std::wstring_view className) {
    Search search{process, className};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring messageBoxText(HWND box) {
    wchar_t text[4096] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 4096);
    return text;
}

}  // namespace modem::test
