#pragma once

// Ctrl+C and requests to terminate while modemctl talks to a modem: SIGINT and
// SIGTERM, or the console's Ctrl+C and Ctrl+Break on Windows. Left to
// themselves they end the process on the spot, with the modem still in config
// mode and a half-done operation behind; while an InterruptCatcher lives they
// are only noted, so that the session can send "+cfgd\r", close the port and
// leave without writing anything. Each platform supplies the catching.

#include <functional>
#include <memory>

namespace modem::cli {

// Whether an interrupt has come since the process started. Once set it stays
// set: the operator asked the whole run to stop.
[[nodiscard]] bool interruptRequested();

class InterruptCatcher {
public:
    // `onInterrupt` runs on a thread of the catcher's own (never inside a
    // signal handler) at each interrupt while this catcher lives; it must be
    // quick and safe to call from another thread (an event loop's wake()).
    // Catchers may overlap: the signals are caught while any of them lives,
    // and each one's callback runs.
    explicit InterruptCatcher(std::function<void()> onInterrupt);
    ~InterruptCatcher();
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

private:
    std::shared_ptr<std::function<void()>> m_listener;
};

}  // namespace modem::cli
