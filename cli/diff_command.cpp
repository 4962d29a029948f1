// "diff A B": the operator's check of a modem's settings against a file, or of
// two files, before and after writing. Each side is a ".cfg" file, a JSON file
// as export prints it, or the word "modem" for the settings the modem reports.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/modem_read.h"
#include "cli/online_work.h"
#include "cli/settings_diff.h"
#include "cli/unit_selection.h"
#include "settings/utf8_path.h"

namespace modem::cli {

namespace {

constexpr std::string_view modemWord = "modem";

// Exit statuses, as diff(1) has them: trouble is neither "equal" nor "differ".
constexpr int equalStatus = 0;
constexpr int differStatus = 1;
constexpr int troubleStatus = 2;

struct DiffOptions {
    std::string a;
    std::string b;
    PortOptions port;
    std::optional<unsigned> profile;
    CLI::Option* portOption = nullptr;
    CLI::Option* profileOption = nullptr;
};

// A JSON file is one that begins, after blanks, with "{".
bool looksLikeJson(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && text[first] == '{';
}

// By the name's extension; otherwise, and for standard input, by the content.
// A settings file that happens to begin with "{" is still read as one when it
// is named ".cfg".
bool readFileInput(const std::string& name, Mset& mset, Streams io) {
    std::string ext = pathToUtf8(pathFromUtf8(name).extension());
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".cfg") {
        return readSettingsInput(name, mset, io);
    }
    if (ext == ".json") {
        return readJsonSettingsInput(name, mset, io);
    }
    const auto content = readInput(name, io);
    if (!content) {
        return false;
    }
    return looksLikeJson(*content) ? jsonSettingsFromText(name, *content, mset, io)
                                   : settingsFromBytes(name, *content, mset, io);
}

int usageError(Streams io, std::string_view text) {
    io.err << "modemctl: diff: " << text << '\n';
    return troubleStatus;
}

// The modem side read from every unit, each compared with the file `file`.
// Standard output: a JSON array, one entry per unit with its differences (null
// when it could not be read). Exit 0 when every unit equals the file, 1 when
// any differs, 2 when any could not be read.
int runDiffBatch(const DiffOptions& options, bool modemFirst, const Mset& file, Streams io) {
    const UnitSelection selection = selectUnits(options.port, io);
    if (selection.status != 0) {
        return selection.status == 1 ? troubleStatus : selection.status;
    }
    const auto& units = selection.units;
    std::vector<std::optional<std::vector<ShownDifference>>> found(units.size());
    ProgressDisplay progress(io.err, progressMode(io), units);
    const auto outcomes = runUnits(
        units.size(), options.port.jobs,
        [&](std::size_t i, UnitSteps& steps) {
            std::istringstream in;
            std::ostringstream out;
            std::ostringstream err;
            const ModemRead read =
                readModemSettings(unitPortOptions(options.port, units[i]), options.profile, file,
                                  Streams{in, out, err}, &steps);
            if (read.interrupted) {
                return UnitOutcome{false, "interrupted", true};
            }
            if (!read.settings) {
                return UnitOutcome{false, firstFailureLine(err.str()), false};
            }
            found[i] = modemFirst ? showDifferences(*read.settings, file)
                                  : showDifferences(file, *read.settings);
            const std::size_t n = found[i]->size();
            return UnitOutcome{
                true,
                n == 0 ? "equal"
                       : "differs: " + std::to_string(n) + (n == 1 ? " field" : " fields"),
                false};
        },
        progress);
    printSummary(io.err, units, outcomes, progress);
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    bool differ = false;
    for (std::size_t i = 0; i < units.size(); ++i) {
        nlohmann::ordered_json differences = nullptr;
        if (found[i]) {
            differences = nlohmann::ordered_json::array();
            for (const ShownDifference& d : *found[i]) {
                differences.push_back({{"field", d.name}, {"a", d.a}, {"b", d.b}});
            }
            differ = differ || !found[i]->empty();
        }
        list.push_back({{"port", units[i].port},
                        {"serial", units[i].serial ? nlohmann::ordered_json(*units[i].serial)
                                                   : nlohmann::ordered_json(nullptr)},
                        {"differences", std::move(differences)}});
    }
    errno = 0;
    io.out << list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    if (!outputWritten(io)) {
        return troubleStatus;
    }
    const int unitsStatus = batchStatus(outcomes);
    if (unitsStatus == interruptedStatus) {
        return interruptedStatus;
    }
    if (unitsStatus != 0) {
        return troubleStatus;
    }
    return differ ? differStatus : equalStatus;
}

int runDiff(const DiffOptions& options, Streams io) {
    const bool aModem = options.a == modemWord;
    const bool bModem = options.b == modemWord;
    if (aModem && bModem) {
        return usageError(io, "compare the modem with a file, not with itself");
    }
    if (options.a == standardStreamName && options.b == standardStreamName) {
        return usageError(io, "standard input can be only one of the two sides");
    }
    const bool portGiven = options.portOption->count() > 0 || options.profileOption->count() > 0 ||
                           !options.port.serials.empty() || options.port.all;
    if (portGiven && !aModem && !bModem) {
        return usageError(io, "--port and --profile need the word modem as one side");
    }

    Mset a{};
    Mset b{};
    if ((!aModem && !readFileInput(options.a, a, io)) ||
        (!bModem && !readFileInput(options.b, b, io))) {
        return troubleStatus;
    }
    if ((aModem || bModem) && choosesUnits(options.port)) {
        return runDiffBatch(options, aModem, aModem ? b : a, io);
    }
    if (aModem || bModem) {
        // Copied onto the file's image: what the report does not carry
        // (RSDLY, MARK, BAND, reserved bytes) is not compared.
        const ModemRead read = readModemSettings(options.port, options.profile, aModem ? b : a, io);
        if (read.interrupted) {
            return interruptedStatus;
        }
        if (!read.settings) {
            return troubleStatus;
        }
        (aModem ? a : b) = *read.settings;
    }

    const auto differences = showDifferences(a, b);
    errno = 0;
    for (const ShownDifference& d : differences) {
        io.out << d.name << ": " << d.a << " -> " << d.b << '\n';
    }
    if (!outputWritten(io)) {
        return troubleStatus;
    }
    return differences.empty() ? equalStatus : differStatus;
}

}  // namespace

void addDiffCommand(CLI::App& app, Action& chosen, Streams io) {
    constexpr const char* sideHelp =
        "settings file, JSON file, modem, or - for standard input (one side at most)";
    auto options = std::make_shared<DiffOptions>();
    auto* cmd = app.add_subcommand(
        "diff",
        "Print each field in which two settings differ, as the form shows it. A and B are each "
        "a .cfg file, a JSON file as export prints it, or the word modem (its report; fields the "
        "report lacks are not compared). Exit 0 when equal, 1 when they differ, 2 on a usage "
        "error or an input that cannot be read");
    cmd->add_option("A", options->a, sideHelp)->required();
    cmd->add_option("B", options->b, sideHelp)->required();
    addPortOptions(*cmd, options->port);
    addUnitOptions(*cmd, options->port);
    options->portOption = cmd->get_option("--port");
    options->profileOption =
        cmd->add_option("--profile", options->profile, "Read the modem's stored profile instead")
            ->check(CLI::Range(0U, 1U));
    cmd->callback(
        [options, &chosen, io] { chosen = [options, io] { return runDiff(*options, io); }; });
}

}  // namespace modem::cli
