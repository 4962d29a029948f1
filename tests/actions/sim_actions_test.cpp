// The buttons against modem-sim over a pseudo-terminal, as an operator would
// press them in the dialog.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "link/discovery.h"
#include "link/link.h"
#include "link/serial_port.h"
#include "protocol/report_parser.h"
#include "sim/modem_simulator.h"
#include "support/manual_timer.h"
#include "support/pane_watch.h"
#include "support/queue_dispatcher.h"
#include "support/recording_message_box.h"
#include "support/scripted_file_chooser.h"
#include "support/sim_process.h"
#include "support/sim_traffic.h"
#include "support/temp_dir.h"
#include "traffic/traffic_format.h"
#include "ui/button_actions.h"
#include "ui/control_table.h"
#include "ui/form_init.h"
#include "ui/form_model.h"
#include "ui/link_caption.h"
#include "ui/transfers.h"

namespace modem::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

class SimActions : public ::testing::Test {
protected:
    TempDir m_dir;
    SimProcess m_sim{{"--baud", "0", "--log", (m_dir / "traffic.log").string()}};
    FormModel m_form;
    Mset m_mset{};
    TerminalPane m_pane;
    PaneWatch m_watch{m_pane};
    ManualTimer m_timer;
    QueueDispatcher m_dispatcher;
    RecordingMessageBox m_messages;
    ScriptedFileChooser m_files;
    FixedPortFinder m_finder{m_sim.path()};
    Link m_link{LinkContext{
        .pane = m_pane,
        .messages = m_messages,
        .timer = m_timer,
        .dispatcher = m_dispatcher,
        .finder = m_finder,
        .makePort = [] { return makeSystemSerialPort(); },
        .stateChanged = showLinkState(m_form),
    }};
    ActionContext m_ctx{m_mset, m_form, m_pane, m_link, m_files, m_messages};

    void SetUp() override {
        initialiseForm(m_form, m_mset);
        press(ids::connectButton);
        ASSERT_EQ(m_link.state(), LinkState::Up) << m_link.lastError();
        ASSERT_TRUE(m_watch.waitForText("Config mode on\r\n"));
    }

    void press(int id) { dispatchCommand(m_ctx, id); }

    void readAndCopy(int readButton) {
        press(readButton);
        ASSERT_TRUE(m_watch.waitFor(reportComplete));
        press(ids::copyReportButton);
    }

    // The report carries everything but these; compare the rest.
    static Mset reportPart(Mset m) {
        m.RSDLY = 0;
        m.BAND = 0;
        m.MARK = 0;
        m.reserved = {};
        return m;
    }
};

