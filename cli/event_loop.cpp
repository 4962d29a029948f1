#include "cli/event_loop.h"

#include <algorithm>
#include <utility>

namespace modem::cli {

void EventLoop::post(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_cv.notify_one();
}

void EventLoop::wake() {
    {
        std::lock_guard lock(m_mutex);
        m_woken = true;
    }
    m_cv.notify_one();
}

bool EventLoop::runPosted() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(m_mutex);
        batch.swap(m_tasks);
        m_woken = false;
    }
    // Outside the lock: a task may post again, or start a timer.
    for (auto& task : batch) {
        task();
    }
    return !batch.empty();
}

bool EventLoop::fireDueTimers(Clock::time_point now) {
    bool fired = false;
    // Rescan after every callback: it may stop, restart or destroy any timer.
    for (;;) {
        auto due = std::find_if(m_timers.begin(), m_timers.end(), [now](const LoopTimer* t) {
            return t->m_active && t->m_due <= now;
        });
        if (due == m_timers.end()) {
            return fired;
        }
        LoopTimer* timer = *due;
        timer->m_active = false;
        auto callback = std::move(timer->m_onExpired);
        timer->m_onExpired = nullptr;
        fired = true;
        if (callback) {
            callback();
        }
    }
}

EventLoop::Clock::time_point EventLoop::nextTimerDue() const {
    auto next = Clock::time_point::max();
    for (const LoopTimer* t : m_timers) {
        if (t->m_active) {
            next = std::min(next, t->m_due);
        }
    }
    return next;
}

bool EventLoop::runUntil(const std::function<bool()>& done, Clock::time_point deadline) {
    for (;;) {
        runPosted();
        fireDueTimers(Clock::now());
        if (done()) {
            return true;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        const auto until = std::min(deadline, nextTimerDue());
        std::unique_lock lock(m_mutex);
        const auto ready = [this] { return m_woken || !m_tasks.empty(); };
        if (until == Clock::time_point::max()) {
            // A deadline at the clock's end would overflow the wait's arithmetic.
            m_cv.wait(lock, ready);
        } else {
            m_cv.wait_until(lock, until, ready);
        }
        m_woken = false;
    }
}

void EventLoop::runFor(Clock::duration duration) {
    (void)runUntil([] { return false; }, Clock::now() + duration);
}

std::unique_ptr<Timer> EventLoop::makeTimer() {
    return std::make_unique<LoopTimer>(*this);
}

void EventLoop::addTimer(LoopTimer* timer) {
    m_timers.push_back(timer);
}

void EventLoop::removeTimer(LoopTimer* timer) {
    std::erase(m_timers, timer);
}

LoopTimer::LoopTimer(EventLoop& loop) : m_loop(loop) {
    m_loop.addTimer(this);
}

LoopTimer::~LoopTimer() {
    m_loop.removeTimer(this);
}

void LoopTimer::start(std::chrono::milliseconds delay, std::function<void()> onExpired) {
    m_due = EventLoop::Clock::now() + delay;
    m_onExpired = std::move(onExpired);
    m_active = true;
}

void LoopTimer::stop() {
    m_active = false;
    m_onExpired = nullptr;
}

}  // namespace modem::cli
