#pragma once

// Conversion between UTF-8 (the texts in the source and in the front ends) and
// code page 1251 (the single-byte texts of the form and the terminal pane).

#include <string>
#include <string_view>

namespace modem {

// A character code page 1251 lacks, or a malformed UTF-8 sequence, becomes "?".
[[nodiscard]] std::string utf8ToCp1251(std::string_view utf8);

// The one unassigned code, 0x98, becomes "?".
[[nodiscard]] std::string cp1251ToUtf8(std::string_view cp1251);

}  // namespace modem
