#include "win32/number_field.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

namespace modem {

namespace {

std::u16string clipboardText(HWND owner) {
    std::u16string text;
    if (!OpenClipboard(owner)) {
        return text;
    }
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const char16_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

LRESULT CALLBACK refusePaste(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                             UINT_PTR /*id*/, DWORD_PTR /*data*/) {
    if (message == WM_PASTE && !isDigitsOnlyPaste(clipboardText(window))) {
        return 0;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

bool isDigitsOnlyPaste(std::u16string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

void refuseNonDigitPastes(HWND field) {
    SetWindowSubclass(field, refusePaste, 1, 0);
}

}  // namespace modem
