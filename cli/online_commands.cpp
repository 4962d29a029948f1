// The subcommands that talk to a live modem. Each connects and disconnects as
// the dialog does, driving the same Link through a small event loop: the
// connect sequence with "+cfge\r", and at the end "+cfgd\r" with the close
// 100 ms later. Standard output carries only the data (JSON, the modem's
// answer); failures go to standard error.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <iomanip>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/event_loop.h"
#include "cli/modem_read.h"
#include "link/discovery.h"
#include "link/link.h"
#include "link/serial_port.h"
#include "link/terminal_pane.h"
#include "platform/message_box.h"
#include "protocol/commands.h"
#include "protocol/report_parser.h"
#include "settings/mset.h"
#include "settings/mset_fields.h"
#include "settings/utf8_path.h"
#include "traffic/traffic_log.h"
#include "ui/button_actions.h"
#include "ui/form_init.h"
#include "ui/form_model.h"
#include "ui/transfers.h"

namespace modem::cli {

namespace {

using namespace std::chrono_literals;
using Clock = EventLoop::Clock;

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

// Message boxes become one line on standard error, with the reason behind
// them. Only the first is printed: the later ones of a session follow from it
// (the disconnect after a failed write). The session fails if any appeared.
class StderrMessageBox : public MessageBox {
public:
    StderrMessageBox(std::ostream& err, std::function<std::string()> reason)
        : m_err(err), m_reason(std::move(reason)) {}
    void show(std::string_view text, std::string_view /*caption*/, MessageIcon /*icon*/) override {
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
    // Nobody is there to say yes: the question is printed and answered No, which
    // fails the session as a message does.
    [[nodiscard]] Answer ask(std::string_view text, std::string_view /*caption*/) override {
        if (m_shown++ == 0) {
            m_err << "modemctl: " << text << '\n';
        }
        return Answer::No;
    }
    [[nodiscard]] int shown() const { return m_shown; }

private:
    std::ostream& m_err;
    std::function<std::string()> m_reason;
    int m_shown = 0;
};

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

// The port's own error, naming the port once.
std::string portReason(const std::string& port, const std::string& error) {
    if (port.empty() || error.starts_with(port + ": ")) {
        return error;
    }
    return error.empty() ? port : port + ": " + error;
}

constexpr const char* logHelp =
    "Append every byte sent and received, and the status lines, to FILE";

bool reportArrived(std::string_view pane) {
    return reportComplete(findReport(pane));
}

// One connection to the modem with everything the Link needs around it.
class Session {
public:
    Session(const PortOptions& options, Streams io)
        : m_io(io),
          m_messages(io.err, [this] { return failureReason(); }),
          m_timer(m_loop.makeTimer()) {
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
            .timer = m_timer,
            .dispatcher = m_loop,
            .finder = *m_finder,
            .makePort = [] { return makeSystemSerialPort(); },
            .stateChanged = nullptr,  // no button to show it on
            .traffic = m_log.get(),
        });
        // Received bytes wake the loop, so a complete report is seen at once.
        m_pane.setChangeListener([this] { m_loop.wake(); });
    }

