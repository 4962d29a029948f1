#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "link/discovery.h"
#include "link/link.h"
#include "link/serial_port.h"
#include "link_test_helpers.h"
#include "settings/mset.h"
#include "sim/modem_simulator.h"
#include "support/manual_timer.h"
#include "support/queue_dispatcher.h"
#include "support/recording_message_box.h"
#include "support/sim_process.h"
#include "support/sim_traffic.h"
#include "support/temp_dir.h"
#include "traffic/traffic_format.h"
#include "ui/control_table.h"
#include "ui/link_caption.h"

namespace modem {
namespace {

using namespace std::chrono_literals;
using test::receivedBySim;
using ::testing::EndsWith;

struct SimRig {
    explicit SimRig(const std::string& path) : finder(path) {}
    std::string caption() const { return form.caption(ids::connectButton); }

    TerminalPane pane;
    test::CaptionForm form;
    test::RecordingMessageBox messages;
    test::ManualTimer timer;
    test::QueueDispatcher dispatcher;
    FixedPortFinder finder;
    test::PaneWatch watcher{pane};
    Link link{{pane, messages, timer, dispatcher, finder, [] { return makeSystemSerialPort(); },
               showLinkState(form)}};
};

std::size_t count(const std::string& text, std::string_view what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

TEST(LinkWithModemSim, ReportArrivesWholeAndTheCloseWaitsForTheLastAnswers) {
    test::TempDir dir;
    test::SimProcess sim({"--baud", "0", "--log", (dir / "traffic.log").string()});
    SimRig rig(sim.path());
    rig.link.toggleConnection();
    ASSERT_EQ(rig.link.state(), LinkState::Up);
    ASSERT_TRUE(rig.watcher.waitForText("device connecting\r\nConfig mode on"));

    rig.pane.clearTerminal();
    ASSERT_EQ(rig.link.sendCommand("+view\r"), SendResult::Sent);
    TerminalPane expected;
    const std::string report = settingsReport(defaultSettings());
    expected.appendBytes({reinterpret_cast<const std::uint8_t*>(report.data()), report.size()});
    EXPECT_TRUE(
        rig.watcher.waitFor([&](const std::string& s) { return s == expected.snapshot(); }));

    rig.link.toggleConnection();
    rig.link.toggleConnection();
    // Both answers come while the link is closing, and reach the pane.
    ASSERT_TRUE(
        rig.watcher.waitFor([](const std::string& s) { return count(s, "Config mode off") == 2; }));
    EXPECT_TRUE(rig.timer.fire());
    EXPECT_EQ(rig.caption(), "Connect");
    EXPECT_THAT(rig.pane.snapshot(), EndsWith("Config mode off\r\ndevice disconnected\r\n"));
    EXPECT_EQ(sim.stop(), 0);  // its log is complete once it has ended
    EXPECT_EQ(receivedBySim(dir / "traffic.log"), "+cfge\r+view\r+cfgd\r+cfgd\r");
}

TEST(LinkWithModemSim, UnplugDuringReportTakesTheLinkDownAndReconnectWorks) {
    test::SimProcess sim({"--baud", "9600"});  // a report takes about a second
    SimRig rig(sim.path());
    rig.link.toggleConnection();
    ASSERT_TRUE(rig.watcher.waitForText("Config mode on"));
    ASSERT_EQ(rig.link.sendCommand("+view\r"), SendResult::Sent);
    ASSERT_TRUE(rig.watcher.waitForText("Ch01"));

    const std::string fresh = sim.unplug();
    ASSERT_TRUE(rig.dispatcher.waitForTask(5s));
    const double before = test::processCpuSeconds();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(test::processCpuSeconds() - before, 0.2);
    rig.dispatcher.runPending();
    EXPECT_EQ(rig.link.state(), LinkState::Down);
    EXPECT_EQ(rig.caption(), "Connect");
    EXPECT_THAT(rig.pane.snapshot(), EndsWith("device disconnected\r\n"));
    EXPECT_TRUE(rig.messages.empty()) << "no message for an unplug";

    rig.finder = FixedPortFinder(fresh);
    rig.link.toggleConnection();
    EXPECT_EQ(rig.link.state(), LinkState::Up);
    EXPECT_TRUE(rig.watcher.waitForText("device connecting\r\nConfig mode on"));
}

}  // namespace
}  // namespace modem
