// The console's Ctrl+C and Ctrl+Break. The system runs the handler on a thread
// of its own, so it can tell the listeners itself.

#include <windows.h>

#include "cli/interrupt_catching.h"

namespace modem::cli::detail {

namespace {

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;  // closing the console or logging off: the system's way
    }
    deliverInterrupt();
    return TRUE;
}

}  // namespace

void startCatching() {
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void stopCatching() {
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
}

}  // namespace modem::cli::detail
