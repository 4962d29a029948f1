// The order in which the link opens, closes and reports, checked with a port
// that notices being closed under the receive thread and a form that notes
// what the pane held whenever its caption changed.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "probe_rig.h"

namespace modem {
namespace {

using namespace std::chrono_literals;
using test::ProbeRig;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

TEST(LinkLifecycle, ThePortIsClosedOnlyAfterTheReceiveThreadHasStopped) {
    struct Case {
        const char* name;
        void (*end)(ProbeRig&);
    };
    const Case cases[] = {
        {"Disconnect and its timer",
         [](ProbeRig& r) {
             r.link->toggleConnection();
             ASSERT_TRUE(r.timer.fire());
         }},
        {"shutdown", [](ProbeRig& r) { r.link->shutdown(); }},
        {"destruction", [](ProbeRig& r) { r.link.reset(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeRig rig;
        rig.connect();
        c.end(rig);
        std::lock_guard lock(rig.probe->mutex);
        EXPECT_FALSE(rig.probe->open);
        EXPECT_FALSE(rig.probe->closedUnderACall);
    }
}

TEST(LinkLifecycle, TheCaptionChangesBeforeTheStatusLineOnBothEnds) {
    struct Case {
        const char* name;
        void (*end)(ProbeRig&);
    };
    const Case cases[] = {
        {"Disconnect and its timer",
         [](ProbeRig& r) {
             r.link->toggleConnection();
             ASSERT_TRUE(r.timer.fire());
         }},
        {"hang-up",
         [](ProbeRig& r) {
             r.probe->hangUp();
             ASSERT_TRUE(r.dispatcher.waitForTask(5s));
             r.dispatcher.runPending();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeRig rig;
        rig.connect();
        rig.probe->deliver("OK\r");
        c.end(rig);
        ASSERT_EQ(rig.link->state(), LinkState::Down);

        const auto& changes = rig.form.changes;
        ASSERT_GE(changes.size(), 2u);
        EXPECT_EQ(changes.front().caption, "Disconnect");
        EXPECT_THAT(changes.front().paneThen, EndsWith("device found on /dev/probe\r\n"))
            << "\"Disconnect\" comes before \"device connecting\"";
        EXPECT_EQ(changes.back().caption, "Connect");
        EXPECT_THAT(changes.back().paneThen, Not(HasSubstr("device disconnected")))
            << "\"Connect\" comes before \"device disconnected\"";
        EXPECT_THAT(rig.pane.snapshot(), EndsWith("device disconnected\r\n"));
        EXPECT_EQ(rig.caption(), "Connect");
    }
}

}  // namespace
}  // namespace modem
