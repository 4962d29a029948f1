// modemcfg.exe in English and nothing cut in either language: the program
// started with --lang en read from its windows, the actions' message boxes in
// English, and every caption, label, frame title and list item measured with
// the control's own font against the room the control gives it.

#include <gtest/gtest.h>

#include "win32/windows_api.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/utf8_win32.h"
#include "tests/win32/child_process.h"
#include "tests/win32/dialog_harness.h"
#include "ui/control_table.h"
#include "win32/wide_text.h"

namespace modem::test {
namespace {

using namespace std::chrono_literals;

std::string utf8(const std::wstring& text) {
    return narrowUtf8(text.data(), text.size());
}

bool hasCyrillic(const std::wstring& text) {
    return std::any_of(text.begin(), text.end(),
                       [](wchar_t c) { return c >= 0x400 && c <= 0x4FF; });
}

// WM_GETTEXT rather than GetWindowText, which reads no control of another process.
std::wstring windowText(HWND window) {
    wchar_t text[2048] = {};
    SendMessageW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
    return text;
}

std::vector<std::wstring> itemsOf(HWND list) {
    std::vector<std::wstring> items;
    const auto count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t item[256] = {};
        SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
        items.emplace_back(item);
    }
    return items;
}

// A frame's title at the left starts this far in from the frame's edge (pixels).
constexpr int frameTitleMargin = 8;

// Measures texts with one control's own font on that control's DC.
class Measure {
public:
    explicit Measure(HWND control) : m_control(control), m_dc(GetDC(control)) {
        const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        m_old = SelectObject(m_dc, font);
    }
    ~Measure() {
        SelectObject(m_dc, m_old);
        ReleaseDC(m_control, m_dc);
    }
    Measure(const Measure&) = delete;
    Measure& operator=(const Measure&) = delete;

