#include <exception>

#include "cli/commands.h"
#include "cli/modem_read.h"
#include "version/version.h"

namespace modem::cli {

int runModemctl(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"modemctl: read, write and test the radio modem's settings"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("modemctl ") + versionText());
    Action chosen;
    const Streams io{out, err};
    addOfflineCommands(app, chosen, io);
    addReportCommands(app, chosen, io);
    addGlobalLogOption(app);
    addPortsCommand(app, chosen, io);
    addOnlineCommands(app, chosen, io);
    addDiffCommand(app, chosen, io);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help and --version are parse "errors" that succeed.
        return app.exit(e, out, err) == 0 ? 0 : 2;
    }
    if (!chosen) {
        return 2;
    }
    try {
        return chosen();
    } catch (const std::exception& e) {
        // A subcommand that throws still fails with one line, never an abort.
        err << "modemctl: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace modem::cli
