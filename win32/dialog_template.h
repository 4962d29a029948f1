#pragma once

// The main dialog as an in-memory dialog template, built from the control
// table: dialog units, the dialog font, window class, and every control's id,
// window class, style, text and place in template (= tab) order.

#include <cstdint>
#include <vector>

#include "ui/control_table.h"

namespace modem {

// The window style a control of `ctl`'s kind gets.
[[nodiscard]] std::uint32_t controlStyle(const ControlTemplate& ctl);

// The predefined window class of a control kind, as its template atom
// (0x0080 button, 0x0081 edit, 0x0082 static, 0x0085 combo box).
[[nodiscard]] std::uint16_t controlClassAtom(ControlKind kind);

// An extended dialog template (DLGTEMPLATEEX and its items), DWORD-aligned as
// DialogBoxIndirectParamW wants it. Kept in 32-bit words for that alignment.
// Its texts are in `language`.
[[nodiscard]] std::vector<std::uint32_t> buildDialogTemplate(Language language = Language::Russian);

}  // namespace modem
