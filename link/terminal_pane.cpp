#include "link/terminal_pane.h"

#include <algorithm>

namespace modem {

namespace {

constexpr char CR = '\r';
constexpr char LF = '\n';

}  // namespace

int TerminalPane::appendChar(int ch) {
    std::unique_lock lock(m_mutex);
    appendLocked(static_cast<unsigned char>(ch & 0xFF));
    changedLocked(lock);
    return 1;
}

void TerminalPane::appendBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return;
    }
    std::unique_lock lock(m_mutex);
    for (std::uint8_t b : bytes) {
        appendLocked(b);
    }
    changedLocked(lock);
}

int TerminalPane::logLine(std::string_view text) {
    const auto end =
        std::find_if(text.begin(), text.end(), [](char c) { return c == '\0' || c == CR; });
    std::function<void(std::string_view)> statusListener;
    {
        std::lock_guard lock(m_mutex);
        statusListener = m_statusListener;
    }
    if (statusListener) {
        statusListener(text.substr(0, static_cast<std::size_t>(end - text.begin())));
    }
    // The whole status line under one lock, so received bytes never land inside it.
    std::unique_lock lock(m_mutex);
    // A status line has a line of its own: after a half-received line of the
    // modem it would read as part of the modem's text.
    if (m_text.size() > m_lastLineStart) {
        breakLineLocked();
    }
    for (auto it = text.begin(); it != end; ++it) {
        appendLocked(static_cast<unsigned char>(*it));
    }
    appendLocked(static_cast<unsigned char>(CR));
    changedLocked(lock);
    return 1;
}

void TerminalPane::clearTerminal() {
    std::unique_lock lock(m_mutex);
    m_dropped += m_text.size();
    m_text.clear();
    m_lineCount = 1;
    m_lastLineStart = 0;
    changedLocked(lock);
}

void TerminalPane::replaceRange(std::size_t start, std::size_t end, std::string_view text) {
    std::unique_lock lock(m_mutex);
    start = std::min(start, m_text.size());
    end = std::clamp(end, start, m_text.size());
    m_text.replace(start, end - start, text);
    // An edit can join or split CR LF pairs anywhere; edits are rare, so count afresh.
    recountLocked();
    changedLocked(lock);
}

std::string TerminalPane::snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_text;
}

TerminalPane::Drawing TerminalPane::drawing() const {
    std::lock_guard lock(m_mutex);
    return {m_text, m_dropped};
}

void TerminalPane::replaceDrawnRange(std::uint64_t drawnDropped, std::size_t start, std::size_t end,
                                     std::string_view text) {
    std::unique_lock lock(m_mutex);
    // Under the lock: no line can leave between the shift and the edit.
    const std::uint64_t gone = m_dropped - std::min(drawnDropped, m_dropped);
    const auto shifted = [gone](std::size_t at) {
        return at > gone ? at - static_cast<std::size_t>(gone) : std::size_t{0};
    };
    start = std::min(shifted(start), m_text.size());
    end = std::clamp(shifted(end), start, m_text.size());
    m_text.replace(start, end - start, text);
    recountLocked();
    changedLocked(lock);
}

void TerminalPane::setChangeListener(std::function<void()> listener) {
    std::lock_guard lock(m_mutex);
    m_listener = std::move(listener);
    m_notificationPending = false;
}

void TerminalPane::setStatusListener(std::function<void(std::string_view)> listener) {
    std::lock_guard lock(m_mutex);
    m_statusListener = std::move(listener);
}

void TerminalPane::takeNotification() {
    std::lock_guard lock(m_mutex);
    m_notificationPending = false;
}

void TerminalPane::appendLocked(unsigned char b) {
    // A full last line is broken before every byte, NUL and CR included.
    if (m_text.size() - m_lastLineStart == maxLineLength) {
        breakLineLocked();
    }
    if (b == static_cast<unsigned char>(CR)) {
        breakLineLocked();
        return;
    }
    if (b == 0) {
        return;
    }
    const char c = static_cast<char>(b);
    // An LF after a CR the operator left at the end completes a line break.
    const bool joinsBreak = c == LF && !m_text.empty() && m_text.back() == CR;
    m_text.push_back(c);
    if (joinsBreak) {
        ++m_lineCount;
        m_lastLineStart = m_text.size();
    }
}

void TerminalPane::breakLineLocked() {
    trimFirstLineLocked();
    m_text.push_back(CR);
    m_text.push_back(LF);
    ++m_lineCount;
    m_lastLineStart = m_text.size();
}

void TerminalPane::trimFirstLineLocked() {
    // Exactly 24: a pane the operator filled beyond the window is left alone.
    if (m_lineCount != maxLines) {
        return;
    }
    const std::size_t firstBreak = m_text.find("\r\n");
    if (firstBreak == std::string::npos) {
        return;  // cannot happen with 24 lines; keeps the arithmetic safe regardless
    }
    const std::size_t removed = firstBreak + 2;
    m_text.erase(0, removed);
    m_dropped += removed;
    --m_lineCount;
    m_lastLineStart -= removed;
}

void TerminalPane::recountLocked() {
    m_lineCount = 1;
    m_lastLineStart = 0;
    for (std::size_t pos = m_text.find("\r\n"); pos != std::string::npos;
         pos = m_text.find("\r\n", pos + 2)) {
        ++m_lineCount;
        m_lastLineStart = pos + 2;
    }
}

void TerminalPane::changedLocked(std::unique_lock<std::mutex>& lock) {
    // Every writer holds the lock, so a plain store does; it spares the receive
    // path a locked read-modify-write per byte.
    m_changeCount.store(m_changeCount.load(std::memory_order_relaxed) + 1,
                        std::memory_order_release);
    if (m_notificationPending || !m_listener) {
        return;
    }
    m_notificationPending = true;
    // Called outside the lock so that the listener may read the pane.
    const std::function<void()> listener = m_listener;
    lock.unlock();
    listener();
}

}  // namespace modem
