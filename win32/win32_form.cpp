#include "win32/win32_form.h"

#include <algorithm>
#include <string>

#include "ui/control_table.h"
#include "win32/wide_text.h"

namespace modem {

std::u16string wideWindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return {text.begin(), text.end()};
}

void setWideWindowText(HWND window, std::u16string_view text) {
    const std::wstring wide(text.begin(), text.end());
    SetWindowTextW(window, wide.c_str());
}

HWND Win32Form::control(int id) const {
    if (m_dialog == nullptr || findControl(id) == nullptr) {
        return nullptr;
    }
    return GetDlgItem(m_dialog, id);
}

std::string Win32Form::windowText(int id) const {
    if (id == ids::terminalPane && m_pane != nullptr) {
        return m_pane->snapshot();
    }
    const HWND window = control(id);
    return window == nullptr ? std::string() : wideToBytes(wideWindowText(window));
}

void Win32Form::replaceText(int id, std::size_t clearCount, std::string_view text) {
    const HWND window = control(id);
    if (window == nullptr) {
        return;
    }
    if (id == ids::terminalPane && m_pane != nullptr) {
        m_pane->replaceRange(0, clearCount, text);
        return;
    }
    // A window text set by the program bypasses the edit's own limit, so the
    // cut is made here.
    setWideWindowText(
        window, bytesToWide(replacedLeadingText(windowText(id), clearCount, text, textLimit(id))));
}

std::string Win32Form::readText(int id, std::size_t maxCount) const {
    std::string text = windowText(id);
    text.resize(std::min(maxCount, text.size()));
    return text;
}

void Win32Form::setSelection(int id, int index) {
    const ControlTemplate* ctl = findControl(id);
    const HWND window = control(id);
    if (ctl == nullptr || ctl->kind != ControlKind::List || window == nullptr) {
        return;
    }
    const auto count = static_cast<int>(SendMessageW(window, CB_GETCOUNT, 0, 0));
    const int shown = index >= 0 && index < count ? index : -1;
    SendMessageW(window, CB_SETCURSEL, static_cast<WPARAM>(shown), 0);
}

int Win32Form::selection(int id) const {
    const ControlTemplate* ctl = findControl(id);
    const HWND window = control(id);
    if (ctl == nullptr || ctl->kind != ControlKind::List || window == nullptr) {
        return 0;
    }
    return static_cast<int>(SendMessageW(window, CB_GETCURSEL, 0, 0));
}

void Win32Form::setCaption(int id, std::string_view text) {
    if (const HWND window = control(id)) {
        setWideWindowText(window, bytesToWide(text));
    }
}

std::string Win32Form::caption(int id) const {
    const HWND window = control(id);
    return window == nullptr ? std::string() : wideToBytes(wideWindowText(window));
}

}  // namespace modem
