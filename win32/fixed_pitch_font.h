#pragma once

// The fixed-pitch font of the channel table and the terminal pane, at the DPI
// the dialog is drawn with. The dialog font follows the DPI by its point size;
// this one is given in pixels at 96 DPI and is scaled here.

#include "win32/windows_api.h"

#include <memory>
#include <type_traits>

namespace modem {

inline constexpr int defaultDpi = 96;

struct FontDeleter {
    void operator()(HFONT font) const { DeleteObject(font); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// The DPI `window` is drawn with (the system's, for a DPI-aware program).
[[nodiscard]] int windowDpi(HWND window);

// The cell height in pixels: the 96-DPI height scaled by `dpi`, or less where
// whole-pixel rounding would make the characters grow more than the DPI did.
[[nodiscard]] int fixedPitchFontHeight(int dpi);

[[nodiscard]] UniqueFont makeFixedPitchFont(int dpi);

}  // namespace modem
