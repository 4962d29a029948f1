#include <cerrno>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/mset_json.h"
#include "ui/control_table.h"
#include "ui/form_init.h"
#include "ui/form_model.h"
#include "ui/transfers.h"

namespace modem::cli {

namespace {

// Option values must outlive parsing: the action runs after it, so each
// subcommand keeps its arguments in storage its action shares.
struct Args {
    std::string input;
    std::string output;
    CLI::Option* outputOption = nullptr;

    [[nodiscard]] std::optional<std::string> outPath() const {
        if (outputOption == nullptr || outputOption->count() == 0) {
            return std::nullopt;
        }
        return output;
    }
};

int runDefaults(const Args& args, Streams io) {
    return writeSettingsOutput(defaultSettings(), args.outPath(), io);
}

int runExport(const Args& args, Streams io) {
    Mset mset;
    if (!readSettingsInput(args.input, mset, io)) {
        return 1;
    }
    return writeSettingsOutput(mset, std::nullopt, io);
}

int runImport(const Args& args, Streams io) {
    Mset mset;
    if (!readJsonSettingsInput(args.input, mset, io)) {
        return 1;
    }
    return writeSettingsOutput(mset, args.outPath(), io);
}

// What the dialog holds after opening and then showing `mset`.
FormModel formShowing(const Mset& mset) {
    FormModel form;
    Mset opening;
    initialiseForm(form, opening);
    settingsToForm(mset, form);
    return form;
}

// What "check" on a freshly loaded file amounts to in the dialog: show it,
// then read the form back with all its normalisation.
int runCheck(const Args& args, Streams io) {
    Mset mset;
    if (!readSettingsInput(args.input, mset, io)) {
        return 1;
    }
    const FormModel form = formShowing(mset);
    formToSettings(form, mset);
    return writeSettingsOutput(mset, args.outPath(), io);
}

int runChannels(const Args& args, Streams io) {
    Mset mset;
    if (!readSettingsInput(args.input, mset, io)) {
        return 1;
    }
    const FormModel form = formShowing(mset);
    errno = 0;
    io.out << forTerminal(form.text(ids::channelTable)) << '\n'
           << "odd path: " << forTerminal(form.text(ids::oddPathField)) << '\n'
           << "even path: " << forTerminal(form.text(ids::evenPathField)) << '\n';
    return outputWritten(io) ? 0 : 1;
}

constexpr const char* settingsInputHelp = "settings file (.cfg), or - for standard input";
constexpr const char* outputHelp = "settings file to write, or - for standard output";

void onChosen(CLI::App* sub, Action& chosen, std::function<int()> action) {
    sub->callback([&chosen, action = std::move(action)] { chosen = action; });
}

}  // namespace

void addOfflineCommands(CLI::App& app, Action& chosen, Streams io) {
    {
        auto args = std::make_shared<Args>();
        auto* sub = app.add_subcommand("defaults",
                                       "Print the default settings as JSON, or write "
                                       "them as a settings file with -o");
        args->outputOption = sub->add_option("-o,--output", args->output, outputHelp);
        onChosen(sub, chosen, [args, io] { return runDefaults(*args, io); });
    }
    {
        auto args = std::make_shared<Args>();
        auto* sub = app.add_subcommand("export", "Print a settings file as JSON");
        sub->add_option("file", args->input, settingsInputHelp)->required();
        onChosen(sub, chosen, [args, io] { return runExport(*args, io); });
    }
    {
        auto args = std::make_shared<Args>();
        auto* sub =
            app.add_subcommand("import", "Write a settings file from JSON as export prints it");
        sub->add_option("file", args->input, "JSON file, or - for standard input")->required();
        args->outputOption = sub->add_option("-o,--output", args->output, outputHelp)->required();
        onChosen(sub, chosen, [args, io] { return runImport(*args, io); });
    }
    {
        auto args = std::make_shared<Args>();
        auto* sub = app.add_subcommand(
            "check",
            "Show a settings file in the form and read it back, as the dialog would; "
            "print the result as JSON, or write it with -o");
        sub->add_option("file", args->input, settingsInputHelp)->required();
        args->outputOption = sub->add_option("-o,--output", args->output, outputHelp);
        onChosen(sub, chosen, [args, io] { return runCheck(*args, io); });
    }
    {
        auto args = std::make_shared<Args>();
        auto* sub = app.add_subcommand(
            "channels", "Print the channel table and the two path lists as the form shows them");
        sub->add_option("file", args->input, settingsInputHelp)->required();
        onChosen(sub, chosen, [args, io] { return runChannels(*args, io); });
    }
}

}  // namespace modem::cli
