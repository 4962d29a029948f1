#pragma once

// The system's words for a Win32 error code, for messages that reach people
// and field reports: always with the number, which is what a search or a
// support call needs when the words are in the user's own language.

#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/utf8_win32.h"

namespace modem {

// The system's text for `error` in UTF-8, without its closing full stop and
// line break, then "(error N)"; "error N" alone when the system has no text.
inline std::string systemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length > 0 && text != nullptr) {
        message = narrowUtf8(text, length);
    }
    if (text != nullptr) {
        LocalFree(text);
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    // Codes of the system's libraries (SetupAPI's 0xE0000235, say) read as they
    // are documented: in hexadecimal.
    std::string number = "error ";
    if (error > 0xFFFF) {
        char hex[11];
        std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(error));
        number += hex;
    } else {
        number += std::to_string(error);
    }
    return message.empty() ? number : message + " (" + number + ")";
}

// "what: <the system's text> (error N)".
inline std::string errorText(std::string_view what, DWORD error) {
    std::string text(what);
    text += ": ";
    text += systemMessage(error);
    return text;
}

}  // namespace modem
