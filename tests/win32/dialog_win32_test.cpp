// The real dialog under the window manager: what the template builds, what
// initialisation adds, and how it answers the keyboard, the mouse and a paste.

#include <gtest/gtest.h>

#include "win32/windows_api.h"

#include <commctrl.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "link/terminal_pane.h"
#include "protocol/report_parser.h"
#include "settings/settings_file.h"
#include "sim/modem_simulator.h"
#include "tests/win32/dialog_harness.h"
#include "ui/action_texts.h"
#include "ui/control_table.h"
#include "ui/form_init.h"
#include "ui/form_model.h"
#include "ui/transfers.h"
#include "win32/dialog_template.h"
#include "win32/fixed_pitch_font.h"
#include "win32/wide_text.h"

namespace modem::test {
namespace {

std::u16string wide(std::string_view utf8) {
    return utf8ToWide(utf8);
}

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    std::wstring s(name);
    std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return std::towlower(c); });
    return s;
}

const wchar_t* expectedClass(ControlKind kind) {
    switch (controlClassAtom(kind)) {
        case 0x0080:
            return L"button";
        case 0x0081:
            return L"edit";
        case 0x0085:
            return L"combobox";
        default:
            return L"static";
    }
}

RECT placeInDialog(HWND dialog, HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

LOGFONTW fontOf(HWND window) {
    LOGFONTW font{};
    const auto handle = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    GetObjectW(handle, sizeof(font), &font);
    return font;
}

// The last line of a multi-line field lies wholly within its text area.
bool lastLineInView(HWND edit) {
    const HDC dc = GetDC(edit);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(edit, dc);
    RECT area{};
    SendMessageW(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
    const auto first = SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0);
    return first + (area.bottom - area.top) / tm.tmHeight >=
           SendMessageW(edit, EM_GETLINECOUNT, 0, 0);
}

bool isStatic(ControlKind kind) {
    return kind == ControlKind::Label || kind == ControlKind::LeftLabel ||
           kind == ControlKind::GroupBox || kind == ControlKind::CentredGroupBox;
}

std::vector<int> tabStops() {
    std::vector<int> ids;
    for (const ControlTemplate& ctl : dialogControls()) {
        if (ctl.tabStop) {
            ids.push_back(ctl.id);
        }
    }
    return ids;
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(d.window(), nullptr) << "the dialog was not created"; }

    // Focus moved by the dialog manager, as a program would move it.
    void focusOn(int id) {
        SendMessageW(d.window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(d.control(id)), TRUE);
        ASSERT_TRUE(waitFor([&] { return d.focus() == d.control(id); })) << id;
    }

    RunningDialog d;
};

TEST_F(DialogTest, WindowIsTheTemplatesFixedCentredDialog) {
    const HWND w = d.window();
    EXPECT_EQ(className(w), L"firstclass");
    const std::u16string caption = textOf(w);
    EXPECT_EQ(caption, wide(dialogTemplate().caption));
    const LONG style = GetWindowLongW(w, GWL_STYLE);
    EXPECT_NE(style & WS_CAPTION, 0);
    EXPECT_NE(style & WS_SYSMENU, 0);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
    EXPECT_EQ(style & WS_THICKFRAME, 0);
    EXPECT_NE(GetClassLongPtrW(w, GCLP_HICON), 0U);

    RECT size{0, 0, dialogTemplate().width, dialogTemplate().height};
    MapDialogRect(w, &size);
    RECT client{};
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    RECT frame{};
    GetWindowRect(w, &frame);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_LE(std::abs((frame.left + frame.right) - (work.left + work.right)), 2);
    EXPECT_LE(std::abs((frame.top + frame.bottom) - (work.top + work.bottom)), 2);

    const LOGFONTW font = fontOf(w);
    EXPECT_STREQ(font.lfFaceName, L"Arial");
    EXPECT_EQ(font.lfItalic, 0);
}

