#pragma once

// Number fields take digits only. Their edit style refuses typed non-digits but
// lets a paste through, so the dialog looks at every pasted character itself.

#include "win32/windows_api.h"

#include <string_view>

namespace modem {

// A paste a number field takes: at least one character, every one of them an
// ASCII digit.
[[nodiscard]] bool isDigitsOnlyPaste(std::u16string_view text);

// From now on `field` refuses a paste unless the clipboard's text passes
// isDigitsOnlyPaste; then the field takes it as any paste (cut at its limit).
void refuseNonDigitPastes(HWND field);

}  // namespace modem
