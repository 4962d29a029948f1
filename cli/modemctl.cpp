#include <exception>
#include <iostream>
#include <new>

#include "cli/commands.h"
#include "cli/modem_read.h"
#include "version/version.h"

namespace modem::cli {

int runModemctl(int argc, const char* const* argv, Streams io) {
    CLI::App app{"modemctl: read, write and test the radio modem's settings"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("modemctl ") + versionText());
    // Usage errors in the program's one style, with the way to the help.
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        return std::string("modemctl: ") + e.what() + "\nRun with --help for more information.\n";
    });
    Action chosen;
    addOfflineCommands(app, chosen, io);
    addReportCommands(app, chosen, io);
    addGlobalLogOption(app);
    addPortsCommand(app, chosen, io);
    std::string commandLine = "modemctl";
    for (int i = 1; i < argc; ++i) {
        commandLine += std::string(" ") + argv[i];
    }
    addOnlineCommands(app, chosen, io, commandLine);
    addDiffCommand(app, chosen, io);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help and --version are parse "errors" that succeed.
        return app.exit(e, io.out, io.err) == 0 ? 0 : 2;
    }
    if (!chosen) {
        return 2;
    }
    int status = 1;
    try {
        status = chosen();
    } catch (const std::bad_alloc&) {
        io.err << "modemctl: out of memory\n";
        return 1;
    } catch (const std::exception& e) {
        // A fault of modemctl's own, never an input's: still one line, never an abort.
        io.err << "modemctl: internal error: " << e.what() << '\n';
        return 1;
    }
    if (status == interruptedStatus) {
        io.err << "modemctl: interrupted\n";
    }
    return status;
}

int runModemctl(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    return runModemctl(argc, argv, Streams{std::cin, out, err});
}

}  // namespace modem::cli
