#pragma once

// Waits, without polling, for the receive thread to put something into the
// pane. The limit only keeps a broken link from hanging the test; reaching it
// is the failure.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>

#include "link/terminal_pane.h"

namespace modem::test {

class PaneWatch {
public:
    explicit PaneWatch(TerminalPane& pane) : m_pane(pane) {
        m_pane.setChangeListener([this] {
            {
                std::lock_guard lock(m_mutex);
                ++m_changes;
            }
            m_cv.notify_all();
        });
    }
    ~PaneWatch() { m_pane.setChangeListener(nullptr); }
    PaneWatch(const PaneWatch&) = delete;
    PaneWatch& operator=(const PaneWatch&) = delete;

    // True once `holds` is true of the pane's text.
    template <typename Predicate>
    [[nodiscard]] bool waitFor(Predicate holds,
                               std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::unique_lock lock(m_mutex);
        for (;;) {
            const auto seen = m_changes;
            lock.unlock();
            // Re-armed before the text is read, so no later change goes unheard.
            m_pane.takeNotification();
            const bool held = holds(m_pane.snapshot());
            lock.lock();
            if (held) {
                return true;
            }
            if (!m_cv.wait_until(lock, deadline, [&] { return m_changes != seen; })) {
                return false;
            }
        }
    }

    [[nodiscard]] bool waitForText(std::string_view text) {
        return waitFor([text](std::string_view pane) { return pane.find(text) != pane.npos; });
    }

private:
    TerminalPane& m_pane;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    unsigned long m_changes = 0;
};

}  // namespace modem::test
