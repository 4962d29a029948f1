#include "version/version.h"

// The only file that includes the generated header, so that a new commit
// recompiles this file and relinks the programs, nothing more.
#include "version_info.h"

namespace modem {

const char* versionText() {
    return MODEM_VERSION_TEXT;
}

}  // namespace modem
