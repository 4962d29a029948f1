#include "win32/pane_view.h"

#include <algorithm>

#include "link/terminal_pane.h"
#include "win32/wide_text.h"
#include "win32/win32_form.h"

namespace modem {

PaneView::PaneView(HWND dialog, HWND edit, TerminalPane& pane, UINT changedMessage)
    : m_dialog(dialog), m_edit(edit), m_pane(pane) {
    // Called from whichever thread changed the pane, once per burst: a posted
    // message never blocks that thread.
    m_pane.setChangeListener(
        [dialog, changedMessage] { PostMessageW(dialog, changedMessage, 0, 0); });
    refresh();
}

PaneView::~PaneView() {
    m_pane.setChangeListener({});
}

void PaneView::scheduleFrame() {
    if (!m_frameScheduled) {
        m_frameScheduled = SetTimer(m_dialog, frameTimerId, frameIntervalMs, nullptr) != 0;
        if (!m_frameScheduled) {
            refresh();
        }
    }
}

void PaneView::frameDue() {
    KillTimer(m_dialog, frameTimerId);
    m_frameScheduled = false;
    refresh();
}

void PaneView::refresh() {
    // Re-arm before reading, so that a change after the snapshot notifies again.
    m_pane.takeNotification();
    TerminalPane::Drawing now = m_pane.drawing();
    // Lines that left the front since the last drawing: the caret moves back
    // with the text it stood in.
    const std::uint64_t gone = now.dropped - std::min(now.dropped, m_shownDropped);
    m_shownDropped = now.dropped;
    std::string text = std::move(now.text);
    if (text == m_shown && gone == 0 && m_drawCount > 0) {
        return;
    }
    const bool editing = GetFocus() == m_edit;
    DWORD selStart = 0;
    DWORD selEnd = 0;
    SendMessageW(m_edit, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart),
                 reinterpret_cast<LPARAM>(&selEnd));
    const auto back = [gone](DWORD at) {
        return at > gone ? static_cast<DWORD>(at - gone) : DWORD{0};
    };
    selStart = back(selStart);
    selEnd = back(selEnd);

    // One repaint for the whole change: the text, the caret and the scrolling.
    SendMessageW(m_edit, WM_SETREDRAW, FALSE, 0);
    m_drawing = true;
    const std::u16string shown = bytesToWide(text);
    setWideWindowText(m_edit, shown);
    m_drawing = false;
    m_shown = std::move(text);
    ++m_drawCount;

    const auto end = static_cast<DWORD>(shown.size());
    if (editing) {
        SendMessageW(m_edit, EM_SETSEL, std::min(selStart, end), std::min(selEnd, end));
    } else {
        SendMessageW(m_edit, EM_SETSEL, end, end);  // the newest lines in view
    }
    SendMessageW(m_edit, EM_SCROLLCARET, 0, 0);
    SendMessageW(m_edit, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_edit, nullptr, TRUE);
}

void PaneView::editChanged() {
    if (m_drawing) {
        return;
    }
    const std::string now = wideToBytes(wideWindowText(m_edit));
    // The edit reports no range, so the change is what lies between the
    // common beginning and the common end of the old and the new text.
    std::size_t start = 0;
    const std::size_t common = std::min(now.size(), m_shown.size());
    while (start < common && now[start] == m_shown[start]) {
        ++start;
    }
    std::size_t tail = 0;
    while (tail < common - start &&
           now[now.size() - 1 - tail] == m_shown[m_shown.size() - 1 - tail]) {
        ++tail;
    }
    const std::size_t stop = m_shown.size() - tail;
    const std::string inserted = now.substr(start, now.size() - tail - start);
    // The positions are the drawing's; the model may have dropped lines since.
    m_pane.replaceDrawnRange(m_shownDropped, start, stop, inserted);
    m_shown = now;
}

}  // namespace modem
