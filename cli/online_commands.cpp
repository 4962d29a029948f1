#include "cli/commands.h"

namespace modem::cli {

void addOnlineCommands(CLI::App& /*app*/, Action& /*chosen*/, Streams /*io*/) {}

}  // namespace modem::cli
