// The subcommands that talk to a live modem. Each connects and disconnects as
// the dialog does, driving the same Link through a small event loop: the
// connect sequence with "+cfge\r", and at the end "+cfgd\r" with the close
// 100 ms later. Standard output carries only the data (JSON, the modem's
// answer, the port list); failures go to standard error.

#include <chrono>
#include <cstdint>
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
#include "link/discovery.h"
#include "link/link.h"
#include "link/serial_port.h"
#include "link/terminal_pane.h"
#include "platform/message_box.h"
#include "protocol/commands.h"
#include "protocol/report_parser.h"
#include "settings/mset.h"
#include "settings/mset_fields.h"
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

// Message boxes become one line on standard error; the session fails if any appeared.
class StderrMessageBox : public MessageBox {
public:
    explicit StderrMessageBox(std::ostream& err) : m_err(err) {}
    void show(std::string_view text, std::string_view caption, MessageIcon /*icon*/) override {
        m_err << "modemctl: " << caption << ": " << text << '\n';
        ++m_shown;
    }
    [[nodiscard]] int shown() const { return m_shown; }

private:
    std::ostream& m_err;
    int m_shown = 0;
};

struct PortOptions {
    std::string port;               // empty: discovery
    std::string sysfsRoot{"/sys"};  // hidden option, so tests can use a fake tree
};

void addPortOptions(CLI::App& cmd, PortOptions& options) {
    cmd.add_option("--port", options.port, "Serial port of the modem (default: find it by USB id)");
    cmd.add_option("--sysfs-root", options.sysfsRoot, "Root of the sysfs tree to search")
        ->group("");
}

// The text from the first line that starts with "Modem" on. A late answer to
// an earlier command can stand in front of the report; the lines before it
// are whole lines, so what follows is exactly what a cleared pane would hold.
std::string_view reportText(std::string_view pane) {
    constexpr std::string_view signature = "Modem";
    if (pane.starts_with(signature)) {
        return pane;
    }
    const auto at = pane.find(std::string("\r\n").append(signature));
    return at == std::string_view::npos ? pane : pane.substr(at + 2);
}

bool reportArrived(std::string_view pane) {
    return reportComplete(reportText(pane));
}

// One connection to the modem with everything the Link needs around it.
class Session {
public:
    Session(const PortOptions& options, Streams io)
        : m_io(io), m_messages(io.err), m_timer(m_loop.makeTimer()) {
        if (options.port.empty()) {
            m_finder = makeSystemPortFinder(options.sysfsRoot);
        } else {
            m_finder = std::make_unique<FixedPortFinder>(options.port);
        }
        m_link = std::make_unique<Link>(LinkContext{
            .pane = m_pane,
            .form = m_form,
            .messages = m_messages,
            .timer = *m_timer,
            .dispatcher = m_loop,
            .finder = *m_finder,
            .makePort = [] { return makeSystemSerialPort(); },
        });
        // Received bytes wake the loop, so a complete report is seen at once.
        m_pane.setChangeListener([this] { m_loop.wake(); });
    }

    ~Session() {
        // Error paths end here still connected: stop without sending anything.
        m_link->shutdown();
        m_link.reset();
        m_pane.setChangeListener(nullptr);
    }

    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The connect sequence. On failure the pane says why ("no device found").
    [[nodiscard]] bool connect() {
        m_link->toggleConnection();
        if (m_link->state() == LinkState::Up) {
            markSent();
            return true;
        }
        m_io.err << forTerminal(m_pane.snapshot());
        if (!m_link->lastError().empty()) {
            m_io.err << "modemctl: " << m_link->lastError() << '\n';
        }
        return false;
    }

