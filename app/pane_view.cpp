#include "app/pane_view.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "app/pane_text.h"
#include "link/terminal_pane.h"

namespace modem {

PaneView::PaneView(QPlainTextEdit& widget, TerminalPane& pane) : m_widget(widget), m_pane(pane) {
    m_frame.setSingleShot(true);
    m_frame.setInterval(frameIntervalMs);
    connect(&m_frame, &QTimer::timeout, this, &PaneView::refresh);
    connect(m_widget.document(), &QTextDocument::contentsChange, this, &PaneView::onContentsChange);
    // Called from whichever thread changed the pane, once per burst: a queued
    // call never blocks that thread.
    m_pane.setChangeListener([this] {
        QMetaObject::invokeMethod(this, &PaneView::scheduleFrame, Qt::QueuedConnection);
    });
    refresh();
}

PaneView::~PaneView() {
    m_pane.setChangeListener({});
}

void PaneView::scheduleFrame() {
    if (!m_frame.isActive()) {
        m_frame.start();
    }
}

void PaneView::refresh() {
    // Re-arm before reading, so that a change after the snapshot notifies again.
    m_pane.takeNotification();
    std::string text = m_pane.snapshot();
    if (text == m_shown && m_drawCount > 0) {
        return;
    }
    const bool editing = m_widget.hasFocus();
    const int cursorAt = m_widget.textCursor().position();

    m_drawing = true;
    m_widget.setPlainText(bytesToDisplay(text));
    m_drawing = false;
    m_shown = std::move(text);
    ++m_drawCount;

    QTextCursor cursor = m_widget.textCursor();
    if (editing) {
        cursor.setPosition(std::min(cursorAt, m_widget.document()->characterCount() - 1));
    } else {
        cursor.movePosition(QTextCursor::End);  // the newest lines in view
    }
    m_widget.setTextCursor(cursor);
    m_widget.ensureCursorVisible();
}

void PaneView::onContentsChange(int position, int removed, int added) {
    if (m_drawing) {
        return;
    }
    const QTextDocument* document = m_widget.document();
    // The document may report its final paragraph mark; it is not text.
    const int end = document->characterCount() - 1;
    const int addedEnd = std::min(position + added, end);
    QTextCursor range(m_widget.document());
    range.setPosition(std::min(position, end));
    range.setPosition(std::max(addedEnd, std::min(position, end)), QTextCursor::KeepAnchor);
    const std::string inserted = displayToBytes(range.selectedText());

    const std::size_t start = byteOffsetOf(m_shown, position);
    const std::size_t stop = std::max(start, byteOffsetOf(m_shown, position + removed));
    m_pane.replaceRange(start, stop, inserted);
    m_shown.replace(start, stop - start, inserted);
}

}  // namespace modem