TEST_F(DialogTest, EveryControlHasItsClassStylePlaceAndText) {
    int children = 0;
    for (HWND c = GetWindow(d.window(), GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        ++children;
    }
    EXPECT_EQ(children, 96);
    for (const ControlTemplate& ctl : dialogControls()) {
        SCOPED_TRACE(ctl.id);
        const HWND c = d.control(ctl.id);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(className(c), expectedClass(ctl.kind));
        const auto style = static_cast<std::uint32_t>(GetWindowLongW(c, GWL_STYLE));
        const std::uint32_t wanted = controlStyle(ctl);
        // The kind's own bits and the tab stop. (Drawing a focused push button
        // as the default changes its low bits; a list hands its scroll bar to
        // its dropped-down part.)
        if (ctl.kind != ControlKind::Button) {
            EXPECT_EQ(style & 0xFFFFU, wanted & 0xFFFFU);
        }
        EXPECT_EQ(style & WS_TABSTOP, wanted & WS_TABSTOP);

        // The dialog manager converts the place and the size each on its own.
        RECT want{ctl.x, ctl.y, ctl.width, ctl.height};
        MapDialogRect(d.window(), &want);
        want.right += want.left;
        want.bottom += want.top;
        const RECT got = placeInDialog(d.window(), c);
        EXPECT_EQ(got.left, want.left);
        EXPECT_EQ(got.top, want.top);
        EXPECT_EQ(got.right, want.right);
        if (ctl.kind == ControlKind::List) {
            EXPECT_LE(got.bottom, want.bottom);  // the dropped-down part is not shown
        } else {
            EXPECT_EQ(got.bottom, want.bottom);
        }
        if (isStatic(ctl.kind) || ctl.kind == ControlKind::Button) {
            EXPECT_EQ(textOf(c), wide(ctl.text));
        }
    }
}

TEST_F(DialogTest, ListsHoldTheirItemsInFillOrderWithTheFirstSelections) {
    for (const ListTemplate& list : dialogLists()) {
        SCOPED_TRACE(list.id);
        const HWND c = d.control(list.id);
        ASSERT_EQ(SendMessageW(c, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(list.items.size()));
        for (std::size_t i = 0; i < list.items.size(); ++i) {
            wchar_t item[64] = {};
            SendMessageW(c, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
            const std::u16string expected = wide(list.items[i]);
            EXPECT_EQ(std::wstring(item), std::wstring(expected.begin(), expected.end()));
        }
    }
    struct Selected {
        int id;
        int index;
    };
    for (const Selected s : {Selected{ids::vhfTestChannelList, 0},
                             {ids::mfTestChannelList, 1},
                             {ids::profileList, 0},
                             {ids::vp4List, 1},
                             {ids::gchList, 1},
                             {ids::psList, 1},
                             {ids::gpwrList, 1}}) {
        EXPECT_EQ(SendMessageW(d.control(s.id), CB_GETCURSEL, 0, 0), s.index) << s.id;
    }
}

TEST_F(DialogTest, LimitsFontsFirstTextsAndFocus) {
    for (const ControlTemplate& ctl : dialogControls()) {
        if (ctl.textLimit > 0) {
            EXPECT_EQ(SendMessageW(d.control(ctl.id), EM_GETLIMITTEXT, 0, 0),
                      static_cast<LRESULT>(ctl.textLimit))
                << ctl.id;
        }
    }
    EXPECT_EQ(textOf(d.control(ids::vhfToneField)), u"1000");
    EXPECT_EQ(textOf(d.control(ids::mfToneField)), u"1000");
    EXPECT_EQ(d.focus(), d.control(ids::connectButton));

    const auto paneFont = SendMessageW(d.control(ids::terminalPane), WM_GETFONT, 0, 0);
    const auto tableFont = SendMessageW(d.control(ids::channelTable), WM_GETFONT, 0, 0);
    const auto dialogFont = SendMessageW(d.window(), WM_GETFONT, 0, 0);
    EXPECT_NE(paneFont, tableFont);  // each has a font of its own
    EXPECT_NE(paneFont, dialogFont);
    EXPECT_EQ(SendMessageW(d.control(ids::vhfToneField), WM_GETFONT, 0, 0), dialogFont);
    for (const int id : {ids::terminalPane, ids::channelTable}) {
        const LOGFONTW font = fontOf(d.control(id));
        EXPECT_STREQ(font.lfFaceName, L"Courier New");
        EXPECT_EQ(font.lfHeight, fixedPitchFontHeight(windowDpi(d.window())));
        EXPECT_EQ(font.lfWeight, FW_NORMAL);
        EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);
        EXPECT_EQ(font.lfQuality, DRAFT_QUALITY);
        EXPECT_EQ(font.lfPitchAndFamily, FF_MODERN | DEFAULT_PITCH);
    }
}

TEST_F(DialogTest, TabVisitsTheTabStopsInTemplateOrder) {
    // Round from the first focus, "Connect", back to it.
    const std::vector<int> order = tabStops();
    const auto first = std::find(order.begin(), order.end(), ids::connectButton);
    ASSERT_NE(first, order.end());
    const auto start = static_cast<std::size_t>(first - order.begin());
    const auto at = [&](std::size_t step) { return order[(start + step) % order.size()]; };
    ASSERT_EQ(d.focus(), d.control(at(0)));
    for (std::size_t i = 1; i <= order.size(); ++i) {
        const int next = at(i);
        pressKey(VK_TAB);
        ASSERT_TRUE(waitFor([&] { return d.focus() == d.control(next); }))
            << "after " << at(i - 1) << " expected " << next;
    }
    pressKey(VK_TAB, false, true);
    EXPECT_TRUE(waitFor([&] { return d.focus() == d.control(at(order.size() - 1)); }));
}

TEST_F(DialogTest, EnterAndEscapeDoNothingWherEverTheFocusIs) {
    d.dialog().pane().logLine("kept");
    const std::string pane = d.dialog().pane().snapshot();
    // A button ("Считать" would clear the pane), a single-line field, the pane,
    // a list.
    for (const int id :
         {ids::readSettingsButton, ids::vhfToneField, ids::terminalPane, ids::vp1List}) {
        SCOPED_TRACE(id);
        focusOn(id);
        const std::u16string before = textOf(d.control(id));
        pressKey(VK_RETURN);
        pressKey(VK_ESCAPE);
        // Input is handled in order: once Tab has moved the focus, Enter and
        // Escape have been handled too.
        pressKey(VK_TAB);
        ASSERT_TRUE(waitFor([&] { return d.focus() != d.control(id); }));
        EXPECT_TRUE(IsWindowVisible(d.window()));
        EXPECT_EQ(textOf(d.control(id)), before);
        EXPECT_EQ(d.dialog().pane().snapshot(), pane);
    }
    EXPECT_TRUE(IsWindow(d.window()));
}

TEST_F(DialogTest, EnterBreaksALineInTheChannelTableAndEscapeDoesNothing) {
    const HWND table = d.control(ids::channelTable);
    focusOn(ids::channelTable);
    for (const bool ctrl : {false, true}) {
        const std::u16string before = textOf(table);
        const DWORD at = 30 + 5;  // inside the second line, after "02-r1"
        SendMessageW(table, EM_SETSEL, at, at);
        pressKey(VK_ESCAPE);
        pressKey(VK_RETURN, ctrl);
        const std::u16string expected = before.substr(0, at) + u"\r\n" + before.substr(at);
        EXPECT_TRUE(waitFor([&] { return textOf(table) == expected; })) << "ctrl " << ctrl;
    }
    EXPECT_TRUE(IsWindowVisible(d.window()));
}

struct PasteCase {
    int id;
    std::u16string clipboard;
    std::u16string kept;
};

TEST_F(DialogTest, APasteIsCutAtTheFieldsLimit) {
    for (const PasteCase& c :
         {PasteCase{ids::htField, u"98765", u"987"},
          {ids::repField, u"42", u"4"},
          {ids::vhfToneField, u"123456", u"1234"},
          // Refused whole, whichever character is not a digit.
          {ids::wtField, u"1a2", u"300"},
          {ids::wtField, u"a12", u"300"},
          {ids::wtField, u"12a", u"300"},
          {ids::mfToneField, u"1 2", u"1000"},
          {ids::mfToneField, u"\uFF11\uFF12", u"1000"},  // full-width digits
          {ids::oddPathField, u"01-02-03-04-05-06-07-08-09-10", u"01-02-03-04-05-06-07-08"}}) {
        SCOPED_TRACE(c.id);
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        const std::size_t bytes = (c.clipboard.size() + 1) * sizeof(char16_t);
        const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
        std::copy_n(c.clipboard.c_str(), c.clipboard.size() + 1,
                    static_cast<char16_t*>(GlobalLock(memory)));
        GlobalUnlock(memory);
        SetClipboardData(CF_UNICODETEXT, memory);
        CloseClipboard();

        focusOn(c.id);
        SendMessageW(d.control(c.id), EM_SETSEL, 0, -1);  // the paste replaces all
        pressKey('V', true);
        // Tab after the paste: once the focus has moved the paste was handled.
        pressKey(VK_TAB);
        ASSERT_TRUE(waitFor([&] { return d.focus() != d.control(c.id); }));
        EXPECT_TRUE(waitFor([&] { return textOf(d.control(c.id)) == c.kept; }))
            << std::string(textOf(d.control(c.id)).begin(), textOf(d.control(c.id)).end());
    }
}

// A click at a control's centre, through the window manager's hit-testing,
// reaches that control: it takes the focus. A button is let go away from
// the control, so no action starts.
TEST_F(DialogTest, AClickAtEveryControlsCentreReachesIt) {
    RECT client{};
    GetClientRect(d.window(), &client);
    POINT away{1, 1};  // a corner of the dialog no control covers
    ClientToScreen(d.window(), &away);
    const std::vector<int> order = tabStops();
    for (const ControlTemplate& ctl : dialogControls()) {
        if (isStatic(ctl.kind)) {
            continue;  // labels and frames let clicks through to what lies below
        }
        SCOPED_TRACE(ctl.id);
        const HWND c = d.control(ctl.id);
        // Start from another control, so that only the click can bring the focus.
        focusOn(ctl.id == order.front() ? order.back() : order.front());
        const POINT centre = centreOf(c);

        POINT inDialog = centre;
        ScreenToClient(d.window(), &inDialog);
        EXPECT_EQ(ChildWindowFromPointEx(d.window(), inDialog, CWP_SKIPINVISIBLE), c);

        if (ctl.kind == ControlKind::List) {
            // A click opens the list; Escape, which an open list still takes,
            // closes it again.
            mouseButton(true, centre);
            mouseButton(false, centre);
            EXPECT_TRUE(waitFor(
                [&] { return d.focus() == c && SendMessageW(c, CB_GETDROPPEDSTATE, 0, 0) != 0; }));
            // Dropped, the list shows every item at once.
            COMBOBOXINFO info{};
            info.cbSize = sizeof(info);
            GetComboBoxInfo(c, &info);
            RECT shown{};
            GetClientRect(info.hwndList, &shown);
            EXPECT_GE(shown.bottom,
                      SendMessageW(c, CB_GETCOUNT, 0, 0) * SendMessageW(c, CB_GETITEMHEIGHT, 0, 0));
            pressKey(VK_ESCAPE);
            EXPECT_TRUE(waitFor([&] { return SendMessageW(c, CB_GETDROPPEDSTATE, 0, 0) == 0; }));
        } else {
            mouseButton(true, centre);
            mouseButton(false, away);
            EXPECT_TRUE(waitFor([&] { return d.focus() == c; }));
        }
    }
    EXPECT_TRUE(IsWindowVisible(d.window()));
    EXPECT_EQ(d.dialog().mset().HT, 100);  // nothing was read from the form
}

TEST_F(DialogTest, PaneShowsABurstInFewDrawingsWithTheNewestLineInView) {
    TerminalPane& pane = d.dialog().pane();
    const HWND view = d.control(ids::terminalPane);
    const int drawsBefore = d.dialog().paneDrawCount();
    constexpr int lines = 40;  // more than the pane keeps and shows
    int appends = 0;
    for (int line = 0; line < lines; ++line) {
        const std::string text = "line " + std::to_string(line) + "\r\n";
        for (const char ch : text) {
            pane.appendChar(static_cast<unsigned char>(ch));  // as the receive thread does
            ++appends;
        }
    }
    pane.appendChar('\x98');
    ASSERT_TRUE(waitFor([&] { return textOf(view) == bytesToWide(pane.snapshot()); }));
    const int draws = d.dialog().paneDrawCount() - drawsBefore;
    EXPECT_GE(draws, 1);
    EXPECT_LT(draws, appends / 20) << "drawn per byte, not per burst";
    EXPECT_EQ(textOf(view).back(), u'\uFFFD');  // 0x98 shown, not lost

    EXPECT_TRUE(lastLineInView(view)) << "the newest line is out of view";
}

TEST_F(DialogTest, ChannelTableAndPaneScrollToEveryLine) {
    std::string lines;
    for (int i = 0; i < 24; ++i) {
        lines += "line " + std::to_string(i) + (i < 23 ? "\r\n" : "");
    }
    d.dialog().pane().replaceRange(0, 0, lines);
    ASSERT_TRUE(waitFor([&] { return textOf(d.control(ids::terminalPane)).size() > 200; }));
    // Neither shows all its lines at once; the wheel brings each end into view.
    for (const int id : {ids::channelTable, ids::terminalPane}) {
        SCOPED_TRACE(id);
        const HWND c = d.control(id);
        focusOn(id);
        mouseWheel(30, centreOf(c));
        EXPECT_TRUE(waitFor([&] { return SendMessageW(c, EM_GETFIRSTVISIBLELINE, 0, 0) == 0; }));
        EXPECT_FALSE(lastLineInView(c)) << "every line in view: nothing to scroll";
        mouseWheel(-30, centreOf(c));
        EXPECT_TRUE(waitFor([&] { return lastLineInView(c); }));
    }
}

TEST_F(DialogTest, WhatTheOperatorTypesInThePaneReachesThePane) {
    d.dialog().pane().clearTerminal();
    ASSERT_TRUE(waitFor([&] { return textOf(d.control(ids::terminalPane)).empty(); }));
    focusOn(ids::terminalPane);
    typeText(u"ab\u0416");
    EXPECT_TRUE(waitFor([&] { return d.dialog().pane().snapshot() == "ab\xC6"; }));
}

TEST_F(DialogTest, PaneKeepsWhatTheEditShowsWhenLettersRepeatAndLinesLeave) {
    TerminalPane& pane = d.dialog().pane();
    const HWND view = d.control(ids::terminalPane);
    const auto matches = [&] { return wideToBytes(textOf(view)) == pane.snapshot(); };
    focusOn(ids::terminalPane);
    // Two equal letters typed, then the second or the first deleted.
    for (const std::vector<WORD>& keys : {std::vector<WORD>{VK_BACK}, {VK_LEFT, VK_BACK}}) {
        pane.clearTerminal();
        ASSERT_TRUE(waitFor([&] { return textOf(view).empty(); }));
        typeText(u"aa");
        EXPECT_TRUE(waitFor([&] { return pane.snapshot() == "aa" && matches(); }))
            << pane.snapshot();
        for (const WORD key : keys) {
            pressKey(key);
        }
        EXPECT_TRUE(waitFor([&] { return pane.snapshot() == "a" && matches(); }))
            << pane.snapshot();
    }

    // Typed while a received line break drops the first line, before the pane
    // is drawn again: the letters land where the caret stood, before "L5".
    std::string lines;
    for (int i = 0; i < 24; ++i) {
        lines += "L" + std::to_string(i) + (i < 23 ? "\r\n" : "");
    }
    pane.clearTerminal();
    pane.replaceRange(0, 0, lines);
    ASSERT_TRUE(waitFor(matches));
    const auto at = static_cast<DWORD>(lines.find("L5"));
    SendMessageW(view, EM_SETSEL, at, at);
    d.runOnDialogThread([&] {
        pane.appendChar('\r');
        typeText(u"x");  // handled before the drawing the line break asked for
    });
    EXPECT_TRUE(waitFor([&] { return pane.snapshot().find("L4\r\nxL5\r\n") != std::string::npos; }))
        << pane.snapshot();
    ASSERT_TRUE(waitFor(matches));
    typeText(u"y");
    EXPECT_TRUE(waitFor([&] { return pane.snapshot().find("xyL5\r\n") != std::string::npos; }))
        << pane.snapshot();
    EXPECT_EQ(pane.snapshot().substr(0, 4), "L1\r\n");
}

TEST_F(DialogTest, SavedAndLoadedThroughTheChoosersUnderACyrillicName) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path folder =
        std::filesystem::path(temp) / (L"настройки-" + std::to_wstring(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path typed = folder / L"профиль";  // no extension typed
    const std::filesystem::path saved = folder / L"профиль.cfg";

    SendMessageW(d.control(ids::htField), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"321"));
    PostMessageW(d.control(ids::saveFileButton), BM_CLICK, 0, 0);
    ASSERT_NO_FATAL_FAILURE(chooseFile(d.threadId(), u"Save", typed.wstring()));
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(saved); })) << "no .cfg appended";
    EXPECT_TRUE(waitFor([&] { return std::filesystem::file_size(saved) == 1024; }));

    SendMessageW(d.control(ids::htField), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"5"));
    PostMessageW(d.control(ids::openFileButton), BM_CLICK, 0, 0);
    ASSERT_NO_FATAL_FAILURE(chooseFile(d.threadId(), u"Load", saved.wstring()));
    EXPECT_TRUE(waitFor([&] { return textOf(d.control(ids::htField)) == u"321"; }));
    std::filesystem::remove_all(folder);
}

