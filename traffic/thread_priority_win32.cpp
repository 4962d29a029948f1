#include "traffic/thread_priority.h"

#include <windows.h>

namespace modem {

void lowerCurrentThreadPriority() {
    (void)::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

}  // namespace modem
