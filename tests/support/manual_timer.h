#pragma once

// A Timer that never fires on its own: the test fires it by hand and can see
// how often it was started and stopped, and with which delay.

#include <chrono>
#include <functional>
#include <utility>

#include "platform/timer.h"

namespace modem::test {

class ManualTimer : public Timer {
public:
    void start(std::chrono::milliseconds delay, std::function<void()> onExpired) override {
        ++m_starts;
        m_lastDelay = delay;
        m_onExpired = std::move(onExpired);
        m_active = true;
    }

    void stop() override {
        ++m_stops;
        m_active = false;
        m_onExpired = nullptr;
    }

    [[nodiscard]] bool isActive() const override { return m_active; }

    // Expires the timer as the event loop would: single-shot, so it is no longer
    // active when the callback runs (the callback may start it again). Returns
    // false when the timer was not running and nothing ran.
    bool fire() {
        if (!m_active) {
            return false;
        }
        m_active = false;
        auto callback = std::move(m_onExpired);
        m_onExpired = nullptr;
        if (callback) {
            callback();
        }
        return true;
    }

    [[nodiscard]] int starts() const { return m_starts; }
    [[nodiscard]] int stops() const { return m_stops; }
    [[nodiscard]] std::chrono::milliseconds lastDelay() const { return m_lastDelay; }

private:
    std::function<void()> m_onExpired;
    bool m_active = false;
    int m_starts = 0;
    int m_stops = 0;
    std::chrono::milliseconds m_lastDelay{0};
};

}  // namespace modem::test
