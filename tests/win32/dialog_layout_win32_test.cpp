// The dialog as the system's DPI and visual styles draw it: scripts/test-windows
// runs these at 96 and again at 144 DPI (LogPixels), under the themed look.

#include <gtest/gtest.h>

#include "win32/windows_api.h"

#include <commctrl.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/win32/dialog_harness.h"
#include "ui/channel_notation.h"
#include "ui/control_table.h"
#include "win32/wide_text.h"

namespace modem::test {
namespace {

// The DPI the session was started with, as the system keeps it for every
// program (Windows tells a program that is not DPI aware 96 instead).
int sessionDpi() {
    DWORD dpi = 0;
    DWORD size = sizeof(dpi);
    if (RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", RRF_RT_REG_DWORD,
                     nullptr, &dpi, &size) != ERROR_SUCCESS) {
        return 96;
    }
    return static_cast<int>(dpi);
}

std::wstring wideOf(std::string_view utf8) {
    const std::u16string w = utf8ToWide(utf8);
    return {w.begin(), w.end()};
}

// The box `text` takes in `window`'s font, broken into lines at `width` when
// `wrapped`.
SIZE textBox(HWND window, const std::wstring& text, bool wrapped, int width) {
    const HDC dc = GetDC(window);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    RECT r{0, 0, width, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_NOPREFIX | (wrapped ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return {r.right, r.bottom};
}

TEXTMETRICW metricsOf(HWND window) {
    const HDC dc = GetDC(window);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return tm;
}

int textAreaWidth(HWND edit) {
    RECT r{};
    SendMessageW(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
    return r.right - r.left;
}

// The widest text a single-line field is meant to show.
std::wstring widestText(const ControlTemplate& ctl) {
    if (ctl.id == ids::oddPathField || ctl.id == ids::evenPathField) {
        return L"01-02-03-04-05-06-07-08";
    }
    if (ctl.textLimit > 0) {
        return std::wstring(ctl.textLimit, L'0');
    }
    return L"1fffffff";  // a 29-bit CAN identifier
}

class Layout : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(d.window(), nullptr); }
    RunningDialog d;
};

TEST_F(Layout, DrawnAtTheSessionsDpiWithVisualStyles) {
    const int dpi = sessionDpi();
    const HDC dc = GetDC(d.window());
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), dpi);
    ReleaseDC(d.window(), dc);

    // 584 dialog units are 876 pixels at 96 DPI (Arial 8 pt): 1.5 times that at 144.
    RECT client{};
    GetClientRect(d.window(), &client);
    EXPECT_NEAR(client.right, 876.0 * dpi / 96, 876.0 * dpi / 96 * 0.03);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(d.window(), WM_GETFONT, 0, 0)), sizeof(font),
               &font);
    EXPECT_EQ(font.lfHeight, -MulDiv(8, dpi, 72));
    // The fixed-pitch fields' fonts grow with it, by at most what keeps a whole
    // line within its field (whole pixels round the glyphs' widths up).
    for (const int id : {ids::channelTable, ids::terminalPane}) {
        EXPECT_LE(metricsOf(d.control(id)).tmHeight, MulDiv(14, dpi, 96)) << id;
        EXPECT_GE(metricsOf(d.control(id)).tmHeight, MulDiv(14, dpi, 96) * 85 / 100) << id;
    }

    // Common Controls 6, which the visual styles come with: it alone knows
    // BCM_GETIDEALSIZE.
    SIZE ideal{};
    EXPECT_TRUE(SendMessageW(d.control(ids::connectButton), BCM_GETIDEALSIZE, 0,
                             reinterpret_cast<LPARAM>(&ideal)));
}

TEST_F(Layout, EveryTextShowsWholeInItsControl) {
    for (const ControlTemplate& ctl : dialogControls()) {
        SCOPED_TRACE(ctl.id);
        const HWND c = d.control(ctl.id);
        RECT r{};
        GetClientRect(c, &r);
        const std::wstring text = wideOf(ctl.text);
        switch (ctl.kind) {
            case ControlKind::Label:
            case ControlKind::LeftLabel: {
                const SIZE box = textBox(c, text, true, r.right);
                EXPECT_LE(box.cx, r.right);
                EXPECT_LE(box.cy, r.bottom);
                break;
            }
            case ControlKind::Button: {
                // A pixel a side for the button's edge.
                const SIZE box = textBox(c, text, ctl.multiLineCaption, r.right - 2);
                EXPECT_LE(box.cx, r.right - 2);
                EXPECT_LE(box.cy, r.bottom - 2);
                break;
            }
            case ControlKind::GroupBox:
            case ControlKind::CentredGroupBox:
                // The title starts a few pixels in from the frame's corner.
                EXPECT_LE(textBox(c, text, false, 0).cx, r.right - 10);
                break;
            case ControlKind::NumberField:
            case ControlKind::TextField:
                EXPECT_LE(textBox(c, widestText(ctl), false, 0).cx, textAreaWidth(c));
                break;
            case ControlKind::List: {
                COMBOBOXINFO info{};
                info.cbSize = sizeof(info);
                GetComboBoxInfo(c, &info);
                for (const std::string& item : findList(ctl.id)->items) {
                    EXPECT_LE(textBox(c, wideOf(item), false, 0).cx,
                              info.rcItem.right - info.rcItem.left)
                        << item;
                }
                break;
            }
            case ControlKind::MultiLineField:
                break;  // below
        }
    }

    // Each channel line on a line of its own, whole; the same for 24 pane
    // lines of 57 characters, and a longer one (typed) is not wrapped either.
    const HWND table = d.control(ids::channelTable);
    EXPECT_EQ(SendMessageW(table, EM_GETLINECOUNT, 0, 0), 16);
    const std::u16string line = utf8ToWide(renderChannelTable(defaultSettings().CH).substr(0, 28));
    EXPECT_LE(textBox(table, {line.begin(), line.end()}, false, 0).cx, textAreaWidth(table));
    std::string full;
    for (int i = 0; i < 24; ++i) {
        full += std::string(i < 23 ? 57 : 80, static_cast<char>('A' + i)) + (i < 23 ? "\r\n" : "");
    }
    d.dialog().pane().replaceRange(0, 0, full);
    const HWND pane = d.control(ids::terminalPane);
    ASSERT_TRUE(waitFor([&] { return textOf(pane).size() == full.size(); }));
    EXPECT_EQ(SendMessageW(pane, EM_GETLINECOUNT, 0, 0), 24);
    EXPECT_LE(textBox(pane, std::wstring(57, L'W'), false, 0).cx, textAreaWidth(pane));
}

}  // namespace
}  // namespace modem::test