TEST_F(DialogTest, AFailedLoadIsReportedWithoutOwnerAndNeitherItNorACancelTouchesTheForm) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path shortFile =
        std::filesystem::path(temp) /
        (L"короткий-" + std::to_wstring(GetCurrentProcessId()) + L".cfg");
    std::ofstream(shortFile, std::ios::binary) << "too short";

    SendMessageW(d.control(ids::htField), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"5"));
    PostMessageW(d.control(ids::openFileButton), BM_CLICK, 0, 0);
    ASSERT_NO_FATAL_FAILURE(chooseFile(d.threadId(), u"Load", shortFile.wstring()));
    HWND box = nullptr;
    ASSERT_TRUE(waitFor([&] { return (box = windowOfThread(d.threadId(), u"Error")) != nullptr; }));
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);  // no owner: the dialog stays usable
    bool said = false;
    for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        said = said || textOf(c) == u"Could not read file";
    }
    EXPECT_TRUE(said);
    // "Считать" queued behind the answer says "not connected" in the pane once
    // the load's action has ended: then the form is as the action left it.
    const auto actionEnded = [&](std::size_t presses) {
        PostMessageW(d.control(ids::readSettingsButton), BM_CLICK, 0, 0);
        return waitFor([&] {
            const std::string pane = d.dialog().pane().snapshot();
            std::size_t count = 0;
            for (auto at = pane.find("not connected"); at != std::string::npos;
                 at = pane.find("not connected", at + 1)) {
                ++count;
            }
            return count == presses;
        });
    };
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(actionEnded(1));
    // The failed load took nothing: the operator's edit stays.
    EXPECT_EQ(textOf(d.control(ids::htField)), u"5");
    std::filesystem::remove(shortFile);

    PostMessageW(d.control(ids::openFileButton), BM_CLICK, 0, 0);
    HWND chooser = nullptr;
    ASSERT_TRUE(
        waitFor([&] { return (chooser = windowOfThread(d.threadId(), u"Load")) != nullptr; }));
    PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(actionEnded(2));
    EXPECT_EQ(textOf(d.control(ids::htField)), u"5");
    EXPECT_EQ(windowOfThread(d.threadId(), u"Error"), nullptr);
}

