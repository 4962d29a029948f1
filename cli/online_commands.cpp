// The subcommands that talk to a live modem, each through one Session.
// Standard output carries only the data (JSON, the modem's answer); failures
// go to standard error.

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/modem_read.h"
#include "cli/online_work.h"
#include "cli/session.h"
#include "cli/settings_diff.h"
#include "cli/unit_selection.h"
#include "link/discovery.h"
#include "protocol/commands.h"
#include "protocol/report_parser.h"
#include "settings/mset.h"
#include "settings/mset_fields.h"
#include "ui/button_actions.h"
#include "ui/form_init.h"
#include "ui/form_model.h"
#include "ui/settings_check.h"
#include "ui/transfers.h"

namespace modem::cli {

namespace {

using Clock = Session::Clock;

// How long the answer to "+vers\r" may take, and how long the line may stay
// quiet before it.
constexpr auto versionQuiet = std::chrono::milliseconds(500);
constexpr auto versionLimit = std::chrono::milliseconds(2000);

constexpr const char* logHelp =
    "Append every byte sent and received, and the status lines, to FILE";

std::string readCommandFor(std::optional<unsigned> profile) {
    return profile ? cmdViewProfile(*profile) : cmdView();
}

// ---- read ----

int runRead(const ReadOptions& options, Streams io) {
    if (choosesUnits(options.port)) {
        return runReadBatch(options, io);
    }
    Mset base = defaultSettings();
    if (options.base && !readSettingsInput(*options.base, base, io)) {
        return 1;
    }
    const ModemRead read = readModemSettings(options.port, options.profile, base, io);
    if (read.interrupted) {
        return interruptedStatus;
    }
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

// Reads the settings back after an upload and compares every field the report
// carries. Prints one line per field that differs, or why there was nothing to
// compare; returns whether the modem holds what was sent.
bool verifyUpload(Session& session, const Mset& sent, Streams io,
                  std::vector<ShownDifference>& differences) {
    (void)session.requestReport(cmdView());
    if (session.interrupted() || !session.healthy()) {
        return false;  // said already, or to be said by the caller
    }
    const std::string pane = session.pane().snapshot();
    const std::string_view report = findReport(pane);
    if (const ReportState state = examineReport(report); state != ReportState::Complete) {
        io.err << "modemctl: verify: " << reportProblem(state) << '\n';
        return false;
    }
    // Parsed onto the image sent, so that what the report does not carry
    // (RSDLY, MARK, BAND, the reserved bytes) compares equal.
    Mset readBack = sent;
    (void)parseReport(report, readBack);
    differences = showDifferences(sent, readBack);
    for (const ShownDifference& d : differences) {
        io.err << "modemctl: verify: " << d.name << ": sent " << d.a << ", the modem holds " << d.b
               << '\n';
    }
    return differences.empty();
}

// The modem's answer to "+vers\r", on its own in the pane; none from a
// modem that keeps silent.
std::optional<std::string> askModemVersion(Session& session) {
    session.settle();
    session.pane().clearTerminal();
    const auto before = session.link().bytesReceived();
    (void)session.link().sendCommand(cmdVers());
    session.markSent();
    (void)session.collect([](std::string_view text) { return text.ends_with("\r\n"); },
                          versionQuiet, versionLimit);
    if (session.link().bytesReceived() == before) {
        return std::nullopt;
    }
    std::string answer = forTerminal(session.pane().snapshot());
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r')) {
        answer.pop_back();
    }
    return answer;
}

int runWrite(const WriteOptions& options, Streams io) {
    if (choosesUnits(options.port) || options.units || options.records) {
        return runWriteBatch(options, io);
    }
    Mset input{};
    if (!readSettingsToWrite(options, input, io)) {
        return 1;
    }
    const Mset mset = normalised(input);
    for (const auto& d : diffFields(input, mset)) {
        io.err << "modemctl: normalised " << d.name << ": " << d.before << " -> " << d.after
               << '\n';
    }
    return writeSettingsTo(mset, options, options.port, io, nullptr, false).status;
}

// ---- send ----

int runSend(const SendOptions& options, Streams io) {
    const CommandLookup command = lookupCommand(options.mnemonic, options.argument);
    if (command.bytes.empty()) {
        io.err << "modemctl: " << command.error << '\n';
        return 2;
    }
    if (choosesUnits(options.port)) {
        return runSendBatch(command.bytes, options, io);
    }
    const SendReport report = sendToModem(command.bytes, options, options.port, io, nullptr);
    if (report.status != 0) {
        return report.status;
    }
    errno = 0;
    io.out << forTerminal(report.answer);
    return outputWritten(io) ? 0 : 1;
}

}  // namespace

bool readSettingsToWrite(const WriteOptions& options, Mset& mset, Streams io) {
    if (!readSettingsInput(options.input, mset, io)) {
        return false;
    }
    const std::string name = options.input == "-" ? "standard input" : options.input;
    // Values the modem would not take, or that the form would turn into others.
    if (const Problems problems = checkSettings(mset); !problems.empty()) {
        for (const std::string& problem : problems) {
            io.err << "modemctl: " << name << ": " << problem << '\n';
        }
        if (!options.force) {
            io.err << "modemctl: " << name << ": not written: " << problems.size()
                   << (problems.size() == 1 ? " problem" : " problems")
                   << " (--force writes the settings anyway)\n";
            return false;
        }
    }
    return true;
}

Mset normalised(const Mset& mset) {
    FormModel form;
    Mset shown{};
    initialiseForm(form, shown);
    settingsToForm(mset, form);
    Mset result = mset;
    formToSettings(form, result);
    return result;
}

WriteReport writeSettingsTo(const Mset& mset, const WriteOptions& options, const PortOptions& port,
                            Streams io, UnitSteps* steps, bool askVersion) {
    const auto step = [steps](UnitStep s) {
        if (steps) {
            steps->step(s);
        }
    };
    WriteReport report;
    step(UnitStep::Connecting);
    Session session(port, io);
    if (!session.connect()) {
        report.status = session.interrupted() ? interruptedStatus : 1;
        return report;
    }
    if (askVersion) {
        report.version = askModemVersion(session);
    }
    step(UnitStep::Writing);
    uploadSettings(session.link(), mset);
    session.markSent();
    report.uploaded = true;
    bool good = session.healthy() && !session.interrupted();
    if (good && !options.noVerify) {
        step(UnitStep::Verifying);
        good = verifyUpload(session, mset, io, report.differences);
        if (!session.interrupted()) {
            report.verified = good;
        }
    }
    if (options.store && !session.interrupted()) {
        if (good) {
            step(UnitStep::Storing);
            // After the last answer, so that the two answers do not interleave.
            session.settle();
            (void)session.link().sendCommand(cmdSave(*options.store));
            session.markSent();
            // Its answer, before "+cfgd\r" follows.
            session.settle();
            report.stored = *options.store;
        } else if (session.healthy()) {
            io.err << "modemctl: profile " << *options.store
                   << " not stored: the modem does not hold the settings sent\n";
        }
    }
    session.disconnect();
    if (session.interrupted()) {
        report.status = interruptedStatus;
        return report;
    }
    report.status = good && session.failures() == 0 ? 0 : 1;
    if (report.status != 0) {
        report.stored.reset();  // the line went down before it could be taken
    }
    return report;
}

SendReport sendToModem(const std::string& bytes, const SendOptions& options,
                       const PortOptions& port, Streams io, UnitSteps* steps) {
    SendReport report;
    if (steps) {
        steps->step(UnitStep::Connecting);
    }
    Session session(port, io);
    if (!session.connect()) {
        report.status = session.interrupted() ? interruptedStatus : 1;
        return report;
    }
    if (steps) {
        steps->step(UnitStep::Sending);
    }
    session.settle();
    session.pane().clearTerminal();
    const auto before = session.link().bytesReceived();
    (void)session.link().sendCommand(bytes);
    (void)session.collect(nullptr, std::chrono::milliseconds(options.waitMs),
                          std::chrono::milliseconds(options.waitMs));
    const bool answered = session.link().bytesReceived() != before;
    report.answer = session.pane().snapshot();
    const bool healthy = session.healthy();
    session.disconnect();
    if (session.interrupted()) {
        report.status = interruptedStatus;
        return report;
    }
    // After a failure the pane holds the link's own lines, not an answer.
    if (!healthy || session.failures() != 0) {
        report.status = 1;
        return report;
    }
    if (!answered) {
        io.err << "modemctl: no answer from the modem within " << options.waitMs << " ms\n";
        report.status = 1;
        return report;
    }
    report.status = 0;
    return report;
}

void addPortOptions(CLI::App& cmd, PortOptions& options) {
    // Taken more than once, each --port is a unit of a batch.
    cmd.add_option("--port", options.ports,
                   "Serial port of the modem (default: find it by USB id); repeated, several "
                   "modems at once")
        ->allow_extra_args(false)
        ->option_text("PORT");
    cmd.add_option("--sysfs-root", options.sysfsRoot, "Root of the sysfs tree to search")
        ->group("");
    cmd.add_option("--dev-root", options.devRoot, "Folder of the device nodes")->group("");
    cmd.add_option("--log", options.log, logHelp)->option_text("FILE");
    // --log is taken before the subcommand and after it alike; the subcommand's own wins.
    cmd.parse_complete_callback([&cmd, &options] {
        options.port = options.ports.size() == 1 ? options.ports.front() : std::string();
        const CLI::App* parent = cmd.get_parent();
        const CLI::Option* global = parent ? parent->get_option_no_throw("--log") : nullptr;
        if (options.log.empty() && global && global->count() > 0) {
            options.log = global->as<std::string>();
        }
    });
}

void addUnitOptions(CLI::App& cmd, PortOptions& options) {
    cmd.add_option("--serial", options.serials,
                   "The modem with this USB serial number; repeated, several modems at once")
        ->allow_extra_args(false)
        ->option_text("SN");
    cmd.add_flag("--all", options.all, "Every modem found");
    cmd.add_option("--jobs", options.jobs, "How many modems at once (default: all)")
        ->check(CLI::Range(1U, 1000U))
        ->option_text("N");
}

void addGlobalLogOption(CLI::App& app) {
    // Read by each subcommand that talks to the modem (see addPortOptions).
    app.add_option("--log", logHelp)->option_text("FILE");
}

ModemRead readModemSettings(const PortOptions& port, std::optional<unsigned> profile,
                            const Mset& base, Streams io, UnitSteps* steps) {
    ModemRead result;
    std::optional<Clock::duration> elapsed;
    std::string pane;
    {
        if (steps) {
            steps->step(UnitStep::Connecting);
        }
        Session session(port, io);
        if (!session.connect()) {
            result.interrupted = session.interrupted();
            return result;
        }
        if (steps) {
            steps->step(UnitStep::Reading);
        }
        const auto before = session.link().bytesReceived();
        elapsed = session.requestReport(readCommandFor(profile));
        result.received = session.link().bytesReceived() - before;
        pane = session.pane().snapshot();
        const bool failed = !session.healthy();  // its line is out already
        session.disconnect();
        if (session.interrupted()) {
            result.interrupted = true;
            return result;
        }
        if (failed || session.failures() != 0) {
            return result;
        }
    }
    const std::string_view report = findReport(pane);
    if (const ReportState state = examineReport(report); state != ReportState::Complete) {
        io.err << "modemctl: " << reportProblem(state) << " (received " << result.received
               << " bytes from the modem)\n";
        return result;
    }
    Mset mset = base;
    (void)parseReport(report, mset);
    result.settings = mset;
    result.elapsed = elapsed.value_or(Clock::duration{});
    return result;
}

void addOnlineCommands(CLI::App& app, Action& chosen, Streams io, const std::string& commandLine) {
    {
        auto options = std::make_shared<ReadOptions>();
        auto* cmd = app.add_subcommand("read", "Read the modem's settings report");
        addPortOptions(*cmd, options->port);
        addUnitOptions(*cmd, options->port);
        cmd->add_option("--profile", options->profile, "Read a stored profile instead")
            ->check(CLI::Range(0U, 1U));
        cmd->add_option("--base", options->base,
                        "Settings the report is copied onto (.cfg, or - for standard input)");
        cmd->add_option("-o,--output", options->output,
                        "Write a .cfg file instead of JSON (- for standard output); with several "
                        "modems a folder, one file per modem");
        cmd->add_flag("--timing", options->timing, "Print the report's timing on stderr")
            ->group("");
        cmd->callback(
            [options, &chosen, io] { chosen = [options, io] { return runRead(*options, io); }; });
    }
    {
        auto options = std::make_shared<WriteOptions>();
        auto* cmd = app.add_subcommand("write", "Write a settings file to the modem");
        options->commandLine = commandLine;
        addPortOptions(*cmd, options->port);
        addUnitOptions(*cmd, options->port);
        cmd->add_option("--units", options->units,
                        "CSV of per-modem values: a serial or port column, then a column per "
                        "field, CH01-CH16 or CHL1/CHL2")
            ->option_text("CSV");
        cmd->add_option("--records", options->records,
                        "Folder for one JSON record and one traffic log per modem")
            ->option_text("DIR");
        cmd->add_option("file", options->input, "Settings file (.cfg), or - for standard input")
            ->required();
        cmd->add_option("--store", options->store,
                        "Store the settings in profile 0 or 1 once they are verified")
            ->check(CLI::Range(0U, 1U));
        auto* noVerify = cmd->add_flag("--no-verify", options->noVerify,
                                       "Do not read the settings back and compare them");
        // Verifying is the default; the flag stays for the scripts that name it.
        cmd->add_flag("--verify", options->verify,
                      "Read the settings back and compare (the default)")
            ->excludes(noVerify);
        cmd->add_flag("--force", options->force,
                      "Write settings even when the check finds problems in them");
        cmd->callback(
            [options, &chosen, io] { chosen = [options, io] { return runWrite(*options, io); }; });
    }
    {
        auto options = std::make_shared<SendOptions>();
        auto* cmd = app.add_subcommand("send", "Send one command and print the answer");
        addPortOptions(*cmd, options->port);
        addUnitOptions(*cmd, options->port);
        cmd->add_option("command", options->mnemonic, "Mnemonic: test, vers, ch, sing, ...")
            ->required();
        cmd->add_option("argument", options->argument, "Argument of ch, chk, sing, sink");
        cmd->add_option("--wait", options->waitMs, "Milliseconds to collect the answer");
        cmd->callback(
            [options, &chosen, io] { chosen = [options, io] { return runSend(*options, io); }; });
    }
}

}  // namespace modem::cli
