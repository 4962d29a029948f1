#pragma once

// Lets a background thread give way: the traffic log's writer runs below the
// receive thread and the user interface, so that on a busy machine logging
// takes the processor time they leave over. Best effort; failure is harmless.

namespace modem {

void lowerCurrentThreadPriority();

}  // namespace modem
