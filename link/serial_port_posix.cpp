#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "link/serial_port.h"

namespace modem {
namespace {

std::string errnoText(std::string_view what, int error) {
    std::string text(what);
    text += ": ";
    text += std::strerror(error);
    return text;
}

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.m_fd, -1));
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool valid() const { return m_fd >= 0; }
    void reset(int fd = -1) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

// Errors after which the device is not coming back on this descriptor.
bool isGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF;
}

class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort() : m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~PosixSerialPort() override { close(); }

    OpenResult open(const std::string& path) override {
        close();
        if (!m_wake.valid()) {
            return {OpenStatus::CannotOpen, "no wake-up descriptor"};
        }
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (!fd.valid()) {
            return {OpenStatus::CannotOpen, errnoText(path, errno)};
        }
        // The lock keeps out programs that honour it even when we run as root,
        // which TIOCEXCL does not.
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            return {OpenStatus::CannotOpen, error == EWOULDBLOCK
                                                ? path + ": in use by another program"
                                                : errnoText(path, error)};
        }
        // Fails only for something that is not a terminal, which the
        // configuration below reports.
        ::ioctl(fd.get(), TIOCEXCL);
        if (auto reason = configure(fd.get()); !reason.empty()) {
            ::ioctl(fd.get(), TIOCNXCL);
            return {OpenStatus::CannotConfigure, std::move(reason)};
        }
        m_fd = std::move(fd);
        drainWake();
        return {};
    }

    void close() override {
        if (!m_fd.valid()) {
            return;
        }
        ::ioctl(m_fd.get(), TIOCNXCL);
        ::flock(m_fd.get(), LOCK_UN);
        m_fd.reset();
    }

    bool isOpen() const override { return m_fd.valid(); }

    WriteResult write(std::span<const std::uint8_t> bytes,
                      std::chrono::milliseconds deadline) override {
        WriteResult result;
        if (!m_fd.valid()) {
            result.status = WriteStatus::NotOpen;
            return result;
        }
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (result.written < bytes.size()) {
            const auto rest = bytes.subspan(result.written);
            const ssize_t n = ::write(m_fd.get(), rest.data(), rest.size());
            if (n > 0) {
                result.written += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                result.status = WriteStatus::Failed;
                result.reason = errnoText("write", errno);
                return result;
            }
            // The driver's queue is full: wait for room until the deadline.
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                result.status = WriteStatus::TimedOut;
                result.reason = "write deadline passed";
                return result;
            }
            pollfd p{m_fd.get(), POLLOUT, 0};
            const int ready = ::poll(&p, 1, static_cast<int>(left.count()) + 1);
            if (ready < 0 && errno != EINTR) {
                result.status = WriteStatus::Failed;
                result.reason = errnoText("poll", errno);
                return result;
            }
            if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                result.status = WriteStatus::Failed;
                result.reason = "device hung up";
                return result;
            }
        }
        return result;
    }

    WaitStatus waitReadable() override {
        if (!m_fd.valid()) {
            return WaitStatus::HangUp;
        }
        for (;;) {
            pollfd p[2] = {{m_fd.get(), POLLIN, 0}, {m_wake.get(), POLLIN, 0}};
            if (::poll(p, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return WaitStatus::HangUp;
            }
            if ((p[1].revents & POLLIN) != 0) {
                drainWake();
                return WaitStatus::Woken;
            }
            // Bytes still waiting are read before a hang-up is reported; the read
            // reports the hang-up once they are gone.
            if ((p[0].revents & POLLIN) != 0) {
                return WaitStatus::Readable;
            }
            if ((p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                return WaitStatus::HangUp;
            }
        }
    }

    ReadResult read(std::span<std::uint8_t> buffer) override {
        if (!m_fd.valid()) {
            return {ReadStatus::HangUp, 0};
        }
        for (;;) {
            const ssize_t n = ::read(m_fd.get(), buffer.data(), buffer.size());
            if (n > 0) {
                return {ReadStatus::Data, static_cast<std::size_t>(n)};
            }
            if (n == 0) {
                // A terminal in raw mode with VMIN 1 reads zero bytes only after a
                // hang-up, but ask the driver rather than trust that alone.
                pollfd p{m_fd.get(), 0, 0};
                const bool hungUp =
                    ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
                return {hungUp ? ReadStatus::HangUp : ReadStatus::WouldBlock, 0};
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return {ReadStatus::WouldBlock, 0};
            }
            return {isGone(errno) ? ReadStatus::HangUp : ReadStatus::Error, 0};
        }
    }

    void wake() override {
        const std::uint64_t one = 1;
        // A full counter already means "woken"; nothing to do on failure.
        [[maybe_unused]] const ssize_t n = ::write(m_wake.get(), &one, sizeof one);
    }

private:
    // Returns an empty text on success, else why the line settings failed.
    static std::string configure(int fd) {
        termios tio{};
        if (::tcgetattr(fd, &tio) != 0) {
            return errnoText("tcgetattr", errno);
        }
        ::cfmakeraw(&tio);
        // CIBAUD: an input speed of its own, left by an earlier program, would
        // outlast cfsetispeed(), which sets only the speed both directions share.
        tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | CIBAUD);
        tio.c_cflag |= CS8 | CREAD | CLOCAL;
        tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 0;
        if (::cfsetispeed(&tio, B9600) != 0 || ::cfsetospeed(&tio, B9600) != 0) {
            return errnoText("cfsetspeed", errno);
        }
        if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
            return errnoText("tcsetattr", errno);
        }
        ::tcflush(fd, TCIOFLUSH);
        // A pseudo-terminal has no modem lines (ENOTTY/EINVAL); a real port that
        // refuses them still carries data, so neither stops the connect.
        int line = TIOCM_DTR;
        ::ioctl(fd, TIOCMBIS, &line);
        line = TIOCM_RTS;
        ::ioctl(fd, TIOCMBIS, &line);
        return {};
    }

    void drainWake() {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(m_wake.get(), &count, sizeof count);
    }

    UniqueFd m_fd;
    UniqueFd m_wake;
};

}  // namespace

std::unique_ptr<SerialPort> makeSystemSerialPort() {
    return std::make_unique<PosixSerialPort>();
}

}  // namespace modem
