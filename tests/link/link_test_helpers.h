#pragma once

#include <ctime>

// Helpers for the link's tests: the far end of a pseudo-terminal, on which the
// test plays the modem while the link opens the terminal side by its path; a
// watcher that waits for the pane's text.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <string_view>

#include "caption_form.h"
#include "link/terminal_pane.h"
#include "support/pane_watch.h"

namespace modem::test {

class PtyPeer {
public:
    PtyPeer() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        m_path = ::ptsname(m_master);
    }
    ~PtyPeer() { closeMaster(); }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    [[nodiscard]] const std::string& path() const { return m_path; }

    void write(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::write(m_master, bytes.data(), bytes.size());
            if (n < 0) {
                throw std::runtime_error("write to pseudo-terminal failed");
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }

    // Reads until `count` bytes have come or the line has been quiet for
    // `quiet`; returns what came.
    std::string read(std::size_t count,
                     std::chrono::milliseconds quiet = std::chrono::milliseconds(5000)) {
        std::string got;
        char buffer[4096];
        while (got.size() < count) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(quiet.count())) <= 0 || (p.revents & POLLIN) == 0) {
                break;
            }
            const ssize_t n = ::read(m_master, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0) {
                break;
            }
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

    // The modem unplugged: the terminal side sees a hang-up.
    void closeMaster() {
        if (m_master >= 0) {
            ::close(m_master);
            m_master = -1;
        }
    }

private:
    int m_master = -1;
    std::string m_path;
};

inline double processCpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

}  // namespace modem::test
