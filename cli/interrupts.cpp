#include "cli/interrupts.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "cli/interrupt_catching.h"

namespace modem::cli {

namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set inside a signal handler");

// Held while catching starts or stops (which may wait for the platform's
// thread); never while a listener runs, so that thread cannot block on it.
std::mutex g_installMutex;
std::size_t g_catchers = 0;

// Held while listeners run: a catcher that has left the list is never called again.
std::mutex g_listenerMutex;
std::vector<std::shared_ptr<std::function<void()>>> g_listeners;

}  // namespace

bool interruptRequested() {
    return g_interrupted.load();
}

InterruptCatcher::InterruptCatcher(std::function<void()> onInterrupt)
    : m_listener(std::make_shared<std::function<void()>>(std::move(onInterrupt))) {
    const std::lock_guard install(g_installMutex);
    {
        const std::lock_guard listeners(g_listenerMutex);
        g_listeners.push_back(m_listener);
    }
    if (g_catchers++ == 0) {
        detail::startCatching();
    }
}

InterruptCatcher::~InterruptCatcher() {
    const std::lock_guard install(g_installMutex);
    {
        const std::lock_guard listeners(g_listenerMutex);
        std::erase(g_listeners, m_listener);
    }
    if (--g_catchers == 0) {
        detail::stopCatching();
    }
}

namespace detail {

void markInterrupted() {
    g_interrupted.store(true);
}

void deliverInterrupt() {
    markInterrupted();
    const std::lock_guard listeners(g_listenerMutex);
    for (const auto& listener : g_listeners) {
        if (*listener) {
            (*listener)();
        }
    }
}

}  // namespace detail

}  // namespace modem::cli
