#include "traffic/thread_priority.h"

#include <sys/resource.h>

namespace modem {

void lowerCurrentThreadPriority() {
    // On Linux the nice value belongs to the thread, and 0 names the caller.
    (void)::setpriority(PRIO_PROCESS, 0, 10);
}

}  // namespace modem
