// "diff A B": the operator's check of a modem's settings against a file, or of
// two files, before and after writing. Each side is a ".cfg" file, a JSON file
// as export prints it, or the word "modem" for the settings the modem reports.

#include <algorithm>
#include <cctype>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/modem_read.h"
#include "cli/settings_diff.h"
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

enum class FileKind { Settings, Json };

// By the name's extension; otherwise a JSON file is one that begins, after
// blanks, with "{". A settings file that happens to begin with that byte is
// still read as one when it is named ".cfg".
FileKind kindOf(const std::string& name) {
    const std::filesystem::path path = pathFromUtf8(name);
    std::string ext = pathToUtf8(path.extension());
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".cfg") {
        return FileKind::Settings;
    }
    if (ext == ".json") {
        return FileKind::Json;
    }
    std::ifstream in(path, std::ios::binary);
    char c = 0;
    while (in.get(c) && std::isspace(static_cast<unsigned char>(c))) {
    }
    return in && c == '{' ? FileKind::Json : FileKind::Settings;
}

bool readFileInput(const std::string& name, Mset& mset, Streams io) {
    if (kindOf(name) == FileKind::Json) {
        return readJsonSettingsInput(name, mset, io);
    }
    return readSettingsInput(name, mset, io);
}

int usageError(Streams io, std::string_view text) {
    io.err << "modemctl: diff: " << text << '\n';
    return troubleStatus;
}

int runDiff(const DiffOptions& options, Streams io) {
    const bool aModem = options.a == modemWord;
    const bool bModem = options.b == modemWord;
    if (aModem && bModem) {
        return usageError(io, "compare the modem with a file, not with itself");
    }
    const bool portGiven = options.portOption->count() > 0 || options.profileOption->count() > 0;
    if (portGiven && !aModem && !bModem) {
        return usageError(io, "--port and --profile need the word modem as one side");
    }

    Mset a{};
    Mset b{};
    if ((!aModem && !readFileInput(options.a, a, io)) ||
        (!bModem && !readFileInput(options.b, b, io))) {
        return troubleStatus;
    }
    if (aModem || bModem) {
        // Copied onto the file's image: what the report does not carry
        // (RSDLY, MARK, BAND, reserved bytes) is not compared.
        const ModemRead read = readModemSettings(options.port, options.profile, aModem ? b : a, io);
        if (!read.settings) {
            return troubleStatus;
        }
        (aModem ? a : b) = *read.settings;
    }

    const auto differences = showDifferences(a, b);
    for (const ShownDifference& d : differences) {
        io.out << d.name << ": " << d.a << " -> " << d.b << '\n';
    }
    io.out.flush();
    if (!io.out) {
        return troubleStatus;
    }
    return differences.empty() ? equalStatus : differStatus;
}

}  // namespace

void addDiffCommand(CLI::App& app, Action& chosen, Streams io) {
    auto options = std::make_shared<DiffOptions>();
    auto* cmd = app.add_subcommand(
        "diff",
        "Print each field in which two settings differ, as the form shows it. A and B are each "
        "a .cfg file, a JSON file as export prints it, or the word modem (its report; fields the "
        "report lacks are not compared). Exit 0 when equal, 1 when they differ, 2 on a usage "
        "error or an input that cannot be read");
    cmd->add_option("A", options->a, "settings file, JSON file, or modem")->required();
    cmd->add_option("B", options->b, "settings file, JSON file, or modem")->required();
    addPortOptions(*cmd, options->port);
    options->portOption = cmd->get_option("--port");
    options->profileOption =
        cmd->add_option("--profile", options->profile, "Read the modem's stored profile instead")
            ->check(CLI::Range(0U, 1U));
    cmd->callback(
        [options, &chosen, io] { chosen = [options, io] { return runDiff(*options, io); }; });
}

}  // namespace modem::cli
