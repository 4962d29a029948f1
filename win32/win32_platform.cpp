#include "win32/win32_platform.h"

#include <commdlg.h>

#include <string>
#include <vector>

#include "link/utf8_win32.h"
#include "win32/wide_text.h"

namespace modem {

namespace {

std::wstring wide(std::string_view utf8) {
    const std::u16string text = utf8ToWide(utf8);
    return {text.begin(), text.end()};
}

// 0x83C1E: replace prompt, no read-only box, current folder kept, help button,
// extension flag, existing folder, existing file on load, create prompt,
// Explorer style.
constexpr DWORD chooserFlags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                               OFN_SHOWHELP | OFN_EXTENSIONDIFFERENT | OFN_PATHMUSTEXIST |
                               OFN_FILEMUSTEXIST | OFN_CREATEPROMPT | OFN_EXPLORER;

constexpr std::size_t pathCapacity = 4096;  // characters, the terminating zero included

}  // namespace

void showMessage(std::string_view text, std::string_view caption, UINT icon) {
    MessageBoxW(nullptr, widenUtf8(text).c_str(), widenUtf8(caption).c_str(), MB_OK | icon);
}

void Win32MessageBox::show(std::string_view text, std::string_view caption, MessageIcon icon) {
    const UINT type = MB_OK | (icon == MessageIcon::Warning ? MB_ICONWARNING : 0U);
    MessageBoxW(nullptr, wide(text).c_str(), wide(caption).c_str(), type);
}

Answer Win32MessageBox::ask(std::string_view text, std::string_view caption) {
    // No, the second button, is the default. A Yes/No box has no other way out:
    // Escape does nothing and its close box is disabled.
    const int answer = MessageBoxW(nullptr, wide(text).c_str(), wide(caption).c_str(),
                                   MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING);
    return answer == IDYES ? Answer::Yes : Answer::No;
}

std::optional<std::filesystem::path> Win32FileChooser::choose(FileDialogKind kind) {
    const bool save = kind == FileDialogKind::Save;
    std::vector<wchar_t> name(pathCapacity, L'\0');  // empty: no preset name
    static constexpr wchar_t filter[] = L"Modem cfg Files (*.cfg)\0*.cfg\0";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = GetActiveWindow();
    ofn.hInstance = GetModuleHandleW(nullptr);
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.lpstrTitle = save ? L"Save" : L"Load";
    ofn.Flags = chooserFlags;
    ofn.lpstrDefExt = L"cfg";
    const BOOL chosen = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (!chosen || name[0] == L'\0') {
        return std::nullopt;
    }
    return std::filesystem::path(std::wstring(name.data()));
}

void Win32Timer::start(std::chrono::milliseconds delay, std::function<void()> onExpired) {
    m_onExpired = std::move(onExpired);
    // Setting the same id again replaces the pending expiry.
    m_active = m_dialog != nullptr &&
               SetTimer(m_dialog, timerId, static_cast<UINT>(delay.count()), nullptr) != 0;
}

void Win32Timer::stop() {
    if (m_active && m_dialog != nullptr) {
        KillTimer(m_dialog, timerId);
    }
    m_active = false;
}

void Win32Timer::expired() {
    if (!m_active) {
        return;  // a WM_TIMER already queued when the timer was stopped
    }
    stop();
    // Copied first: the callback may restart the timer with a new one.
    const std::function<void()> callback = m_onExpired;
    if (callback) {
        callback();
    }
}

void Win32Dispatcher::post(std::function<void()> task) {
    {
        const std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    if (const HWND dialog = m_dialog.load()) {
        PostMessageW(dialog, dispatchMessage, 0, 0);
    }
}

void Win32Dispatcher::runPending() {
    for (;;) {
        std::function<void()> task;
        {
            const std::lock_guard lock(m_mutex);
            if (m_tasks.empty()) {
                return;
            }
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}

}  // namespace modem
