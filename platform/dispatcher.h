#pragma once

// Hands work from another thread to the user-interface thread, supplied by the
// front end (an event loop's queued call).

#include <functional>

namespace modem {

class Dispatcher {
public:
    virtual ~Dispatcher() = default;
    // Safe from any thread; never waits for the user-interface thread. `task`
    // runs later on the user-interface thread, in posting order.
    virtual void post(std::function<void()> task) = 0;
};

}  // namespace modem
