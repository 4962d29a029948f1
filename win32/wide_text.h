#pragma once

// Texts between the form (single-byte, code page 1251) and the wide-character
// window API. A CR LF pair is an edit control's line break and stays one; any
// other control byte, a lone CR or LF among them, is drawn as its Control
// Pictures symbol (a NUL would end the window text early); 0x98, the one byte
// the code page leaves unassigned, is drawn as U+FFFD. So every byte comes back
// from a control as it went in, whatever the system's ANSI code page.

#include <string>
#include <string_view>

namespace modem {

[[nodiscard]] std::u16string bytesToWide(std::string_view cp1251);

// The inverse for what bytesToWide produces and for what an operator types or
// pastes: a lone LF also counts as a line break, other characters become code
// page 1251 ("?" where it has none).
[[nodiscard]] std::string wideToBytes(std::u16string_view text);

// Template texts (UTF-8 in the control table) as the window API takes them.
[[nodiscard]] std::u16string utf8ToWide(std::string_view utf8);

}  // namespace modem
