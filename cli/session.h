#pragma once

// One connection of modemctl to one modem, with everything the Link needs
// around it: the event loop standing in for the dialog's, the pane, message
// boxes as lines on standard error, the traffic log and Ctrl+C. It connects and
// disconnects as the dialog does: the connect sequence with "+cfge\r", and at
// the end "+cfgd\r" with the close 100 ms later.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cli/commands.h"
#include "cli/event_loop.h"
#include "cli/interrupts.h"
#include "cli/modem_read.h"
#include "link/link.h"
#include "link/terminal_pane.h"
#include "platform/message_box.h"
#include "traffic/traffic_log.h"

namespace modem::cli {

// Message boxes become one line on standard error, with the reason behind
// them. Only the first is printed: the later ones of a session follow from it
// (the disconnect after a failed write). The session fails if any appeared.
class StderrMessageBox : public MessageBox {
public:
    StderrMessageBox(std::ostream& err, std::function<std::string()> reason)
        : m_err(err), m_reason(std::move(reason)) {}
    void show(std::string_view text, std::string_view caption, MessageIcon icon) override;
    // Nobody is there to say yes: the question is printed and answered No, which
    // fails the session as a message does.
    [[nodiscard]] Answer ask(std::string_view text, std::string_view caption) override;
    [[nodiscard]] int shown() const { return m_shown; }

private:
    std::ostream& m_err;
    std::function<std::string()> m_reason;
    int m_shown = 0;
};

class RecordingFinder;
class ClosingTimer;

class Session {
public:
    using Clock = EventLoop::Clock;

    Session(const PortOptions& options, Streams io);
    // Error paths end here still connected: the link stops without sending anything.
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The connect sequence. On failure one line on standard error says why.
    [[nodiscard]] bool connect();

    // Whether nothing has failed so far. A line that went down by itself (a
    // pulled cable, a modem that hung up) is a failure too, reported once:
    // without it the sends that follow would go nowhere without a word.
    [[nodiscard]] bool healthy();

    // Whether the operator pressed Ctrl+C (or the process was asked to
    // terminate). Every wait of the session ends at once when it happens; the
    // caller then goes straight to disconnect() and reports nothing else.
    [[nodiscard]] bool interrupted() const;

    // "+cfgd\r", then the close when the timer fires. Runs to its end even
    // after an interrupt, which is what it is there for.
    void disconnect();

    // Runs the loop until `complete` holds for the pane's text, the line has
    // been quiet for `quiet`, `limit` has passed, the link went down or an
    // interrupt came. Returns whether `complete` held.
    bool collect(const std::function<bool(std::string_view)>& complete, Clock::duration quiet,
                 Clock::duration limit);

    // Notes that a command went out whose answer settle() lets pass.
    void markSent();
    // Lets the answer to the last marked command arrive and end its line, so
    // that it cannot land in front of what comes next.
    void settle();

    // Clears the pane, sends the read command and waits for the report.
    // Returns the time from the send to the complete report, or nothing.
    std::optional<Clock::duration> requestReport(std::string_view readCommand);

    [[nodiscard]] TerminalPane& pane() { return m_pane; }
    [[nodiscard]] Link& link() { return *m_link; }
    [[nodiscard]] int failures() const { return m_messages.shown(); }

private:
    std::string failureReason() const;

    Streams m_io;
    EventLoop m_loop;
    StderrMessageBox m_messages;
    std::unique_ptr<ClosingTimer> m_timer;
    TerminalPane m_pane;
    std::unique_ptr<RecordingFinder> m_finder;
    std::unique_ptr<TrafficLog> m_log;
    std::string m_logError;
    std::unique_ptr<Link> m_link;  // destroyed before what it uses
    // Last: while it lives an interrupt wakes the loop instead of ending the process.
    InterruptCatcher m_interrupts;
    std::uint64_t m_changesAtSend = 0;
    bool m_wasUp = false;
    bool m_lost = false;
};

}  // namespace modem::cli
