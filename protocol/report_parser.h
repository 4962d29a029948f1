#pragma once

// Reads the modem's settings report back out of the terminal pane's text at
// fixed character positions; the labels around the values are never looked at.

#include <cstddef>
#include <string_view>

#include "settings/mset.h"

namespace modem {

// The most characters of the pane the parser looks at.
inline constexpr std::size_t reportTextLimit = 1151;

// Copies every setting the report carries into `mset`. Returns whether the text
// starts with "Modem"; without it `mset` is left exactly as it was. RSDLY, MARK,
// BAND and the reserved bytes are never touched: the report does not carry them.
[[nodiscard]] bool parseReport(std::string_view paneText, Mset& mset);

// Whether the pane holds a whole report: the signature, and the line break that
// ends the even-path list (everything the parser reads lies before it).
[[nodiscard]] bool reportComplete(std::string_view paneText);

}  // namespace modem
