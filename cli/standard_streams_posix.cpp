#include <signal.h>
#include <unistd.h>

#include "cli/standard_streams.h"

namespace modem::cli {

// Streams carry bytes as they are, and terminals take UTF-8.
struct StandardStreams::Consoles {};

// A reader that goes away (`modemctl export a.cfg | head -1`) must not end
// the process silently: the write fails with EPIPE instead, and the output
// check reports it.
StandardStreams::StandardStreams() {
    ::signal(SIGPIPE, SIG_IGN);
}

StandardStreams::~StandardStreams() = default;

bool standardErrorRedraws() {
    return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace modem::cli
