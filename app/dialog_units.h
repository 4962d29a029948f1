#pragma once

// Dialog units to pixels. The dialog's geometry is its own, given in dialog
// units: a quarter of the dialog font's average character width across, an
// eighth of its height down, so the layout keeps its proportions with the
// font. Each coordinate is rounded as the Windows dialog manager rounds it.

#include <QFont>
#include <QRect>

#include "ui/control_table.h"

namespace modem {

struct BaseUnits {
    int x = 0;  // average character width of the dialog font, pixels
    int y = 0;  // character cell height of the dialog font, pixels
};

// The average width is that of the 52 Latin letters, rounded; the height is
// the font's ascent plus descent.
[[nodiscard]] BaseUnits baseUnitsOf(const QFont& font);

// One coordinate: x·base/4 and y·base/8, rounded half away from zero like
// MulDiv. Each of x, y, width and height is converted on its own.
[[nodiscard]] int dluToPixelsX(int dlu, const BaseUnits& base);
[[nodiscard]] int dluToPixelsY(int dlu, const BaseUnits& base);
[[nodiscard]] QRect dluToPixels(int x, int y, int width, int height, const BaseUnits& base);

// The dialog font as the dialog manager makes it at 96 dpi (8 pt: an em of 11
// pixels), whatever dpi the display reports, so the layout is the same on
// every screen and in the offscreen tests.
[[nodiscard]] QFont makeDialogFont(const DialogTemplate& dialog);

// A font made from a cell height in pixels (a positive height in CreateFont is
// the cell, not the em): the largest em whose cell fits.
[[nodiscard]] QFont makeFixedPitchFont(const FontTemplate& ctl);

}  // namespace modem