    [[nodiscard]] SIZE line(const std::wstring& text) const {
        SIZE size{};
        GetTextExtentPoint32W(m_dc, text.c_str(), static_cast<int>(text.size()), &size);
        return size;
    }
    // `text` broken to `width` as a static or a multi-line button breaks it.
    [[nodiscard]] SIZE wrapped(const std::wstring& text, int width, UINT alignment) const {
        RECT r{0, 0, width, 0};
        DrawTextW(m_dc, text.c_str(), -1, &r,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL | alignment);
        return {r.right - r.left, r.bottom - r.top};
    }

private:
    HWND m_control;
    HDC m_dc;
    HGDIOBJ m_old = nullptr;
};

struct Cut {
    std::string what;
    SIZE needed;
    SIZE room;
};

// What of control `ctl`'s text, as its window holds it, does not fit its room.
std::vector<Cut> cutsOf(HWND dialog, const ControlTemplate& ctl, int& measured) {
    const HWND control = GetDlgItem(dialog, ctl.id);
    RECT client{};
    GetClientRect(control, &client);
    const Measure measure(control);
    const int edgeX = GetSystemMetrics(SM_CXEDGE);
    const int edgeY = GetSystemMetrics(SM_CYEDGE);
    const std::wstring text = windowText(control);
    const std::string name = std::to_string(ctl.id) + " \"" + utf8(text.substr(0, 24)) + "\"";
    std::vector<Cut> cuts;
    const auto check = [&](const std::string& what, SIZE needed, SIZE room) {
        // A font that measures nothing would let every text pass.
        EXPECT_GT(needed.cx, 0) << what;
        ++measured;
        if (needed.cx > room.cx || needed.cy > room.cy) {
            cuts.push_back({what, needed, room});
        }
    };
    switch (ctl.kind) {
        case ControlKind::Button: {
            // Inside the border and the focus rectangle.
            const SIZE room{client.right - 2 * (edgeX + 1), client.bottom - 2 * edgeY};
            check(name,
                  ctl.multiLineCaption ? measure.wrapped(text, room.cx, DT_CENTER)
                                       : measure.line(text),
                  room);
            break;
        }
        case ControlKind::Label:
        case ControlKind::LeftLabel:
            check(name,
                  measure.wrapped(text, client.right,
                                  ctl.kind == ControlKind::Label ? DT_CENTER : DT_LEFT),
                  {client.right, client.bottom});
            break;
        case ControlKind::GroupBox:
        case ControlKind::CentredGroupBox: {
            SIZE needed = measure.line(text);
            needed.cx += ctl.kind == ControlKind::GroupBox ? frameTitleMargin : 0;
            check(name, needed, {client.right, client.bottom});
            break;
        }
        case ControlKind::List: {
            // The closed list shows its item beside the arrow, inside the border.
            const SIZE room{client.right - GetSystemMetrics(SM_CXVSCROLL) - 2 * edgeX,
                            client.bottom};
            for (const std::wstring& item : itemsOf(control)) {
                check(std::to_string(ctl.id) + " item \"" + utf8(item) + "\"", measure.line(item),
                      room);
            }
            break;
        }
        default:
            break;
    }
    return cuts;
}

TEST(DialogFit, NoCaptionLabelTitleOrItemIsCutInEitherLanguage) {
    for (const Language language : {Language::Russian, Language::English}) {
        SCOPED_TRACE(language == Language::English ? "English" : "Russian");
        RunningDialog d({}, language);
        ASSERT_NE(d.window(), nullptr);
        int measured = 0;
        for (const ControlTemplate& ctl : dialogControls(language)) {
            for (const Cut& cut : cutsOf(d.window(), ctl, measured)) {
                ADD_FAILURE() << cut.what << " needs " << cut.needed.cx << "x" << cut.needed.cy
                              << ", has " << cut.room.cx << "x" << cut.room.cy;
            }
        }
        EXPECT_GT(measured, 100);
    }
}

// The actions' message boxes in English; the pane's own line is the same in
// every language.
TEST(EnglishDialog, MessagesComeInEnglish) {
    RunningDialog d({}, Language::English);
    ASSERT_NE(d.window(), nullptr);
    std::u16string table = textOf(d.control(ids::channelTable));
    const std::size_t at = table.find(u"s0330", 3 * 30);
    ASSERT_NE(at, std::u16string::npos);
    table.replace(at, 5, u"s330");
    const std::wstring typed(table.begin(), table.end());
    SendMessageW(d.control(ids::channelTable), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(typed.c_str()));
    PostMessageW(d.control(ids::checkButton), BM_CLICK, 0, 0);
    HWND box = nullptr;
    ASSERT_TRUE(waitFor(
        [&] { return (box = windowOfThread(d.threadId(), u"Settings check")) != nullptr; }));
    wchar_t text[4096] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 4096);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_NE(std::wstring(text).find(L"line 04: threshold — four digits"), std::wstring::npos)
        << utf8(text);
    EXPECT_FALSE(hasCyrillic(text)) << utf8(text);

    PostMessageW(d.control(ids::readSettingsButton), BM_CLICK, 0, 0);
    EXPECT_TRUE(waitFor(
        [&] { return d.dialog().pane().snapshot().find("not connected") != std::string::npos; }));
}

// The program started as an operator starts it with --lang en: not a Russian
// word in any of its windows' texts or list items.
TEST(EnglishDialog, StartedWithLangEnTheProgramShowsEnglish) {
    const std::wstring exe = environmentWide(L"MODEMCFG_EXE");
    if (exe.empty()) {
        GTEST_SKIP() << "MODEMCFG_EXE names the program";
    }
    const ChildProcess program(exe, {L"--lang", L"en", L"--port", L"COM99"});
    const std::u16string caption = utf8ToWide(dialogTemplate(Language::English).caption);
    HWND dialog = nullptr;
    ASSERT_TRUE(waitFor(
        [&] { return (dialog = windowOfThread(program.threadId(), caption)) != nullptr; }, 20s))
        << "no English dialog";
    int controls = 0;
    for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        ++controls;
        EXPECT_FALSE(hasCyrillic(windowText(c))) << utf8(windowText(c));
        for (const std::wstring& item : itemsOf(c)) {
            EXPECT_FALSE(hasCyrillic(item)) << utf8(item);
        }
    }
    EXPECT_EQ(controls, 96);
    EXPECT_EQ(windowText(GetDlgItem(dialog, ids::vhfToneButton)), L"Sine gen., Hz");
    EXPECT_EQ(itemsOf(GetDlgItem(dialog, ids::gpwrList)),
              (std::vector<std::wstring>{L"Normal", L"Reduced"}));
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.exitCode(20s), 0U);
}

}  // namespace
}  // namespace modem::test
