// Timer 1 and the dispatcher over a real window and its message loop.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
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

TEST(Win32Dispatcher, TasksFromOtherThreadsRunOnTheWindowsThreadInPostingOrder) {
    MessageWindow w;
    const DWORD uiThread = GetCurrentThreadId();
    std::vector<int> ran;
    bool allOnUiThread = true;
    constexpr int perThread = 50;
    std::thread first([&] {
        for (int i = 0; i < perThread; ++i) {
            w.dispatcher.post([&, i] {
                allOnUiThread = allOnUiThread && GetCurrentThreadId() == uiThread;
                ran.push_back(i);
            });
        }
    });
    first.join();
    std::thread second([&] {
        for (int i = perThread; i < 2 * perThread; ++i) {
            w.dispatcher.post([&, i] { ran.push_back(i); });
        }
    });
    second.join();
    ASSERT_TRUE(w.runUntil([&] { return ran.size() == 2 * perThread; }));
    EXPECT_TRUE(allOnUiThread);
    for (int i = 0; i < 2 * perThread; ++i) {
        EXPECT_EQ(ran[static_cast<std::size_t>(i)], i);
    }
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
