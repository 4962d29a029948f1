#pragma once

// How the single-byte text of the terminal pane and the channel table is shown
// in a Unicode text widget, and how the widget's text comes back. A CR LF pair
// is a line break; any other control byte, a lone CR or LF among them, is drawn
// as its Control Pictures symbol so that the widget's lines are exactly the
// text's own lines; bytes 0x80-0xFF are code page 1251 (its one unassigned
// byte, 0x98, as U+FFFD), so every byte comes back as it went in.

#include <QString>
#include <cstddef>
#include <string>
#include <string_view>

namespace modem {

[[nodiscard]] QString bytesToDisplay(std::string_view bytes);

// The inverse for what bytesToDisplay produces and for what an operator types:
// a line break becomes CR LF, a control picture its byte, other characters
// code page 1251 ("?" where it has none).
[[nodiscard]] std::string displayToBytes(const QString& text);

// The byte offset in `bytes` of the character at `displayPosition` in
// bytesToDisplay(bytes); positions past the end give bytes.size().
[[nodiscard]] std::size_t byteOffsetOf(std::string_view bytes, int displayPosition);

}  // namespace modem
