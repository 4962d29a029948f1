#include "cli/standard_streams.h"

namespace modem::cli {

// Streams carry bytes as they are, and terminals take UTF-8.
struct StandardStreams::Consoles {};

StandardStreams::StandardStreams() = default;
StandardStreams::~StandardStreams() = default;

}  // namespace modem::cli
