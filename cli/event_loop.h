#pragma once

// A small single-threaded event loop for the command line: it stands in for the
// dialog's message loop, so modemctl drives the same Link the dialog does. Tasks
// posted from any thread and expired timers run on the thread inside runUntil().

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/dispatcher.h"
#include "platform/timer.h"

namespace modem::cli {

class LoopTimer;

class EventLoop : public Dispatcher {
public:
    using Clock = std::chrono::steady_clock;

    EventLoop() = default;
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // Safe from any thread; the task runs inside a later runUntil(), in posting order.
    void post(std::function<void()> task) override;

    // Makes a waiting runUntil() test its condition again; safe from any thread.
    // A condition that another thread changes needs this (or a post) to be seen
    // before the deadline.
    void wake();

    // Runs posted tasks and expired timers until `done` holds or `deadline` has
    // passed. `done` is tested before the first wait and after every wake, task
    // and timer. Returns whether it held.
    [[nodiscard]] bool runUntil(const std::function<bool()>& done, Clock::time_point deadline);

    // Runs tasks and timers for `duration`.
    void runFor(Clock::duration duration);

    // A timer whose expiry runs inside runUntil(); it must not outlive the loop.
    [[nodiscard]] std::unique_ptr<Timer> makeTimer();

private:
    friend class LoopTimer;
    void addTimer(LoopTimer* timer);
    void removeTimer(LoopTimer* timer);
    // Runs the callbacks of every timer due at `now`; returns whether any ran.
    bool fireDueTimers(Clock::time_point now);
    [[nodiscard]] Clock::time_point nextTimerDue() const;
    // Runs the tasks queued so far; returns whether any ran.
    bool runPosted();

    std::mutex m_mutex;  // guards m_tasks and m_woken
    std::condition_variable m_cv;
    std::deque<std::function<void()>> m_tasks;
    bool m_woken = false;

    std::vector<LoopTimer*> m_timers;  // loop thread only
};

// Single-shot, restartable; used on the loop's thread only, as the dialog's timer is.
class LoopTimer : public Timer {
public:
    explicit LoopTimer(EventLoop& loop);
    ~LoopTimer() override;
    LoopTimer(const LoopTimer&) = delete;
    LoopTimer& operator=(const LoopTimer&) = delete;

    void start(std::chrono::milliseconds delay, std::function<void()> onExpired) override;
    void stop() override;
    [[nodiscard]] bool isActive() const override { return m_active; }

private:
    friend class EventLoop;
    EventLoop& m_loop;
    bool m_active = false;
    EventLoop::Clock::time_point m_due{};
    std::function<void()> m_onExpired;
};

}  // namespace modem::cli
