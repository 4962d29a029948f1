#pragma once

// What is wrong with a settings image or with the form's texts, told in the
// dialog's words, before anything reaches the modem or a file. The notations
// and the transfers read any text by column arithmetic; the checker only says
// where that arithmetic would misread what the operator meant.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/report_parser.h"
#include "settings/mset.h"
#include "ui/form.h"
#include "ui/translations.h"

namespace modem {

// What is wrong, one entry per problem, in the dialog's language (UTF-8), ready
// to show the operator: the field as the dialog names it, the value, what is
// wrong with it.
using Problems = std::vector<std::string>;

// The image's values that the modem would not take or the form cannot show as
// they are: out of a field's range or list, a frequency that does not fit the
// channel notation, a CAN identifier beyond its width or equal to its row's
// other one, nibbles beyond a path list's count, a MARK other than 0x1234.
[[nodiscard]] Problems checkSettings(const Mset& mset, Language language = Language::Russian);

// The form's texts and selections as the operator left them, before
// formToSettings normalises them: the channel table (exactly 16 lines in the
// notation, each with its own number, thresholds 0-1000), the two path lists
// (1-8 channels 01-16 joined by "-"), the number fields, the RS-485 delay, the
// CAN identifiers (hexadecimal, within the chosen width, receive differing from
// transmit in each row) and every settings list without a selection.
[[nodiscard]] Problems checkForm(const Form& form, Language language = Language::Russian);

// One message listing the problems, one per line; beyond `most` entries a last
// line says how many more there are.
[[nodiscard]] std::string problemsMessage(const Problems& problems,
                                          Language language = Language::Russian,
                                          std::size_t most = 20);

// What the dialog tells the operator about a report it will not copy (UTF-8);
// empty for a complete one.
[[nodiscard]] std::string_view reportStateMessage(ReportState state,
                                                  Language language = Language::Russian);

}  // namespace modem
