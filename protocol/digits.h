#pragma once

// Digit-string readers shared by the report parser and the form reader. A
// position at or past the end of the text reads as NUL, which is no digit.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace modem {

// Decimal digits from `pos` on, at most 16, up to the first non-digit; the
// value wraps modulo 2^32. No digit gives 0.
[[nodiscard]] std::uint32_t decValue(std::string_view text, std::size_t pos = 0);

// The one character at `pos` as a decimal digit; anything else gives 0.
[[nodiscard]] std::uint32_t digitValue(std::string_view text, std::size_t pos = 0);

// As decValue with hexadecimal digits of either case; no "0x" prefix is known,
// so of more than eight digits only the last eight count.
[[nodiscard]] std::uint32_t hexValue(std::string_view text, std::size_t pos = 0);

}  // namespace modem
