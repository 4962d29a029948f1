#pragma once

// A single-shot timer on the user-interface thread, supplied by the front end.

#include <chrono>
#include <functional>

namespace modem {

class Timer {
public:
    virtual ~Timer() = default;
    // (Re)starts the timer: any pending expiry is forgotten and `onExpired` runs
    // once, on the user-interface thread, `delay` from now.
    virtual void start(std::chrono::milliseconds delay, std::function<void()> onExpired) = 0;
    virtual void stop() = 0;
    [[nodiscard]] virtual bool isActive() const = 0;
};

}  // namespace modem
