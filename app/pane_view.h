#pragma once

// Shows the terminal pane model in its widget (control 4017). Received bytes
// only raise the pane's coalesced notification, which posts one call to the
// user-interface thread; the view then draws at most once per frame, so the
// receive thread never waits for drawing however fast bytes arrive. What the
// operator types goes into the model, where the report parser will read it.

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <string>

class QPlainTextEdit;

namespace modem {

class TerminalPane;

class PaneView : public QObject {
    Q_OBJECT
public:
    static constexpr int frameIntervalMs = 16;

    PaneView(QPlainTextEdit& widget, TerminalPane& pane);
    // Detaches from the pane; the receive thread must have stopped by now.
    ~PaneView() override;
    PaneView(const PaneView&) = delete;
    PaneView& operator=(const PaneView&) = delete;

    // Draws the model now if it changed since the last drawing.
    void refresh();

    [[nodiscard]] int drawCount() const { return m_drawCount; }
    [[nodiscard]] bool frameScheduled() const { return m_frame.isActive(); }

private:
    void scheduleFrame();
    void onContentsChange(int position, int removed, int added);

    QPlainTextEdit& m_widget;
    TerminalPane& m_pane;
    QTimer m_frame;
    std::string m_shown;  // the model's text as last drawn (or as edited since)
    bool m_drawing = false;
    int m_drawCount = 0;
};

}  // namespace modem
