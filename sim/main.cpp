// modem-sim: the simulated modem behind a pseudo-terminal, so the tool (or any
// terminal program) can talk to it as to the real device.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "settings/mset_fields.h"
#include "settings/settings_file.h"
#include "sim/modem_simulator.h"
#include "traffic/traffic_log.h"
#include "version/version.h"

namespace {

using Clock = std::chrono::steady_clock;

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(Fd&& o) noexcept : m_fd(std::exchange(o.m_fd, -1)) {}
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            reset();
            m_fd = std::exchange(o.m_fd, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    void reset() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = -1;
    }
    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool valid() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// The master side, and one descriptor of the terminal side that the simulator
// keeps open itself: without it the master reads EIO whenever no client has the
// terminal open, between a disconnect and the next connect.
struct Pty {
    Fd master;
    Fd terminal;
    std::string path;
};

std::optional<Pty> openPty(std::string& error) {
    Pty pty;
    pty.master = Fd(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!pty.master.valid() || ::grantpt(pty.master.get()) != 0 ||
        ::unlockpt(pty.master.get()) != 0) {
        error = systemError("cannot create a pseudo-terminal");
        return std::nullopt;
    }
    const char* name = ::ptsname(pty.master.get());
    if (name == nullptr) {
        error = systemError("ptsname");
        return std::nullopt;
    }
    pty.path = name;
    pty.terminal = Fd(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!pty.terminal.valid()) {
        error = systemError("cannot open " + pty.path);
        return std::nullopt;
    }
    // Raw both ways: the modem's bytes must reach the tool unchanged (no CR to
    // LF translation, no echo of what the tool sends).
    termios tio{};
    if (::tcgetattr(pty.terminal.get(), &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        ::tcsetattr(pty.terminal.get(), TCSANOW, &tio);
    }
    const int flags = ::fcntl(pty.master.get(), F_GETFL);
    ::fcntl(pty.master.get(), F_SETFL, flags | O_NONBLOCK);
    return pty;
}

// Points `link` at `target`, replacing an older link in one step.
bool repointLink(const std::filesystem::path& link, const std::string& target, std::string& error) {
    std::filesystem::path temp = link;
    temp += ".new";
    std::error_code ec;
    std::filesystem::remove(temp, ec);
    std::filesystem::create_symlink(target, temp, ec);
    if (!ec) {
        std::filesystem::rename(temp, link, ec);
    }
    if (ec) {
        error = "cannot link " + link.string() + ": " + ec.message();
        return false;
    }
    return true;
}

// What the modem has still to send, released at the pace of the line: a byte
// leaves once its ten bit times at `baud` have passed.
class OutputLine {
public:
    explicit OutputLine(unsigned baud) : m_baud(baud) {}

    void queue(std::string bytes) {
        if (bytes.empty()) {
            return;
        }
        if (m_pending.empty()) {
            // An idle line starts sending now, not where the last burst ended.
            m_credited = 0;
            m_since = Clock::now();
        }
        m_pending += bytes;
    }
    void drop() { m_pending.clear(); }
    [[nodiscard]] bool empty() const { return m_pending.empty(); }

    // The bytes the line has carried by now and not yet written.
    [[nodiscard]] std::string_view due() const {
        if (m_baud == 0) {
            return m_pending;
        }
        const auto elapsed = std::chrono::duration<double>(Clock::now() - m_since).count();
        const auto carried = static_cast<std::size_t>(elapsed * m_baud / 10.0);
        const std::size_t n = carried > m_credited ? carried - m_credited : 0;
        return std::string_view(m_pending).substr(0, n);
    }
    void written(std::size_t n) {
        m_pending.erase(0, n);
        m_credited += n;
    }
    // Milliseconds until the next byte is due, for the poll timeout (rounded up,
    // so a wake-up never comes early); -1 when idle.
    [[nodiscard]] int untilNextMs() const {
        if (m_pending.empty()) {
            return -1;
        }
        if (m_baud == 0) {
            return 0;
        }
        const double at = static_cast<double>(m_credited + 1) * 10.0 / m_baud;
        const double now = std::chrono::duration<double>(Clock::now() - m_since).count();
        return static_cast<int>(std::ceil(std::max(0.0, at - now) * 1000.0));
    }

private:
    unsigned m_baud;
    std::string m_pending;
    std::size_t m_credited = 0;  // bytes written since m_since
    Clock::time_point m_since;
};

void printPath(const std::string& path) {
    std::cout << path << std::endl;  // flushed: whoever started us waits for this line
}

bool loadProfile(const std::optional<std::string>& file, modem::Mset& target, std::string& error) {
    if (!file) {
        return true;
    }
    modem::Mset loaded = target;
    const modem::FileStatus status = modem::loadSettingsFile(*file, loaded);
    if (!status.ok) {
        error = std::string(status.message) + " " + *file +
                (status.detail.empty() ? "" : ": " + status.detail);
        return false;
    }
    target = loaded;
    return true;
}

struct FieldPlace {
    std::size_t offset = 0;  // bytes, within the image
    std::size_t width = 0;   // bytes
};

// A field named as modemctl names it ("WT", "CH[3].THR" with rows from 0).
std::optional<FieldPlace> findField(std::string_view name) {
    for (const modem::FieldInfo& f : modem::scalarFields) {
        if (name == f.name) {
            return FieldPlace{f.offset, f.width};
        }
    }
    for (std::size_t row = 0; row < modem::channelCount; ++row) {
        for (const modem::FieldInfo& f : modem::channelFields) {
            if (name == "CH[" + std::to_string(row) + "]." + std::string(f.name)) {
                return FieldPlace{modem::offsets::CH + row * modem::offsets::channelSize + f.offset,
                                  f.width};
            }
        }
    }
    return std::nullopt;
}

struct Options {
    std::optional<std::string> link;
    unsigned baud = 9600;
    std::optional<std::string> profile0;
    std::optional<std::string> profile1;
    std::optional<std::string> log;
    unsigned count = 1;
    bool numbered = false;                   // --count given: --link and --log name one per unit
    std::vector<unsigned> silent;            // units that answer nothing
    std::optional<FieldPlace> spoiledField;  // hidden --spoil-upload, for tests
};

// A unit's own file from a name given for all: its number goes at the end of
// a link's name ("tty" gives "tty0") and before a log's extension ("sim.log"
// gives "sim0.log"), so the logs still open as what they are.
std::string unitLinkPath(const std::string& prefix, unsigned unit) {
    return prefix + std::to_string(unit);
}

std::string unitLogPath(const std::string& given, unsigned unit) {
    const std::filesystem::path path(given);
    std::filesystem::path numbered = path.parent_path();
    numbered /= path.stem().string() + std::to_string(unit) + path.extension().string();
    return numbered.string();
}

// One simulated modem with its own terminal, settings, line, link and log.
class Unit {
public:
    Unit(unsigned number, std::optional<std::string> link, bool silent)
        : m_number(number), m_link(std::move(link)), m_silent(silent) {}

    [[nodiscard]] unsigned number() const { return m_number; }
    modem::ModemSimulator& simulator() { return m_sim; }
    // A modem that does not keep what it was sent: after each upload the
    // field takes one more than the uploaded value (wrapping within its width).
    void spoilUploads(std::optional<FieldPlace> field) { m_spoiled = field; }

    bool openLog(const std::string& file, std::string& error) {
        const unsigned number = m_number;
        modem::OpenedTrafficLog opened = modem::TrafficLog::open(
            file, {.onFailure = [number](std::string_view message) {
                std::cerr << "modem-sim: unit " << number << ": " << message << '\n';
            }});
        if (!opened.log) {
            error = opened.error;
            return false;
        }
        m_log = std::move(opened.log);
        return true;
    }

    // A fresh terminal, announced on standard output and at the link.
    bool plugIn(OutputLine line, std::string& error) {
        m_out = std::move(line);
        m_pty = openPty(error);
        if (!m_pty || (m_link && !repointLink(*m_link, m_pty->path, error))) {
            return false;
        }
        printPath(m_pty->path);
        note("serving on " + m_pty->path);
        return true;
    }

    // Both our descriptors go, so the tool sees the hang-up.
    void unplug() {
        note("unplugged");
        m_pty.reset();
        m_out.drop();
        m_sim.resetInput();
    }

    [[nodiscard]] int master() const { return m_pty ? m_pty->master.get() : -1; }

    // What to wait for, and for how long (-1: no limit). Bytes already due
    // wait for the terminal to take them (POLLOUT), not for a timeout: with
    // nobody reading, a zero timeout would spin. Both come from one look at
    // the clock: a byte falling due between two looks would leave the unit
    // waiting neither for POLLOUT nor for a timeout, and its line stalled
    // until something else woke the loop.
    struct Wait {
        short events;
        int ms;
    };
    [[nodiscard]] Wait pollWait() const {
        if (!m_out.due().empty()) {
            return {static_cast<short>(POLLIN | POLLOUT), -1};
        }
        // Rounded up from a later look: a byte that fell due meanwhile gives 0.
        return {POLLIN, m_out.untilNextMs()};
    }

    void serve(short revents) {
        char buf[4096];
        if ((revents & POLLIN) != 0) {
            const ssize_t n = ::read(master(), buf, sizeof buf);
            if (n > 0) {
                const std::string_view received(buf, static_cast<std::size_t>(n));
                record(modem::TrafficDirection::ToModem, received);
                // A silent unit takes the bytes and does nothing with them, as
                // a modem whose firmware has stopped.
                if (!m_silent) {
                    const auto uploads = m_sim.uploadCount();
                    m_out.queue(m_sim.receive(received));
                    if (m_spoiled && m_sim.uploadCount() != uploads) {
                        spoil(*m_spoiled);
                    }
                }
            }
        }
        const std::string_view due = m_out.due();
        if (!due.empty() && (revents & POLLOUT) != 0) {
            const ssize_t n = ::write(master(), due.data(), due.size());
            if (n > 0) {
                record(modem::TrafficDirection::FromModem,
                       due.substr(0, static_cast<std::size_t>(n)));
                m_out.written(static_cast<std::size_t>(n));
            }
            // EAGAIN: nobody reads the terminal and its buffer is full; POLLOUT says when.
        }
    }

    void stop() {
        note("stopped");
        if (m_link) {
            std::error_code ec;
            std::filesystem::remove(*m_link, ec);
        }
    }

private:
    void spoil(FieldPlace place) {
        modem::MsetImage image = modem::toImage(m_sim.current());
        modem::writeField(image, place.offset, place.width,
                          modem::readField(image, place.offset, place.width) + 1);
        m_sim.setCurrent(modem::fromImage(image));
    }

    // What the simulator received and its notes are on disk before it
    // answers: whoever reads the log after seeing an answer finds the command
    // in it. A simulator can afford to wait for its log. Its own output is
    // gathered into lines by the log, which a flush after every byte would cut
    // apart; each line is written once it ends.
    void note(std::string_view text) {
        if (m_log) {
            m_log->status(text);
            m_log->flush();
        }
    }
    void record(modem::TrafficDirection direction, std::string_view bytes) {
        if (m_log) {
            m_log->record(direction,
                          {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
            if (direction == modem::TrafficDirection::ToModem) {
                m_log->flush();
            }
        }
    }

    unsigned m_number;
    std::optional<std::string> m_link;
    bool m_silent;
    std::optional<FieldPlace> m_spoiled;
    modem::ModemSimulator m_sim;
    std::unique_ptr<modem::TrafficLog> m_log;
    std::optional<Pty> m_pty;
    OutputLine m_out{0};
};

int serve(const Options& options) {
    std::string error;
    modem::ModemSimulator defaults;
    std::array<modem::Mset, 2> profiles{defaults.profile(0), defaults.profile(1)};
    for (int i = 0; i < 2; ++i) {
        if (!loadProfile(i == 0 ? options.profile0 : options.profile1, profiles.at(i), error)) {
            std::cerr << "modem-sim: " << error << '\n';
            return 1;
        }
    }
    // Signals arrive through a descriptor so that the one poll loop handles them.
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGUSR1);
    if (::sigprocmask(SIG_BLOCK, &mask, nullptr) != 0) {
        std::cerr << "modem-sim: " << systemError("sigprocmask") << '\n';
        return 1;
    }
    ::signal(SIGPIPE, SIG_IGN);  // a reader of our stdout that went away is no reason to die
    Fd signals(::signalfd(-1, &mask, SFD_CLOEXEC));
    if (!signals.valid()) {
        std::cerr << "modem-sim: " << systemError("signalfd") << '\n';
        return 1;
    }

    std::vector<std::unique_ptr<Unit>> units;
    for (unsigned k = 0; k < options.count; ++k) {
        std::optional<std::string> link = options.link;
        if (link && options.numbered) {
            link = unitLinkPath(*link, k);
        }
        const bool silent =
            std::find(options.silent.begin(), options.silent.end(), k) != options.silent.end();
        auto unit = std::make_unique<Unit>(k, std::move(link), silent);
        unit->spoilUploads(options.spoiledField);
        for (int i = 0; i < 2; ++i) {
            unit->simulator().setProfile(i, profiles.at(i));
        }
        // After the signal mask, which the log's writer thread inherits: a
        // signal must reach the descriptor, not end the process in that thread.
        // The tool's own log format, with the directions of the line: what the
        // tool sent is '>' here too, so the two logs read side by side.
        if (options.log &&
            !unit->openLog(options.numbered ? unitLogPath(*options.log, k) : *options.log, error)) {
            std::cerr << "modem-sim: " << error << '\n';
            return 1;
        }
        units.push_back(std::move(unit));
    }
    for (auto& unit : units) {
        if (!unit->plugIn(OutputLine(options.baud), error)) {
            std::cerr << "modem-sim: " << error << '\n';
            return 1;
        }
    }

    std::vector<pollfd> fds(units.size() + 1);
    for (;;) {
        fds[0] = {signals.get(), POLLIN, 0};
        int waitMs = -1;
        for (std::size_t k = 0; k < units.size(); ++k) {
            const Unit::Wait wait = units[k]->pollWait();
            fds[k + 1] = {units[k]->master(), wait.events, 0};
            const int unitWait = wait.ms;
            if (unitWait >= 0 && (waitMs < 0 || unitWait < waitMs)) {
                waitMs = unitWait;
            }
        }
        const int ready = ::poll(fds.data(), fds.size(), waitMs);
        if (ready < 0 && errno != EINTR) {
            std::cerr << "modem-sim: " << systemError("poll") << '\n';
            break;
        }

        if ((fds[0].revents & POLLIN) != 0) {
            signalfd_siginfo info{};
            if (::read(signals.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                if (info.ssi_signo != SIGUSR1) {
                    break;
                }
                // Unplugged: a signal queued with a unit's number pulls that
                // unit's cable, a plain one every unit's; each comes back at
                // once on a fresh terminal.
                const bool one = info.ssi_code == SI_QUEUE;
                for (auto& unit : units) {
                    if (one && static_cast<std::int64_t>(unit->number()) != info.ssi_int) {
                        continue;
                    }
                    unit->unplug();
                    if (!unit->plugIn(OutputLine(options.baud), error)) {
                        std::cerr << "modem-sim: " << error << '\n';
                        return 1;
                    }
                }
                continue;
            }
        }

        for (std::size_t k = 0; k < units.size(); ++k) {
            units[k]->serve(fds[k + 1].revents);
        }
    }

    for (auto& unit : units) {
        unit->stop();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"modem-sim: a simulated radio modem on a pseudo-terminal"};
    Options options;
    app.add_option("--link", options.link, "Symbolic link to create to the terminal");
    app.add_option("--baud", options.baud, "Pace output as a line of N bit/s (0: unpaced)");
    app.add_option("--profile0", options.profile0, "Settings file for stored profile 0")
        ->check(CLI::ExistingFile);
    app.add_option("--profile1", options.profile1, "Settings file for stored profile 1")
        ->check(CLI::ExistingFile);
    app.add_option("--log", options.log, "Record both directions with timestamps");
    app.add_option("--count", options.count,
                   "Serve N modems, each on its own terminal; --link and --log get its number")
        ->check(CLI::Range(1U, 64U));
    app.add_option("--silent", options.silent,
                   "Unit numbers (from 0) that take every byte and answer nothing")
        ->delimiter(',');
    // Checked within the parse, so that it is reported as every usage error is.
    app.callback([&app, &options] {
        options.numbered = app.count("--count") > 0;
        for (const unsigned unit : options.silent) {
            if (unit >= options.count) {
                throw CLI::ValidationError(
                    "--silent",
                    "no unit " + std::to_string(unit) + " among " + std::to_string(options.count));
            }
        }
    });
    app.add_option_function<std::string>(
           "--spoil-upload",
           [&options](const std::string& name) { options.spoiledField = findField(name); },
           "Keep FIELD one more than uploaded (a modem that stores something else)")
        ->check([](const std::string& name) {
            return findField(name) ? std::string() : "no field " + name;
        })
        ->group("");
    app.set_version_flag("--version", std::string("modem-sim ") + modem::versionText());
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help and --version succeed; every usage error is status 2, as modemctl's.
        return app.exit(e) == 0 ? 0 : 2;
    }
    return serve(options);
}
