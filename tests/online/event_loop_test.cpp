#include "cli/event_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace modem::cli {
namespace {

using namespace std::chrono_literals;

TEST(EventLoop, PostedTasksRunOnTheLoopThreadInOrder) {
    EventLoop loop;
    std::vector<int> order;
    std::vector<std::thread::id> threads;
    std::thread poster([&] {
        for (int i = 0; i < 50; ++i) {
            loop.post([&order, &threads, i] {
                order.push_back(i);
                threads.push_back(std::this_thread::get_id());
            });
        }
    });
    const bool done =
        loop.runUntil([&] { return order.size() == 50; }, EventLoop::Clock::now() + 10s);
    poster.join();
    ASSERT_TRUE(done);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
        EXPECT_EQ(threads[static_cast<std::size_t>(i)], std::this_thread::get_id());
    }
}

TEST(EventLoop, WakeLetsTheConditionBeSeenBeforeTheDeadline) {
    EventLoop loop;
    std::atomic<bool> flag{false};
    std::thread setter([&] {
        flag = true;
        loop.wake();
    });
    // No deadline: a missed wake leaves the loop asleep and the test hangs.
    const bool done =
        loop.runUntil([&] { return flag.load(); }, EventLoop::Clock::time_point::max());
    setter.join();
    EXPECT_TRUE(done);
}

TEST(EventLoop, ReturnsFalseAtTheDeadlineWhenTheConditionNeverHolds) {
    EventLoop loop;
    int tested = 0;
    EXPECT_FALSE(loop.runUntil(
        [&] {
            ++tested;
            return false;
        },
        EventLoop::Clock::now() + 5ms));
    EXPECT_GE(tested, 1);
}

TEST(EventLoop, TimerFiresOnceAndARestartForgetsTheEarlierExpiry) {
    EventLoop loop;
    auto timer = loop.makeTimer();
    std::vector<int> fired;
    timer->start(1ms, [&] { fired.push_back(1); });
    timer->start(2ms, [&] { fired.push_back(2); });
    EXPECT_TRUE(timer->isActive());
    ASSERT_TRUE(loop.runUntil([&] { return !fired.empty(); }, EventLoop::Clock::now() + 10s));
    // The forgotten expiry was due first, so it would have run first.
    EXPECT_EQ(fired, std::vector<int>{2});
    EXPECT_FALSE(timer->isActive());
}

TEST(EventLoop, StoppedTimerNeverFires) {
    EventLoop loop;
    auto timer = loop.makeTimer();
    auto later = loop.makeTimer();
    bool fired = false;
    bool laterFired = false;
    timer->start(1ms, [&] { fired = true; });
    later->start(2ms, [&] { laterFired = true; });
    timer->stop();
    EXPECT_FALSE(timer->isActive());
    ASSERT_TRUE(loop.runUntil([&] { return laterFired; }, EventLoop::Clock::now() + 10s));
    EXPECT_FALSE(fired);
}

TEST(EventLoop, TimerCallbackMayRestartItsTimerAndDestroyAnother) {
    EventLoop loop;
    auto first = loop.makeTimer();
    auto second = loop.makeTimer();
    int firstRuns = 0;
    first->start(0ms, [&] {
        ++firstRuns;
        second.reset();
        if (firstRuns < 3) {
            first->start(0ms, [&] { ++firstRuns; });
        }
    });
    second->start(0ms, [] { FAIL() << "destroyed timer fired"; });
    ASSERT_TRUE(loop.runUntil([&] { return firstRuns == 2; }, EventLoop::Clock::now() + 10s));
    EXPECT_FALSE(first->isActive());
}

}  // namespace
}  // namespace modem::cli
