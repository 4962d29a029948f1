#pragma once

// The terminal pane's text: every byte the modem sends, interleaved with the
// tool's status lines, in a window of at most 24 lines of at most 57 characters.
// The report parser reads the modem's settings back out of this text at fixed
// positions, so what it holds after a given byte stream is exact.
//
// Safe for two threads: the receive thread appends while the user-interface
// thread logs, clears, edits and reads. One short lock keeps every operation
// whole; nobody waits for another thread's work beyond it.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

namespace modem {

class TerminalPane {
public:
    static constexpr std::size_t maxLineLength = 57;  // characters, CR LF excluded
    static constexpr std::size_t maxLines = 24;

    // One received byte (low 8 bits of `ch`). Returns 1.
    int appendChar(int ch);

    // appendChar for each byte in order, under one acquisition of the lock: the
    // receive thread's fast path. Each byte's append stays whole.
    void appendBytes(std::span<const std::uint8_t> bytes);

    // A status line: characters up to the first NUL or CR, then a line break,
    // appended as one piece. It starts on a line of its own: a last line that
    // is not empty is ended first. Returns 1.
    int logLine(std::string_view text);

    void clearTerminal();

    // An operator's edit: the characters [start, end) become `text`. Positions
    // past the end are clamped.
    void replaceRange(std::size_t start, std::size_t end, std::string_view text);

    // The whole text as it stands (single-byte characters, lines end in CR LF).
    [[nodiscard]] std::string snapshot() const;

    // The text together with how many characters have left its front so far
    // (first lines trimmed, clears), taken at one moment.
    struct Drawing {
        std::string text;
        std::uint64_t dropped = 0;
    };
    [[nodiscard]] Drawing drawing() const;

    // An operator's edit of a drawing: [start, end) of the text the drawing
    // showed become `text`. Lines that left the front since the drawing was
    // taken move the positions back, so the edit lands beside the characters
    // the operator saw; an edit of characters that have all gone lands at the
    // front. Positions past the end are clamped.
    void replaceDrawnRange(std::uint64_t drawnDropped, std::size_t start, std::size_t end,
                           std::string_view text);

    // Increases with every change; a display compares it with the value it drew.
    [[nodiscard]] std::uint64_t changeCount() const {
        return m_changeCount.load(std::memory_order_acquire);
    }

    // `listener` is called, from whichever thread made the change and outside the
    // lock, on the first change after the previous call to takeNotification():
    // a stream of bytes raises one notification until the display catches up.
    void setChangeListener(std::function<void()> listener);
    // Called by the display when it draws; re-arms the notification.
    void takeNotification();

    // `listener` gets the text of every status line logLine() adds (without the
    // line break), on the logging thread, just before the line enters the pane.
    // Received bytes do not pass it, so the receive path pays nothing for it.
    void setStatusListener(std::function<void(std::string_view)> listener);

private:
    void appendLocked(unsigned char b);
    void breakLineLocked();
    void trimFirstLineLocked();
    void recountLocked();
    // Counts the change and, when no notification is pending, releases `lock`
    // and calls the listener.
    void changedLocked(std::unique_lock<std::mutex>& lock);

    mutable std::mutex m_mutex;
    std::string m_text;
    std::size_t m_lineCount = 1;      // CR LF pairs + 1
    std::size_t m_lastLineStart = 0;  // offset of the last line's first character
    std::uint64_t m_dropped = 0;      // characters that have left the front, ever
    std::atomic<std::uint64_t> m_changeCount{0};
    std::function<void()> m_listener;
    std::function<void(std::string_view)> m_statusListener;
    bool m_notificationPending = false;
};

}  // namespace modem