    // "+cfgd\r", then the close when the timer fires.
    void disconnect() {
        if (m_link->state() == LinkState::Up) {
            m_link->toggleConnection();
        }
        (void)m_loop.runUntil([this] { return m_link->state() == LinkState::Down; },
                              Clock::now() + disconnectLimit);
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
    Streams m_io;
    EventLoop m_loop;
    StderrMessageBox m_messages;
    std::unique_ptr<Timer> m_timer;
    TerminalPane m_pane;
    FormModel m_form;
    std::unique_ptr<PortFinder> m_finder;
    std::unique_ptr<Link> m_link;  // last: destroyed first, before what it uses
    std::uint64_t m_changesAtSend = 0;
};

std::string readCommandFor(std::optional<unsigned> profile) {
    return profile ? cmdViewProfile(*profile) : cmdView();
}

// ---- ports ----

struct PortsOptions {
    std::string sysfsRoot{"/sys"};
};

int runPorts(const PortsOptions& options, Streams io) {
    const auto ports = listSerialPorts(options.sysfsRoot);
    if (ports.empty()) {
        io.err << "modemctl: no serial ports found\n";
        return 0;
    }
    for (const auto& port : ports) {
        io.out << port.path;
        if (!port.usbVendor.empty()) {
            io.out << "  " << port.usbVendor << ':' << port.usbProduct;
        }
        if (port.matchesModem) {
            io.out << "  modem";
        }
        io.out << '\n';
    }
    return 0;
}

// ---- read ----

struct ReadOptions {
    PortOptions port;
    std::optional<unsigned> profile;
    std::optional<std::filesystem::path> base;
    std::optional<std::filesystem::path> output;
    bool timing = false;
};

int runRead(const ReadOptions& options, Streams io) {
    Mset mset = defaultSettings();
    if (options.base && !readSettingsInput(*options.base, mset, io)) {
        return 1;
    }
    std::optional<Clock::duration> elapsed;
    std::string pane;
    std::uint64_t received = 0;
    {
        Session session(options.port, io);
        if (!session.connect()) {
            return 1;
        }
        const auto before = session.link().bytesReceived();
        elapsed = session.requestReport(readCommandFor(options.profile));
        received = session.link().bytesReceived() - before;
        pane = session.pane().snapshot();
        session.disconnect();
    }
    if (!elapsed || !parseReport(reportText(pane), mset)) {
        io.err << "modemctl: no settings report from the modem (received " << received
               << " bytes)\n";
        return 1;
    }
    if (options.timing) {
        io.err << "timing: report_us="
               << std::chrono::duration_cast<std::chrono::microseconds>(*elapsed).count()
               << " report_bytes=" << received << '\n';
    }
    return writeSettingsOutput(mset, options.output, io);
}

// ---- write ----

struct WriteOptions {
    PortOptions port;
    std::filesystem::path input;
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
    int status = session.failures() == 0 ? 0 : 1;
    if (status == 0 && options.verify) {
        const auto elapsed = session.requestReport(cmdView());
        const std::string pane = session.pane().snapshot();
        // Parsed onto the sent image, so fields the report lacks compare equal.
        Mset readBack = mset;
        if (!elapsed || !parseReport(reportText(pane), readBack)) {
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
    io.out << forTerminal(session.pane().snapshot());
    session.disconnect();
    return session.failures() == 0 ? 0 : 1;
}

}  // namespace

void addOnlineCommands(CLI::App& app, Action& chosen, Streams io) {
    {
        auto options = std::make_shared<PortsOptions>();
        auto* cmd = app.add_subcommand("ports", "List serial ports, marking the modem's");
        cmd->add_option("--sysfs-root", options->sysfsRoot, "Root of the sysfs tree")->group("");
        cmd->callback(
            [options, &chosen, io] { chosen = [options, io] { return runPorts(*options, io); }; });
    }
    {
        auto options = std::make_shared<ReadOptions>();
        auto* cmd = app.add_subcommand("read", "Read the modem's settings report");
        addPortOptions(*cmd, options->port);
        cmd->add_option("--profile", options->profile, "Read a stored profile instead")
            ->check(CLI::Range(0U, 1U));
        cmd->add_option("--base", options->base, "Settings the report is copied onto")
            ->check(CLI::ExistingFile);
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
            ->check(CLI::ExistingFile);
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