    ~Session() {
        // Error paths end here still connected: stop without sending anything.
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

    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The connect sequence. On failure one line on standard error says why.
    [[nodiscard]] bool connect() {
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

    // Whether nothing has failed so far. A line that went down by itself (a
    // pulled cable, a modem that hung up) is a failure too, reported once:
    // without it the sends that follow would go nowhere without a word.
    [[nodiscard]] bool healthy() {
        if (m_wasUp && !m_timer.fired() && !m_lost && m_link->state() == LinkState::Down) {
            m_lost = true;
            m_messages.show("device disconnected", "Error", MessageIcon::None);
        }
        return m_messages.shown() == 0;
    }

    // "+cfgd\r", then the close when the timer fires.
    void disconnect() {
        (void)healthy();
        if (m_link->state() == LinkState::Up) {
            m_link->toggleConnection();
        }
        (void)m_loop.runUntil([this] { return m_link->state() == LinkState::Down; },
                              Clock::now() + disconnectLimit);
        // A hang-up before the close came is a line lost with what was sent on it.
        (void)healthy();
    }

    // Runs the loop until `complete` holds for the pane's text, the line has
    // been quiet for `quiet`, `limit` has passed, or the link went down.
    // Returns whether `complete` held.
    bool collect(const std::function<bool(std::string_view)>& complete, Clock::duration quiet,
                 Clock::duration limit) {
        const auto start = Clock::now();
        auto lastChange = start;
        auto seen = m_pane.changeCount();
        for (;;) {
            const auto deadline = std::min(start + limit, lastChange + quiet);
            (void)m_loop.runUntil(
                [&] {
                    // Re-armed before the count is read, so no change goes unnoticed.
                    m_pane.takeNotification();
                    return m_pane.changeCount() != seen || !m_link->connected();
                },
                deadline);
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

    // Notes that a command went out whose answer settle() lets pass.
    void markSent() { m_changesAtSend = m_pane.changeCount(); }

    void settle() {
        const auto atSend = m_changesAtSend;
        (void)collect([&](std::string_view) { return m_pane.changeCount() != atSend; },
                      settleFirstByte, settleFirstByte);
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

    // Clears the pane, sends the read command and waits for the report.
    // Returns the time from the send to the complete report, or nothing.
    std::optional<Clock::duration> requestReport(std::string_view readCommand) {
        settle();
        m_pane.clearTerminal();
        const auto sent = Clock::now();
        (void)m_link->sendCommand(readCommand);
        if (!collect(reportArrived, reportQuiet, reportLimit)) {
            return std::nullopt;
        }
        return Clock::now() - sent;
    }

    [[nodiscard]] TerminalPane& pane() { return m_pane; }
    [[nodiscard]] Link& link() { return *m_link; }
    [[nodiscard]] EventLoop& loop() { return m_loop; }
    [[nodiscard]] int failures() const { return m_messages.shown(); }

private:
    std::string failureReason() const {
        if (m_lost) {
            return portReason(m_finder->found(), "the line hung up");
        }
        if (m_finder->foundNone()) {
            return "no device found (no USB serial port " + usbId() + "; name one with --port)";
        }
        return portReason(m_finder->found(), m_link ? m_link->lastError() : std::string());
    }

    static std::string usbId() {
        char text[16];
        std::snprintf(text, sizeof text, "%04x:%04x", unsigned{modemVendorId},
                      unsigned{modemProductId});
        return text;
    }

    Streams m_io;
    EventLoop m_loop;
    StderrMessageBox m_messages;
    ClosingTimer m_timer;
    TerminalPane m_pane;
    std::unique_ptr<RecordingFinder> m_finder;
    std::unique_ptr<TrafficLog> m_log;
    std::string m_logError;
    std::unique_ptr<Link> m_link;  // last: destroyed first, before what it uses
    std::uint64_t m_changesAtSend = 0;
    bool m_wasUp = false;
    bool m_lost = false;
};

std::string readCommandFor(std::optional<unsigned> profile) {
    return profile ? cmdViewProfile(*profile) : cmdView();
}

// ---- read ----

struct ReadOptions {
    PortOptions port;
    std::optional<unsigned> profile;
    std::optional<std::string> base;
    std::optional<std::string> output;
    bool timing = false;
};

int runRead(const ReadOptions& options, Streams io) {
    Mset base = defaultSettings();
    if (options.base && !readSettingsInput(*options.base, base, io)) {
        return 1;
    }
    const ModemRead read = readModemSettings(options.port, options.profile, base, io);
    if (!read.settings) {
        return 1;
    }
    if (options.timing) {
        io.err << "timing: report_us="
               << std::chrono::duration_cast<std::chrono::microseconds>(read.elapsed).count()
               << " report_bytes=" << read.received << '\n';
    }
    return writeSettingsOutput(*read.settings, options.output, io);
}

// ---- write ----

struct WriteOptions {
    PortOptions port;
    std::string input;
    std::optional<unsigned> store;
    bool verify = false;
};

// What "Настроить" does to the settings before it sends them.
Mset normalised(const Mset& mset) {
    FormModel form;
    Mset shown{};
    initialiseForm(form, shown);
    settingsToForm(mset, form);
    Mset result = mset;
    formToSettings(form, result);
    return result;
}

// Fields the report does not carry, so a read-back cannot confirm them.
bool reportCarries(std::string_view field) {
    return field != "RSDLY" && field != "MARK" && field != "BAND" && !field.starts_with("reserved");
}

void printDiff(std::ostream& os, const FieldDiff& d) {
    os << d.name << ": " << d.before << " -> " << d.after << '\n';
}

int runWrite(const WriteOptions& options, Streams io) {
    Mset input{};
    if (!readSettingsInput(options.input, input, io)) {
        return 1;
    }
    const Mset mset = normalised(input);
    for (const auto& d : diffFields(input, mset)) {
        io.err << "normalised ";
        printDiff(io.err, d);
    }

    Session session(options.port, io);
    if (!session.connect()) {
        return 1;
    }
    uploadSettings(session.link(), mset);
    session.markSent();
    if (options.store) {
        // After the upload's answer, so the two answers do not interleave.
        session.settle();
        (void)session.link().sendCommand(cmdSave(*options.store));
        session.markSent();
    }
    int status = session.healthy() ? 0 : 1;
    if (status == 0 && options.verify) {
        const auto elapsed = session.requestReport(cmdView());
        const std::string pane = session.pane().snapshot();
        // Parsed onto the sent image, so fields the report lacks compare equal.
        Mset readBack = mset;
        if (!session.healthy()) {
            status = 1;
        } else if (!elapsed || !parseReport(findReport(pane), readBack)) {
            io.err << "modemctl: verify: no settings report from the modem\n";
            status = 1;
        } else {
            for (const auto& d : diffFields(mset, readBack)) {
                if (reportCarries(d.name)) {
                    io.err << "mismatch ";
                    printDiff(io.err, d);
                    status = 1;
                }
            }
        }
    }
    session.disconnect();
    return session.failures() == 0 ? status : 1;
}

// ---- send ----

struct SendOptions {
    PortOptions port;
    std::string mnemonic;
    std::optional<std::string> argument;
    unsigned waitMs = 500;
};

int runSend(const SendOptions& options, Streams io) {
    const CommandLookup command = lookupCommand(options.mnemonic, options.argument);
    if (command.bytes.empty()) {
        io.err << "modemctl: " << command.error << '\n';
        return 2;
    }
    Session session(options.port, io);
    if (!session.connect()) {
        return 1;
    }
    session.settle();
    session.pane().clearTerminal();
    (void)session.link().sendCommand(command.bytes);
    (void)session.collect(nullptr, std::chrono::milliseconds(options.waitMs),
                          std::chrono::milliseconds(options.waitMs));
    // After a failure the pane holds the link's own lines, not an answer.
    if (session.healthy()) {
        io.out << forTerminal(session.pane().snapshot());
    }
    session.disconnect();
    return session.failures() == 0 ? 0 : 1;
}

}  // namespace

void addPortOptions(CLI::App& cmd, PortOptions& options) {
    cmd.add_option("--port", options.port, "Serial port of the modem (default: find it by USB id)");
    cmd.add_option("--sysfs-root", options.sysfsRoot, "Root of the sysfs tree to search")
        ->group("");
    cmd.add_option("--log", options.log, logHelp)->option_text("FILE");
    // --log is taken before the subcommand and after it alike; the subcommand's own wins.
    cmd.parse_complete_callback([&cmd, &options] {
        const CLI::App* parent = cmd.get_parent();
        const CLI::Option* global = parent ? parent->get_option_no_throw("--log") : nullptr;
        if (options.log.empty() && global && global->count() > 0) {
            options.log = global->as<std::string>();
        }
    });
}

void addGlobalLogOption(CLI::App& app) {
    // Read by each subcommand that talks to the modem (see addPortOptions).
    app.add_option("--log", logHelp)->option_text("FILE");
}

ModemRead readModemSettings(const PortOptions& port, std::optional<unsigned> profile,
                            const Mset& base, Streams io) {
    ModemRead result;
    std::optional<Clock::duration> elapsed;
    std::string pane;
    {
        Session session(port, io);
        if (!session.connect()) {
            return result;
        }
        const auto before = session.link().bytesReceived();
        elapsed = session.requestReport(readCommandFor(profile));
        result.received = session.link().bytesReceived() - before;
        pane = session.pane().snapshot();
        const bool failed = !session.healthy();  // its line is out already
        session.disconnect();
        if (failed) {
            return result;
        }
    }
    Mset mset = base;
    if (!elapsed || !parseReport(findReport(pane), mset)) {
        io.err << "modemctl: no settings report from the modem (received " << result.received
               << " bytes)\n";
        return result;
    }
    result.settings = mset;
    result.elapsed = *elapsed;
    return result;
}

void addOnlineCommands(CLI::App& app, Action& chosen, Streams io) {
    {
        auto options = std::make_shared<ReadOptions>();
        auto* cmd = app.add_subcommand("read", "Read the modem's settings report");
        addPortOptions(*cmd, options->port);
        cmd->add_option("--profile", options->profile, "Read a stored profile instead")
            ->check(CLI::Range(0U, 1U));
        cmd->add_option("--base", options->base, "Settings the report is copied onto")
            ->check(existingFile());
        cmd->add_option("-o,--output", options->output, "Write a .cfg file instead of JSON");
        cmd->add_flag("--timing", options->timing, "Print the report's timing on stderr")
            ->group("");
        cmd->callback(
            [options, &chosen, io] { chosen = [options, io] { return runRead(*options, io); }; });
    }
    {
        auto options = std::make_shared<WriteOptions>();
        auto* cmd = app.add_subcommand("write", "Write a settings file to the modem");
        addPortOptions(*cmd, options->port);
        cmd->add_option("file", options->input, "Settings file (.cfg)")
            ->required()
            ->check(existingFile());
        cmd->add_option("--store", options->store, "Store the settings in profile 0 or 1")
            ->check(CLI::Range(0U, 1U));
        cmd->add_flag("--verify", options->verify, "Read the settings back and compare");
        cmd->callback(
            [options, &chosen, io] { chosen = [options, io] { return runWrite(*options, io); }; });
    }
    {
        auto options = std::make_shared<SendOptions>();
        auto* cmd = app.add_subcommand("send", "Send one command and print the answer");
        addPortOptions(*cmd, options->port);
        cmd->add_option("command", options->mnemonic, "Mnemonic: test, vers, ch, sing, ...")
            ->required();
        cmd->add_option("argument", options->argument, "Argument of ch, chk, sing, sink");
        cmd->add_option("--wait", options->waitMs, "Milliseconds to collect the answer");
        cmd->callback(
            [options, &chosen, io] { chosen = [options, io] { return runSend(*options, io); }; });
    }
}

}  // namespace modem::cli
