#pragma once

// Shows the terminal pane model in its edit control (4017). Received bytes
// only raise the pane's coalesced notification, which posts one message to the
// dialog; the view then draws at most once per frame, so the receive thread
// never waits for drawing however fast bytes arrive. While the operator is not
// typing in the pane the newest lines are kept in view. What the operator types
// or pastes goes into the model, where the report parser will read it.

#include "win32/windows_api.h"

#include <cstdint>
#include <string>

namespace modem {

class TerminalPane;

class PaneView {
public:
    static constexpr UINT_PTR frameTimerId = 2;  // timer 1 is the link's
    static constexpr UINT frameIntervalMs = 16;

    // Posts `changedMessage` to `dialog` on the first change of each burst.
    PaneView(HWND dialog, HWND edit, TerminalPane& pane, UINT changedMessage);
    // Detaches from the pane; the receive thread must have stopped by now.
    ~PaneView();
    PaneView(const PaneView&) = delete;
    PaneView& operator=(const PaneView&) = delete;

    // The dialog's `changedMessage`: draws at the next frame.
    void scheduleFrame();
    // The dialog's WM_TIMER for frameTimerId.
    void frameDue();
    // Draws the model now if it changed since the last drawing.
    void refresh();
    // The edit's EN_CHANGE: the operator's edit goes into the model.
    void editChanged();

    [[nodiscard]] int drawCount() const { return m_drawCount; }

private:
    HWND m_dialog;
    HWND m_edit;
    TerminalPane& m_pane;
    bool m_frameScheduled = false;
    bool m_drawing = false;
    int m_drawCount = 0;
    std::string m_shown;  // the model's text as last drawn (or as edited since)
    // What had left the model's front when m_shown was drawn: the edit's
    // positions are the drawing's, and the model may have dropped lines since.
    std::uint64_t m_shownDropped = 0;
};

}  // namespace modem
