#include "cli/commands.h"

namespace modem::cli {

int runModemctl(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"modemctl: read, write and test the radio modem's settings"};
    app.require_subcommand(1);
    Action chosen;
    const Streams io{out, err};
    addOfflineCommands(app, chosen, io);
    addReportCommands(app, chosen, io);
    addOnlineCommands(app, chosen, io);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err) == 0 ? 0 : 2;
    }
    return chosen ? chosen() : 2;
}

}  // namespace modem::cli
