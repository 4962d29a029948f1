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

enum class ReportState { Absent, Incomplete, Damaged, Complete };

// How far the pane's text can be trusted as a report. Absent: it does not start
// with "Modem". Incomplete: everything there is sound so far, but the text ends
// before the line break that ends the even-path list. Damaged: a value the
// parser reads is not where the layout puts it or is not well formed in its room
// (a letter typed into the report, a status line glued in, a line shifted), or a
// line break is missing or extra. Complete: everything the parser reads is sound.
[[nodiscard]] ReportState examineReport(std::string_view paneText);

// Whether the pane holds a whole, sound report.
[[nodiscard]] bool reportComplete(std::string_view paneText);

// The text from the first line that starts with "Modem" on; the whole text when
// no line does. A late answer to an earlier command can stand in front of the
// report; the lines before it are whole lines, so what follows is exactly what
// a cleared pane would hold.
[[nodiscard]] std::string_view findReport(std::string_view paneText);

}  // namespace modem
