#include <cerrno>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "link/terminal_pane.h"
#include "protocol/report_parser.h"
#include "settings/utf8_path.h"
#include "sim/modem_simulator.h"

namespace modem::cli {

namespace {

struct ParseArgs {
    std::string input;
    bool raw = false;
    std::optional<std::string> base;
    std::optional<std::string> output;
};

int runParseReport(const ParseArgs& args, Streams io) {
    const auto input = readInput(args.input, io);
    if (!input) {
        return 1;
    }
    std::string paneText = *input;
    if (args.raw) {
        // Bytes as the modem sent them: the pane decides where they stand.
        TerminalPane pane;
        pane.appendBytes(
            std::span(reinterpret_cast<const std::uint8_t*>(input->data()), input->size()));
        paneText = pane.snapshot();
    }
    Mset mset = defaultSettings();
    if (args.base && !readSettingsInput(*args.base, mset, io)) {
        return 1;
    }
    // The test `read` applies to what the modem sent: a report cut short or
    // garbled would give zeros and shifted values, so nothing is copied from it.
    const std::string_view report = findReport(paneText);
    if (const ReportState state = examineReport(report); state != ReportState::Complete) {
        io.err << "modemctl: " << (args.input == "-" ? "standard input" : args.input) << ": "
               << reportProblem(state) << "; nothing copied\n";
        return 1;
    }
    (void)parseReport(report, mset);
    return writeSettingsOutput(mset, args.output, io);
}

int runReport(const std::string& input, Streams io) {
    Mset mset;
    if (!readSettingsInput(input, mset, io)) {
        return 1;
    }
    errno = 0;
    io.out << settingsReport(mset);
    return outputWritten(io) ? 0 : 1;
}

}  // namespace

void addReportCommands(CLI::App& app, Action& chosen, Streams io) {
    {
        auto args = std::make_shared<ParseArgs>();
        auto* sub = app.add_subcommand(
            "parse-report",
            "Copy a settings report out of a pane's text, as \"Скопир.\" does; print the "
            "settings as JSON, or write them with -o");
        sub->add_option("file", args->input, "pane text, or - for standard input")->required();
        sub->add_flag("--raw", args->raw,
                      "the file holds the bytes as received; run them through a pane first");
        sub->add_option("--base", args->base, "settings file the report is copied onto")
            ->check(existingFile());
        sub->add_option("-o,--output", args->output,
                        "settings file to write, or - for standard output");
        sub->callback(
            [args, &chosen, io] { chosen = [args, io] { return runParseReport(*args, io); }; });
    }
    {
        auto input = std::make_shared<std::string>();
        auto* sub = app.add_subcommand(
            "report",
            "Print the bytes the simulated modem sends for \"+view\" with a settings file");
        sub->add_option("file", *input, "settings file (.cfg), or - for standard input")
            ->required();
        sub->callback(
            [input, &chosen, io] { chosen = [input, io] { return runReport(*input, io); }; });
    }
}

}  // namespace modem::cli