// Numbers wider than their fields, set by the program from a file and from a
// report: the dialog shows every field as the form model does, cut at the limit.
TEST_F(DialogTest, NumbersSetByTheProgramAreCutAsTheFormModelCutsThem) {
    FormModel model;
    Mset modelSettings;
    initialiseForm(model, modelSettings);
    const auto fieldsMatch = [&] {
        for (const ControlTemplate& ctl : dialogControls()) {
            const bool field = ctl.kind == ControlKind::NumberField ||
                               ctl.kind == ControlKind::TextField || ctl.id == ids::channelTable;
            if (field && wideToBytes(textOf(d.control(ctl.id))) != model.text(ctl.id)) {
                return false;
            }
        }
        return true;
    };
    Mset wide = defaultSettings();
    wide.HT = 65535;
    wide.GRSSI = 1234;
    wide.WT = 9999;
    wide.REP = 255;
    wide.IDTX1 = 0xFFFFFFFF;

    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path file =
        std::filesystem::path(temp) / (L"wide-" + std::to_wstring(GetCurrentProcessId()) + L".cfg");
    ASSERT_TRUE(saveSettingsFile(file, wide).ok);
    PostMessageW(d.control(ids::openFileButton), BM_CLICK, 0, 0);
    ASSERT_NO_FATAL_FAILURE(chooseFile(d.threadId(), u"Load", file.wstring()));
    // The values are out of their ranges: the program asks, and Yes loads them.
    HWND box = nullptr;
    ASSERT_TRUE(waitFor([&] {
        return (box = windowOfThread(d.threadId(), utf8ToWide(actionTexts::checkCaption))) !=
               nullptr;
    }));
    PostMessageW(box, WM_COMMAND, IDYES, 0);
    settingsToForm(wide, model);
    ASSERT_EQ(model.text(ids::htField), "655");
    EXPECT_TRUE(waitFor(fieldsMatch));
    std::filesystem::remove(file);

    wide.WT = 4321;
    const std::string report = settingsReport(wide);
    d.dialog().pane().clearTerminal();
    d.dialog().pane().appendBytes(
        {reinterpret_cast<const std::uint8_t*>(report.data()), report.size()});
    Mset reported = modelSettings;
    ASSERT_TRUE(parseReport(d.dialog().pane().snapshot(), reported));
    settingsToForm(reported, model);
    ASSERT_EQ(model.text(ids::wtField), "432");
    PostMessageW(d.control(ids::copyReportButton), BM_CLICK, 0, 0);
    EXPECT_TRUE(waitFor(fieldsMatch));
}

TEST(DialogClose, TheCloseBoxEndsTheDialogWithExitCodeZero) {
    RunningDialog d;
    ASSERT_NE(d.window(), nullptr);
    EXPECT_EQ(d.close(), 0);
    EXPECT_FALSE(IsWindow(d.window()));
}

}  // namespace
}  // namespace modem::test
