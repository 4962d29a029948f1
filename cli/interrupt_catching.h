#pragma once

// Between the shared half of InterruptCatcher (interrupts.cpp: the listeners and
// the flag) and each platform's half (interrupts_posix.cpp, interrupts_win32.cpp:
// catching the signals).

namespace modem::cli::detail {

// Called by the platform's half, on an ordinary thread, for each interrupt:
// sets the flag and runs every listener.
void deliverInterrupt();

// Sets the flag only; safe inside a signal handler.
void markInterrupted();

// The platform's half: begin catching when the first catcher comes, end it
// when the last one goes. Never called at the same time as each other.
void startCatching();
void stopCatching();

}  // namespace modem::cli::detail
