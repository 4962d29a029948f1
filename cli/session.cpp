#include "cli/session.h"

#include <cstdio>

#include "link/discovery.h"
#include "link/serial_port.h"
#include "protocol/report_parser.h"
#include "settings/utf8_path.h"

namespace modem::cli {

namespace {

using namespace std::chrono_literals;

// How long a report may take in all, and how long the line may stay quiet
// before we give up on the rest of it.
constexpr auto reportLimit = 5000ms;
constexpr auto reportQuiet = 500ms;
// After a command whose answer we do not need (the connect's "+cfge\r", an
// upload), the line is let settle before the pane is cleared for a report, so
// that a late answer cannot land in front of it: we wait a while for the answer
// to begin, then until the line has been quiet for twenty byte times and the
// answer's line has ended.
constexpr auto settleFirstByte = 100ms;
constexpr auto settleQuiet = 20ms;
constexpr auto settleLimit = 300ms;
// The close comes 100 ms after "+cfgd\r"; this only bounds a link that never closes.
constexpr auto disconnectLimit = 2000ms;

// The port's own error, naming the port once.
std::string portReason(const std::string& port, const std::string& error) {
    if (port.empty() || error.starts_with(port + ": ")) {
        return error;
    }
    return error.empty() ? port : port + ": " + error;
}

std::string usbId() {
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", unsigned{modemVendorId},
                  unsigned{modemProductId});
    return text;
}

bool reportArrived(std::string_view pane) {
    return reportComplete(findReport(pane));
}

}  // namespace

void StderrMessageBox::show(std::string_view text, std::string_view /*caption*/,
                            MessageIcon /*icon*/) {
    if (m_shown++ > 0) {
        return;
    }
    // A message may name a reason of its own ("can't connect to device:
    // no device found"); ours says more, so only its headline is kept.
    if (const std::string why = m_reason(); !why.empty()) {
        m_err << "modemctl: " << text.substr(0, text.find(": ")) << ": " << why;
    } else {
        m_err << "modemctl: " << text;
    }
    m_err << '\n';
}

Answer StderrMessageBox::ask(std::string_view text, std::string_view /*caption*/) {
    if (m_shown++ == 0) {
        m_err << "modemctl: " << text << '\n';
    }
    return Answer::No;
}

// Remembers which port discovery led to, so that a failure can name it, or
// say that there was none.
class RecordingFinder : public PortFinder {
public:
    explicit RecordingFinder(std::unique_ptr<PortFinder> inner) : m_inner(std::move(inner)) {}
    [[nodiscard]] std::string findModemPort(TerminalPane& pane) override {
        m_asked = true;
        m_found = m_inner->findModemPort(pane);
        return m_found;
    }
    [[nodiscard]] bool foundNone() const { return m_asked && m_found.empty(); }
    [[nodiscard]] const std::string& found() const { return m_found; }

private:
    std::unique_ptr<PortFinder> m_inner;
    bool m_asked = false;
    std::string m_found;
};

// The link's close timer, noting when it has closed the link: a link that
// went down otherwise went down by itself.
class ClosingTimer : public Timer {
public:
    explicit ClosingTimer(std::unique_ptr<Timer> inner) : m_inner(std::move(inner)) {}
    void start(std::chrono::milliseconds delay, std::function<void()> onExpired) override {
        m_inner->start(delay, [this, onExpired = std::move(onExpired)] {
            m_fired = true;
            onExpired();
        });
    }
    void stop() override { m_inner->stop(); }
    [[nodiscard]] bool isActive() const override { return m_inner->isActive(); }
    [[nodiscard]] bool fired() const { return m_fired; }

private:
    std::unique_ptr<Timer> m_inner;
    bool m_fired = false;
};

Session::Session(const PortOptions& options, Streams io)
    : m_io(io),
      m_messages(io.err, [this] { return failureReason(); }),
      m_timer(std::make_unique<ClosingTimer>(m_loop.makeTimer())),
      m_interrupts([this] { m_loop.wake(); }) {
    if (!options.log.empty()) {
        OpenedTrafficLog opened = TrafficLog::open(pathFromUtf8(options.log));
        m_log = std::move(opened.log);
        m_logError = std::move(opened.error);
    }
    if (options.port.empty()) {
        m_finder = std::make_unique<RecordingFinder>(makeSystemPortFinder(options.sysfsRoot));
    } else {
        m_finder =
            std::make_unique<RecordingFinder>(std::make_unique<FixedPortFinder>(options.port));
    }
    m_link = std::make_unique<Link>(LinkContext{
        .pane = m_pane,
        .messages = m_messages,
        .timer = *m_timer,
        .dispatcher = m_loop,
        .finder = *m_finder,
        .makePort = [] { return makeSystemSerialPort(); },
        .stateChanged = nullptr,  // no button to show it on
        .traffic = m_log.get(),
    });
    // Received bytes wake the loop, so a complete report is seen at once.
    m_pane.setChangeListener([this] { m_loop.wake(); });
}

