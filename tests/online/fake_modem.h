#pragma once

// A modem played in-process on a pseudo-terminal, for what modem-sim will not
// do: keep silent, or keep settings other than those written to it.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include "sim/modem_simulator.h"

namespace modem::test {

class FakeModem {
public:
    enum class Mode {
        Silent,  // reads everything, answers nothing
        Answer,  // answers as the simulated modem does
        HangUp,  // hangs up once the connect's first bytes are in, as a pulled cable does
    };

    // `afterUpload` may change the modem's settings once an image is in.
    explicit FakeModem(Mode mode, std::function<void(ModemSimulator&)> afterUpload = nullptr)
        : m_mode(mode), m_afterUpload(std::move(afterUpload)) {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        m_path = ::ptsname(m_master);
        // Held open so the master does not read EIO between clients.
        m_terminal = ::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        m_stop = ::eventfd(0, EFD_CLOEXEC);
        if (m_terminal < 0 || m_stop < 0) {
            throw std::runtime_error("cannot set up the pseudo-terminal");
        }
        m_thread = std::thread([this] { serve(); });
    }

    ~FakeModem() {
        const std::uint64_t one = 1;
        (void)!::write(m_stop, &one, sizeof one);
        m_thread.join();
        ::close(m_stop);
        closeLine();
    }

    FakeModem(const FakeModem&) = delete;
    FakeModem& operator=(const FakeModem&) = delete;

    [[nodiscard]] const std::string& path() const { return m_path; }
    [[nodiscard]] std::uint64_t bytesReceived() const { return m_received.load(); }

private:
    void serve() {
        ModemSimulator sim;
        std::uint64_t uploadsSeen = 0;
        char buffer[4096];
        for (;;) {
            pollfd fds[2] = {{m_master, POLLIN, 0}, {m_stop, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) {
                return;
            }
            if ((fds[0].revents & POLLIN) == 0) {
                continue;
            }
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0) {
                continue;
            }
            m_received += static_cast<std::uint64_t>(n);
            if (m_mode == Mode::HangUp) {
                closeLine();
                return;
            }
            if (m_mode == Mode::Silent) {
                continue;
            }
            const std::string answer =
                sim.receive(std::string_view(buffer, static_cast<std::size_t>(n)));
            if (sim.uploadCount() != uploadsSeen) {
                uploadsSeen = sim.uploadCount();
                if (m_afterUpload) {
                    m_afterUpload(sim);
                }
            }
            (void)!::write(m_master, answer.data(), answer.size());
        }
    }

    // With both sides of the pseudo-terminal closed here, the client's side
    // hangs up.
    void closeLine() {
        if (m_terminal >= 0) {
            ::close(std::exchange(m_terminal, -1));
        }
        if (m_master >= 0) {
            ::close(std::exchange(m_master, -1));
        }
    }

    Mode m_mode;
    std::function<void(ModemSimulator&)> m_afterUpload;
    int m_master = -1;
    int m_terminal = -1;
    int m_stop = -1;
    std::string m_path;
    std::atomic<std::uint64_t> m_received{0};
    std::thread m_thread;
};

}  // namespace modem::test
