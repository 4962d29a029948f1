// The dialog as the system's DPI and visual styles draw it: scripts/test-windows
// runs these at 96 and again at 144 DPI (LogPixels), under the themed look.

#include <gtest/gtest.h>

#include "win32/windows_api.h"

#include <commctrl.h>

#include <string>

#include "tests/win32/dialog_harness.h"
#include "ui/channel_notation.h"
#include "ui/control_table.h"
#include "win32/wide_text.h"

namespace modem::test {
namespace {

// The box `text` takes in `window`'s font, broken into lines at `width` when
// `wrapped`; `tm` gets the font's metrics.
SIZE textBox(HWND window, std::string_view utf8, bool wrapped = false, int width = 0,
             TEXTMETRICW* tm = nullptr) {
    const std::u16string text = utf8ToWide(utf8);
    const HDC dc = GetDC(window);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0)));
    RECT r{0, 0, width, 0};
    DrawTextW(dc, reinterpret_cast<const wchar_t*>(text.c_str()), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_NOPREFIX | (wrapped ? DT_WORDBREAK : DT_SINGLELINE));
    if (tm != nullptr) {
        GetTextMetricsW(dc, tm);
    }
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return {r.right, r.bottom};
}

int textAreaWidth(HWND edit) {
    RECT r{};
    SendMessageW(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
    return r.right - r.left;
}

class Layout : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(d.window(), nullptr); }
    RunningDialog d;
};

TEST_F(Layout, DrawnAtTheSessionsDpiWithVisualStyles) {
    // The session's DPI as the system keeps it (Windows tells a program that
    // is not DPI aware 96 instead).
    DWORD dpi = 96;
    DWORD size = sizeof(dpi);
    RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", RRF_RT_REG_DWORD,
                 nullptr, &dpi, &size);
    const HDC dc = GetDC(d.window());
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), static_cast<int>(dpi));
    ReleaseDC(d.window(), dc);

    // 584 dialog units are 876 pixels at 96 DPI (Arial 8 pt): 1.5 times that at 144.
    RECT client{};
    GetClientRect(d.window(), &client);
    EXPECT_NEAR(client.right, 876.0 * dpi / 96, 876.0 * dpi / 96 * 0.03);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(d.window(), WM_GETFONT, 0, 0)), sizeof(font),
               &font);
    EXPECT_EQ(font.lfHeight, -MulDiv(8, static_cast<int>(dpi), 72));  // Arial 8 pt
    TEXTMETRICW tm{};
    // The fixed-pitch fields' fonts grow with it, by at most what keeps a whole
    // line within its field (whole pixels round the glyphs' widths up).
    const int scaled = MulDiv(14, static_cast<int>(dpi), 96);
    for (const int id : {ids::channelTable, ids::terminalPane}) {
        (void)textBox(d.control(id), "", false, 0, &tm);
        EXPECT_LE(tm.tmHeight, scaled) << id;
        EXPECT_GE(tm.tmHeight, scaled * 85 / 100) << id;
    }
    // Common Controls 6, which the visual styles come with, alone knows this.
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
        SIZE box{};
        switch (ctl.kind) {
            case ControlKind::Label:
            case ControlKind::LeftLabel:
            case ControlKind::Button:  // less a pixel a side for the button's edge
                box = textBox(c, ctl.text, ctl.kind != ControlKind::Button || ctl.multiLineCaption,
                              r.right - (ctl.kind == ControlKind::Button ? 2 : 0));
                EXPECT_LE(box.cx, r.right - (ctl.kind == ControlKind::Button ? 2 : 0));
                EXPECT_LE(box.cy, r.bottom);
                break;
            case ControlKind::GroupBox:  // the title starts a few pixels in
            case ControlKind::CentredGroupBox:
                EXPECT_LE(textBox(c, ctl.text).cx, r.right - 10);
                break;
            case ControlKind::NumberField:
            case ControlKind::TextField: {
                const bool path = ctl.id == ids::oddPathField || ctl.id == ids::evenPathField;
                const std::string widest = path                ? "01-02-03-04-05-06-07-08"
                                           : ctl.textLimit > 0 ? std::string(ctl.textLimit, '0')
                                                               : "1fffffff";  // a CAN id
                EXPECT_LE(textBox(c, widest).cx, textAreaWidth(c));
                break;
            }
            case ControlKind::List: {
                COMBOBOXINFO info{};
                info.cbSize = sizeof(info);
                GetComboBoxInfo(c, &info);
                for (const std::string& item : findList(ctl.id)->items) {
                    EXPECT_LE(textBox(c, item).cx, info.rcItem.right - info.rcItem.left) << item;
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
    EXPECT_LE(textBox(table, renderChannelTable(defaultSettings().CH).substr(0, 28)).cx,
              textAreaWidth(table));
    std::string full;
    for (int i = 0; i < 24; ++i) {
        full += std::string(i < 23 ? 57 : 80, static_cast<char>('A' + i)) + (i < 23 ? "\r\n" : "");
    }
    d.dialog().pane().replaceRange(0, 0, full);
    const HWND pane = d.control(ids::terminalPane);
    ASSERT_TRUE(waitFor([&] { return textOf(pane).size() == full.size(); }));
    EXPECT_EQ(SendMessageW(pane, EM_GETLINECOUNT, 0, 0), 24);
    EXPECT_LE(textBox(pane, std::string(57, 'W')).cx, textAreaWidth(pane));
}

}  // namespace
}  // namespace modem::test