Session::~Session() {
    m_link->shutdown();
    m_link.reset();
    m_pane.setChangeListener(nullptr);
    if (m_log) {
        // Everything is written by now, or the log has stopped: say so once.
        m_log->flush();
        if (const std::string failure = m_log->failure(); !failure.empty()) {
            m_io.err << "modemctl: " << failure << '\n';
        }
    }
}

bool Session::connect() {
    if (!m_logError.empty()) {
        m_io.err << "modemctl: " << m_logError << '\n';
        return false;
    }
    m_link->toggleConnection();
    if (m_link->state() == LinkState::Up) {
        m_wasUp = true;
        markSent();
        return true;
    }
    return false;
}

bool Session::healthy() {
    if (m_wasUp && !m_timer->fired() && !m_lost && m_link->state() == LinkState::Down) {
        m_lost = true;
        m_messages.show("device disconnected", "Error", MessageIcon::None);
    }
    return m_messages.shown() == 0;
}

bool Session::interrupted() const {
    return interruptRequested();
}

void Session::disconnect() {
    (void)healthy();
    if (m_link->state() == LinkState::Up) {
        m_link->toggleConnection();
    }
    (void)m_loop.runUntil([this] { return m_link->state() == LinkState::Down; },
                          Clock::now() + disconnectLimit);
    // A hang-up before the close came is a line lost with what was sent on it.
    (void)healthy();
}

bool Session::collect(const std::function<bool(std::string_view)>& complete, Clock::duration quiet,
                      Clock::duration limit) {
    const auto start = Clock::now();
    auto lastChange = start;
    auto seen = m_pane.changeCount();
    for (;;) {
        if (interrupted()) {
            return false;
        }
        const auto deadline = std::min(start + limit, lastChange + quiet);
        (void)m_loop.runUntil(
            [&] {
                // Re-armed before the count is read, so no change goes unnoticed.
                m_pane.takeNotification();
                return m_pane.changeCount() != seen || !m_link->connected() || interrupted();
            },
            deadline);
        if (interrupted()) {
            return false;
        }
        if (complete && complete(m_pane.snapshot())) {
            return true;
        }
        if (!m_link->connected()) {
            return false;
        }
        const auto now = Clock::now();
        if (m_pane.changeCount() != seen) {
            seen = m_pane.changeCount();
            lastChange = now;
        } else if (now >= deadline) {
            return false;
        }
        if (now >= start + limit) {
            return false;
        }
    }
}

void Session::markSent() {
    m_changesAtSend = m_pane.changeCount();
}

void Session::settle() {
    const auto atSend = m_changesAtSend;
    (void)collect([&](std::string_view) { return m_pane.changeCount() != atSend; }, settleFirstByte,
                  settleFirstByte);
    if (m_pane.changeCount() == atSend) {
        return;  // no answer at all
    }
    (void)collect(nullptr, settleQuiet, settleLimit);
    // A pause inside an answer is no end of it: wait for its line to end.
    if (!m_pane.snapshot().ends_with("\r\n")) {
        (void)collect([](std::string_view text) { return text.ends_with("\r\n"); }, settleLimit,
                      settleLimit);
    }
}

std::optional<Session::Clock::duration> Session::requestReport(std::string_view readCommand) {
    settle();
    if (interrupted()) {
        return std::nullopt;
    }
    m_pane.clearTerminal();
    const auto sent = Clock::now();
    (void)m_link->sendCommand(readCommand);
    if (!collect(reportArrived, reportQuiet, reportLimit)) {
        return std::nullopt;
    }
    return Clock::now() - sent;
}

std::string Session::failureReason() const {
    if (m_lost) {
        return portReason(m_finder->found(), "the line hung up");
    }
    if (m_finder->foundNone()) {
        return "no device found (no USB serial port " + usbId() + "; name one with --port)";
    }
    return portReason(m_finder->found(), m_link ? m_link->lastError() : std::string());
}

}  // namespace modem::cli