TEST_F(SimActions, ConnectShowsThePortAndTheModemEntersConfigurationMode) {
    EXPECT_THAT(m_pane.snapshot(),
                StartsWith("device found on " + m_sim.path() + "\r\ndevice connecting\r\n"));
    EXPECT_EQ(m_form.caption(ids::connectButton), "Disconnect");
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(SimActions, ConfigureThenReadAndCopyBringsTheWrittenSettingsBack) {
    ASSERT_TRUE(m_form.setText(ids::wtField, "400"));
    ASSERT_TRUE(m_form.setText(ids::repField, "3"));
    ASSERT_TRUE(m_form.setText(ids::rsdlyField, "300"));  // beyond its byte: asked about
    m_form.setSelection(ids::vp1List, 3);
    m_messages.willAnswer(Answer::Yes);
    press(ids::writeSettingsButton);
    ASSERT_EQ(m_messages.asked().size(), 1U);
    ASSERT_TRUE(m_watch.waitForText("Settings written"));
    const Mset written = m_mset;
    EXPECT_EQ(written.WT, 400);
    EXPECT_EQ(written.RSDLY, 44);

    // The modem got exactly "+cfwr\r" and the image, the normalised RSDLY in it.
    const MsetImage image = toImage(written);
    EXPECT_THAT(receivedBySim(m_dir / "traffic.log"),
                HasSubstr("+cfwr\r" + std::string(image.begin(), image.end())));

    // Forget it locally, then read it back from the modem.
    m_mset = defaultSettings();
    settingsToForm(m_mset, m_form);
    readAndCopy(ids::readSettingsButton);
    EXPECT_EQ(reportPart(m_mset), reportPart(written));
    EXPECT_EQ(m_form.text(ids::wtField), "400");
    EXPECT_EQ(m_form.selection(ids::vp1List), 3);
    EXPECT_TRUE(m_messages.shown().empty());
}

TEST_F(SimActions, StoredProfileReadsBackAfterTheCurrentSettingsChanged) {
    ASSERT_TRUE(m_form.setText(ids::wtField, "400"));
    press(ids::writeSettingsButton);
    ASSERT_TRUE(m_watch.waitForText("Settings written"));
    m_form.setSelection(ids::profileList, 1);
    press(ids::storeProfileButton);
    ASSERT_TRUE(m_watch.waitForText("Saved to profile 1"));

    ASSERT_TRUE(m_form.setText(ids::wtField, "500"));
    press(ids::writeSettingsButton);
    ASSERT_TRUE(m_watch.waitFor([](std::string_view p) {
        return p.find("Settings written") != p.rfind("Settings written");
    }));

    readAndCopy(ids::readProfileButton);
    EXPECT_EQ(m_mset.WT, 400);
    EXPECT_EQ(m_form.text(ids::wtField), "400");

    readAndCopy(ids::readSettingsButton);
    EXPECT_EQ(m_mset.WT, 500);
}

TEST_F(SimActions, TestButtonsBytesReachTheModemExactly) {
    m_form.setSelection(ids::vhfTestChannelList, 4);
    ASSERT_TRUE(m_form.setText(ids::mfToneField, "50"));
    for (const int id : {4015, 4028, 4055, 4020, 4027, 4054, 4022, 4026, 4016, 4098, 4097, 4014,
                         4092, 4093, 4089, 4091, 4071, 4100, 4099}) {
        press(id);
    }
    // The last command's answer: everything before it has been read by then.
    ASSERT_TRUE(m_watch.waitForText("MF power reduced"));
    EXPECT_EQ(receivedBySim(m_dir / "traffic.log"),
              "+cfge\r"
              "+test\r+vers\r+pwrt\r"
              "+ch05\r+txmd\r+vswr\r+sing1000\r+rxmd\r+rssi\r+t1ph\r+t1pl\r"
              "+chk1\r+txmk\r+vswk\r+sink0050\r+rxmk\r+rssk\r+t2ph\r+t2pl\r");
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(SimActions, DisconnectSendsCfgdAndClosesWhenTheTimerFires) {
    press(ids::connectButton);
    EXPECT_EQ(m_link.state(), LinkState::Closing);
    // The modem's answer during the 100 ms still reaches the pane.
    ASSERT_TRUE(m_watch.waitForText("Config mode off\r\n"));
    ASSERT_TRUE(m_timer.fire());
    EXPECT_EQ(m_link.state(), LinkState::Down);
    EXPECT_EQ(m_form.caption(ids::connectButton), "Connect");
    EXPECT_THAT(m_pane.snapshot(), ::testing::EndsWith("device disconnected\r\n"));
    EXPECT_THAT(receivedBySim(m_dir / "traffic.log"), ::testing::EndsWith("+cfgd\r"));

    // Down again, a button that sends says so in the pane, which keeps what
    // it held, and leaves the form as it was.
    ASSERT_TRUE(m_form.setText(ids::rsdlyField, "300"));
    const std::string pane = m_pane.snapshot();
    press(ids::writeSettingsButton);
    press(ids::readSettingsButton);
    EXPECT_EQ(m_form.text(ids::rsdlyField), "300");
    EXPECT_EQ(m_pane.snapshot(), pane + "not connected\r\nnot connected\r\n");
    EXPECT_TRUE(m_messages.empty());
}

}  // namespace
}  // namespace modem::test
