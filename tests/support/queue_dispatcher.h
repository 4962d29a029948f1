#pragma once

// A Dispatcher whose tasks wait in a queue until the test, standing in for the
// user-interface thread, runs them. Posting is safe from any thread.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>

#include "platform/dispatcher.h"

namespace modem::test {

class QueueDispatcher : public Dispatcher {
public:
    void post(std::function<void()> task) override {
        {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
            ++m_posted;
        }
        m_cv.notify_all();
    }

    // Runs queued tasks in posting order, also those posted while running, until
    // the queue is empty. Returns how many ran.
    std::size_t runPending() {
        std::size_t ran = 0;
        for (;;) {
            std::function<void()> task;
            {
                std::lock_guard lock(m_mutex);
                if (m_tasks.empty()) {
                    return ran;
                }
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            // Outside the lock: a task may post again.
            task();
            ++ran;
        }
    }

    // Waits until a task is queued; false when none came within `timeout`.
    [[nodiscard]] bool waitForTask(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, timeout, [this] { return !m_tasks.empty(); });
    }

    [[nodiscard]] std::size_t pending() const {
        std::lock_guard lock(m_mutex);
        return m_tasks.size();
    }

    // Tasks posted since construction, run or not.
    [[nodiscard]] std::size_t posted() const {
        std::lock_guard lock(m_mutex);
        return m_posted;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::function<void()>> m_tasks;
    std::size_t m_posted = 0;
};

}  // namespace modem::test
