#include "win32/fixed_pitch_font.h"

#include <string>

#include "ui/control_table.h"
#include "win32/wide_text.h"

namespace modem {

namespace {

UniqueFont createFont(int height) {
    const FontTemplate font = fixedPitchFont();
    const std::u16string face = utf8ToWide(font.face);
    const std::wstring wideFace(face.begin(), face.end());
    return UniqueFont(CreateFontW(height, 0, 0, 0, font.weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DRAFT_QUALITY,
                                  FF_MODERN | DEFAULT_PITCH, wideFace.c_str()));
}

int characterWidth(HDC dc, HFONT font) {
    const HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, L"0", 1, &size);
    SelectObject(dc, old);
    return size.cx;
}

}  // namespace

int windowDpi(HWND window) {
    const HDC dc = GetDC(window);
    if (dc == nullptr) {
        return defaultDpi;
    }
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(window, dc);
    return dpi > 0 ? dpi : defaultDpi;
}

int fixedPitchFontHeight(int dpi) {
    const int base = fixedPitchFont().height;
    const int scaled = MulDiv(base, dpi, defaultDpi);
    if (scaled <= base) {
        return scaled;
    }
    // The two fields hold a whole line at the 96-DPI character width with a few
    // pixels to spare. Glyph widths round to whole pixels, so the scaled height
    // alone can draw characters wider than the field grew (at 144 DPI height 21
    // draws 11 pixels where 7 scaled is 10.5, and a channel line no longer
    // fits): the largest height up to the scaled one whose characters grew no
    // more than the DPI did.
    const HDC dc = GetDC(nullptr);
    if (dc == nullptr) {
        return scaled;
    }
    const UniqueFont reference = createFont(base);
    const int limit = characterWidth(dc, reference.get()) * dpi / defaultDpi;
    int chosen = base;
    for (int height = scaled; height > base; --height) {
        const UniqueFont font = createFont(height);
        if (characterWidth(dc, font.get()) <= limit) {
            chosen = height;
            break;
        }
    }
    ReleaseDC(nullptr, dc);
    return chosen;
}

UniqueFont makeFixedPitchFont(int dpi) {
    return createFont(fixedPitchFontHeight(dpi));
}

}  // namespace modem
