// The order in which the link opens, closes and reports, checked with a port
// that notices being closed under the receive thread and a form that notes
// what the pane held whenever its caption changed.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "probe_rig.h"
#include "support/pane_watch.h"
#include "support/temp_dir.h"
#include "traffic/traffic_format.h"
#include "traffic/traffic_log.h"

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

// A listener may ask the link for its state while it is told of a change, as
// a front end that redraws everything from state() does.
TEST(LinkLifecycle, AStateListenerSeesTheStateItIsTold) {
    ProbeRig rig;
    std::vector<std::pair<LinkState, LinkState>> told;  // told, state() then
    rig.makeLink([&](LinkState now) { told.emplace_back(now, rig.link->state()); });

    rig.connect();
    rig.link->toggleConnection();
    rig.link->toggleConnection();  // a second press while closing changes nothing
    ASSERT_TRUE(rig.timer.fire());
    rig.connect();
    rig.probe->hangUp();
    ASSERT_TRUE(rig.dispatcher.waitForTask(5s));
    rig.dispatcher.runPending();

    using S = LinkState;
    using Told = std::pair<S, S>;
    EXPECT_THAT(told, ::testing::ElementsAre(Told{S::Up, S::Up}, Told{S::Closing, S::Closing},
                                             Told{S::Down, S::Down}, Told{S::Up, S::Up},
                                             Told{S::Down, S::Down}));
}

std::vector<std::string> entriesOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> entries;
    for (std::string line; std::getline(in, line);) {
        const auto entry = parseTrafficEntry(line);
        EXPECT_TRUE(entry) << line;
        if (entry) {
            const char mark = entry->direction == TrafficDirection::ToModem     ? '>'
                              : entry->direction == TrafficDirection::FromModem ? '<'
                                                                                : '#';
            entries.push_back(mark + std::string(" ") +
                              std::string(entry->bytes.begin(), entry->bytes.end()));
        }
    }
    return entries;
}

// What the log says of each write: the command before the answer that came
// while it went out, and of a write cut short the bytes that went, then why.
TEST(LinkTraffic, EachWriteComesBeforeItsAnswerAndAShortWriteBeforeItsFailure) {
    test::TempDir dir;
    const auto path = dir / "traffic.log";
    OpenedTrafficLog opened = TrafficLog::open(path);
    ASSERT_TRUE(opened.log) << opened.error;
    ProbeRig rig;
    rig.makeLink({}, opened.log.get());
    test::PaneWatch watch(rig.pane);
    rig.probe->duringWrite = [&] {
        rig.probe->deliver("Config mode on\r");
        ASSERT_TRUE(watch.waitForText("Config mode on"));
    };
    rig.connect();
    {
        std::lock_guard lock(rig.probe->mutex);
        rig.probe->duringWrite = nullptr;
        rig.probe->writeAccepts = 3;
    }
    EXPECT_EQ(rig.link->sendCommand("+view\r"), SendResult::Failed);
    EXPECT_EQ(rig.messages.shown().size(), 1u);
    rig.link.reset();
    opened.log.reset();

    EXPECT_THAT(entriesOf(path),
                ::testing::ElementsAre("# device found on /dev/probe", "# device connecting",
                                       "> +cfge\r", "< Config mode on\r", "> +vi",
                                       "# write failed after 3 of 6 bytes: device gone"));
}

}  // namespace
}  // namespace modem
