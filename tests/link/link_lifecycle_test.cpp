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

// A failed send shows its message; the modem unplugged while it is open is
// handled inside the message's loop. Whatever the press went on to do after
// the send, the link is down and the button says so.
TEST(LinkLifecycle, AnUnplugWhileAFailedSendsMessageIsOpenLeavesTheLinkDown) {
    struct Case {
        const char* name;
        bool upFirst;
        void (*press)(ProbeRig&);
    };
    const Case cases[] = {
        {"Disconnect", true, [](ProbeRig& r) { r.link->toggleConnection(); }},
        {"Connect", false, [](ProbeRig& r) { r.link->toggleConnection(); }},
        {"a test command", true, [](ProbeRig& r) { (void)r.link->sendCommand("+test\r"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeRig rig;
        if (c.upFirst) {
            rig.connect();
        }
        rig.probe->failWrites = true;
        rig.messages.whileShown = [&rig] {
            rig.probe->hangUp();
            ASSERT_TRUE(rig.dispatcher.waitForTask(5s));
            rig.dispatcher.runPending();
        };
        c.press(rig);

        ASSERT_EQ(rig.messages.shown().size(), 1u);
        EXPECT_EQ(rig.messages.shown()[0].text, "Could not write to device");
        EXPECT_EQ(rig.link->state(), LinkState::Down);
        EXPECT_EQ(rig.caption(), "Connect");
        EXPECT_FALSE(rig.timer.isActive());
        EXPECT_THAT(rig.pane.snapshot(), EndsWith("device disconnected\r\n"));

        // Plugged in again, the next press connects.
        rig.messages.whileShown = nullptr;
        {
            std::lock_guard lock(rig.probe->mutex);
            rig.probe->failWrites = false;
            rig.probe->hungUp = false;
        }
        rig.connect();
        EXPECT_EQ(rig.caption(), "Disconnect");
    }
}

}  // namespace
}  // namespace modem
