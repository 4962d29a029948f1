// Timer 1 and the dispatcher over a real window and its message loop.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "win32/win32_platform.h"
#include "win32/windows_api.h"

namespace modem::test {
namespace {

using namespace std::chrono_literals;

// A hidden window whose procedure hands the platform messages on, as the
// dialog's does, with a message loop that runs until `done` holds.
class MessageWindow {
public:
    MessageWindow() {
        WNDCLASSW cls{};
        cls.lpfnWndProc = procedure;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.lpszClassName = L"modemPlatformTest";
        RegisterClassW(&cls);  // a second registration fails harmlessly
        m_window = CreateWindowExW(0, L"modemPlatformTest", L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                   nullptr, cls.hInstance, nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        timer.attach(m_window);
        dispatcher.attach(m_window);
    }
    ~MessageWindow() {
        dispatcher.attach(nullptr);
        DestroyWindow(m_window);
    }
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    // Runs the loop until `done` holds or `limit` passes; false on the latter.
    template <typename Done>
    bool runUntil(Done done, std::chrono::milliseconds limit = 5000ms) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            MSG msg;
            if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&msg);
            } else {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            }
        }
        return true;
    }

    Win32Timer timer;
    Win32Dispatcher dispatcher;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self != nullptr && message == WM_TIMER && wParam == Win32Timer::timerId) {
            self->timer.expired();
            return 0;
        }
        if (self != nullptr && message == dispatchMessage) {
            self->dispatcher.runPending();
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND m_window = nullptr;
};

// Two threads post at the same time while the window's thread runs the tasks.
// Each post is stamped just before and just after the call, so the order of
// two posts from different threads is known whenever one call ended before
// the other began; a task must never run before one so posted ahead of it.
// Two threads post at the same time while the window's thread runs the tasks.
// Each post is stamped just before and just after the call, so the order of
// two posts from different threads is known whenever one call ended before
// the other began: the later one's task must not run first.
TEST(Win32Dispatcher, TasksFromOtherThreadsRunOnTheWindowsThreadInPostingOrder) {
    MessageWindow w;
    const DWORD uiThread = GetCurrentThreadId();
    constexpr int perThread = 2000;
    struct Stamp {
        long long before = 0;  // from one counter shared by both threads
        long long after = 0;
    };
    // Written by each poster for its own posts, read once both have ended.
    std::vector<Stamp> stamps[2] = {std::vector<Stamp>(perThread), std::vector<Stamp>(perThread)};
    std::vector<std::pair<int, int>> ran;  // thread and index, in running order
    bool allOnUiThread = true;
    std::atomic<long long> clock{0};
    std::atomic<int> halfway{0};
    std::atomic<bool> go{false};
    const auto poster = [&](int thread) {
        while (!go.load()) {
            std::this_thread::yield();
        }
        for (int i = 0; i < perThread; ++i) {
            if (i == perThread / 2) {
                // Neither goes on before the other is halfway: their posts interleave.
                halfway.fetch_add(1);
                while (halfway.load() < 2) {
                    std::this_thread::yield();
                }
            }
            Stamp& stamp = stamps[thread][static_cast<std::size_t>(i)];
            stamp.before = clock.fetch_add(1);
            w.dispatcher.post([&, thread, i] {
                allOnUiThread = allOnUiThread && GetCurrentThreadId() == uiThread;
                ran.emplace_back(thread, i);
            });
            stamp.after = clock.fetch_add(1);
        }
    };
    std::thread first(poster, 0);
    std::thread second(poster, 1);
    go.store(true);
    // The tasks run while the posting goes on.
    const bool allRan = w.runUntil([&] { return ran.size() == 2 * perThread; }, 20000ms);
    first.join();
    second.join();
    ASSERT_TRUE(allRan) << ran.size() << " tasks ran";
    EXPECT_TRUE(allOnUiThread);

    int next[2] = {0, 0};
    long long latestBefore = -1;  // the latest start of a post whose task has run
    int changes = 0;              // of thread between neighbouring tasks
    for (std::size_t k = 0; k < ran.size(); ++k) {
        const auto [thread, index] = ran[k];
        const Stamp& stamp = stamps[thread][static_cast<std::size_t>(index)];
        SCOPED_TRACE(testing::Message() << "task " << k << ": thread " << thread << " #" << index);
        ASSERT_EQ(index, next[thread]++) << "a thread's own tasks out of order";
        // Its post ended before the post of a task that already ran began.
        ASSERT_GT(stamp.after, latestBefore) << "a task overtook one posted before it";
        latestBefore = std::max(latestBefore, stamp.before);
        changes += k > 0 && ran[k - 1].first != thread;
    }
    EXPECT_GE(changes, 2) << "the two threads' tasks never interleaved";
}

TEST(Win32Timer, FiresOnceAfterItsDelayAndARestartReplacesThePendingExpiry) {
    MessageWindow w;
    int first = 0;
    int second = 0;
    const auto started = std::chrono::steady_clock::now();
    w.timer.start(100ms, [&] { ++first; });
    EXPECT_TRUE(w.timer.isActive());
    w.timer.start(100ms, [&] { ++second; });
    ASSERT_TRUE(w.runUntil([&] { return second > 0; }));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 90ms);  // timer resolution aside
    EXPECT_FALSE(w.timer.isActive());
    // Single-shot: nothing more comes, and the replaced callback never ran.
    EXPECT_FALSE(w.runUntil([&] { return second > 1; }, 300ms));
    EXPECT_EQ(first, 0);
}

TEST(Win32Timer, AStoppedTimerDoesNotFire) {
    MessageWindow w;
    int fired = 0;
    w.timer.start(50ms, [&] { ++fired; });
    w.timer.stop();
    EXPECT_FALSE(w.timer.isActive());
    EXPECT_FALSE(w.runUntil([&] { return fired > 0; }, 300ms));
}

}  // namespace
}  // namespace modem::test
