#include "cli/commands.h"

namespace modem::cli {

void addOfflineCommands(CLI::App& /*app*/, Action& /*chosen*/, Streams /*io*/) {}

}  // namespace modem::cli
