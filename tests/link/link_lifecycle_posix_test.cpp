// A receive thread that cannot be started, by thread creation made to fail.

#include <dlfcn.h>
#include <pthread.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>

#include "link_test_helpers.h"
#include "probe_rig.h"

namespace {

// Thread creation fails while this is above zero, one failure per count.
std::atomic<int> threadStartsToFail{0};

}  // namespace

// Stands in front of the system's pthread_create, which std::thread uses.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*body)(void*),
                              void* arg) noexcept {
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto real = reinterpret_cast<Create>(::dlsym(RTLD_NEXT, "pthread_create"));
    for (int n = threadStartsToFail.load(); n > 0;) {
        if (threadStartsToFail.compare_exchange_weak(n, n - 1)) {
            return EAGAIN;
        }
    }
    return real(thread, attr, body, arg);
}

namespace modem {
namespace {

using test::ProbeRig;
using ::testing::EndsWith;
using ::testing::HasSubstr;

TEST(LinkLifecycle, AReceiveThreadThatCannotStartLeavesTheLinkUpWithoutACrash) {
    ProbeRig rig;
    threadStartsToFail = 1;
    rig.link->toggleConnection();
    threadStartsToFail = 0;
    EXPECT_EQ(rig.link->state(), LinkState::Up);
    EXPECT_EQ(rig.caption(), "Disconnect");
    EXPECT_THAT(rig.pane.snapshot(), EndsWith("device connecting\r\n"));
    EXPECT_THAT(rig.link->lastError(), HasSubstr("receive thread"));
    EXPECT_TRUE(rig.messages.shown().empty());

    // Disconnecting still closes the port, and the next connect receives again.
    rig.link->toggleConnection();
    ASSERT_TRUE(rig.timer.fire());
    EXPECT_EQ(rig.link->state(), LinkState::Down);
    EXPECT_EQ(rig.caption(), "Connect");
    {
        std::lock_guard lock(rig.probe->mutex);
        EXPECT_FALSE(rig.probe->open);
        EXPECT_EQ(rig.probe->written, "+cfge\r+cfgd\r");
    }
    test::PaneWatch watch(rig.pane);
    rig.connect();
    rig.probe->deliver("OK\r");
    EXPECT_TRUE(watch.waitForText("OK\r\n"));
}

}  // namespace
}  // namespace modem
