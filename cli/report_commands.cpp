#include "cli/commands.h"

namespace modem::cli {

void addReportCommands(CLI::App& /*app*/, Action& /*chosen*/, Streams /*io*/) {}

}  // namespace modem::cli
