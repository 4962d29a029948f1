#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/action_harness.h"
#include "settings/mset.h"
#include "ui/control_table.h"

namespace modem::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string imageBytes(const Mset& mset) {
    const MsetImage image = toImage(mset);
    return {image.begin(), image.end()};
}

struct OneCommand {
    const char* name;
    int id;
    const char* bytes;
};

// Buttons whose command takes nothing from the form.
const OneCommand fixedButtons[] = {
    {"test", 4015, "+test\r"}, {"vers", 4028, "+vers\r"}, {"pwrt", 4055, "+pwrt\r"},
    {"txmd", 4027, "+txmd\r"}, {"vswr", 4054, "+vswr\r"}, {"rxmd", 4026, "+rxmd\r"},
    {"rssi", 4016, "+rssi\r"}, {"t1ph", 4098, "+t1ph\r"}, {"t1pl", 4097, "+t1pl\r"},
    {"txmk", 4092, "+txmk\r"}, {"vswk", 4093, "+vswk\r"}, {"rxmk", 4091, "+rxmk\r"},
    {"rssk", 4071, "+rssk\r"}, {"t2ph", 4100, "+t2ph\r"}, {"t2pl", 4099, "+t2pl\r"},
};

TEST(Dispatch, EachTestButtonSendsExactlyItsCommandAndChangesNothingElse) {
    for (const auto& c : fixedButtons) {
        SCOPED_TRACE(c.name);
        ActionHarness h;
        h.connect();
        h.fillPane("kept");
        const Mset before = h.mset;
        h.press(c.id);
        EXPECT_THAT(h.port->writes, ElementsAre(std::string(c.bytes)));
        EXPECT_EQ(h.mset, before);
        EXPECT_EQ(h.pane.snapshot(), "kept");
        EXPECT_TRUE(h.messages.empty());
    }
}

TEST(Dispatch, ChannelAndToneButtonsReadTheirControlsAtThePress) {
    ActionHarness h;
    h.connect();
    // The start-up selections: Ch01, "1-2.130 MHz", and the tone fields' "1000".
    h.press(ids::vhfChannelButton);
    h.press(ids::mfChannelButton);
    h.press(ids::vhfToneButton);
    h.press(ids::mfToneButton);

    h.form.setSelection(ids::vhfTestChannelList, 9);
    h.form.setSelection(ids::mfTestChannelList, 0);
    ASSERT_TRUE(h.form.setText(ids::vhfToneField, ""));
    ASSERT_TRUE(h.form.setText(ids::mfToneField, "7"));
    h.press(ids::vhfChannelButton);
    h.press(ids::mfChannelButton);
    h.press(ids::vhfToneButton);
    h.press(ids::mfToneButton);

    h.form.setSelection(ids::vhfTestChannelList, 15);
    h.form.setSelection(ids::mfTestChannelList, 2);
    h.press(ids::vhfChannelButton);
    h.press(ids::mfChannelButton);

    EXPECT_THAT(h.port->writes, ElementsAre("+ch01\r", "+chk1\r", "+sing1000\r", "+sink1000\r",  //
                                            "+ch10\r", "+chk0\r", "+sing0000\r", "+sink0007\r",  //
                                            "+ch16\r", "+chk2\r"));
}

TEST(Dispatch, ProfileButtonsFollowTheProfileList) {
    ActionHarness h;
    h.connect();
    const Mset before = h.mset;
    h.fillPane("old text");
    h.press(ids::storeProfileButton);
    h.press(ids::readProfileButton);
    EXPECT_EQ(h.pane.snapshot(), "");

    h.form.setSelection(ids::profileList, 1);
    h.fillPane("old text");
    h.press(ids::storeProfileButton);
    h.press(ids::readProfileButton);
    EXPECT_EQ(h.pane.snapshot(), "");

    EXPECT_THAT(h.port->writes, ElementsAre("+save\r", "+vie0\r", "+sav1\r", "+vie1\r"));
    // Storing sends only the command: neither the form nor mset is read.
    EXPECT_EQ(h.mset, before);
}

TEST(Dispatch, ReadClearsThePaneBeforeTheReadCommand) {
    ActionHarness h;
    h.connect();
    h.fillPane("device connecting\rOK\r");
    h.press(ids::readSettingsButton);
    EXPECT_EQ(h.pane.snapshot(), "");
    EXPECT_THAT(h.port->writes, ElementsAre("+view\r"));
}

TEST(Dispatch, ConfigureNormalisesTheFormAndUploadsWhatItShows) {
    ActionHarness h;
    h.connect();
    ASSERT_TRUE(h.form.setText(ids::rsdlyField, "300"));  // RSDLY is one byte wide
    h.messages.willAnswer(Answer::Yes);                   // to "write anyway?"
    h.press(ids::writeSettingsButton);

    EXPECT_EQ(h.mset.RSDLY, 44);
    EXPECT_EQ(h.form.text(ids::rsdlyField), "44");
    // Two writes, the command and then the image, nothing before or after.
    EXPECT_THAT(h.port->writes, ElementsAre("+cfwr\r", imageBytes(h.mset)));
    EXPECT_EQ(h.messages.asked().size(), 1U);
    EXPECT_TRUE(h.messages.shown().empty());
}

TEST(Dispatch, UploadKeepsTheImageBackWhenTheCommandFailed) {
    ActionHarness h;
    h.connect();
    h.port->failWritesFrom = 0;
    h.press(ids::writeSettingsButton);
    // A modem that missed "+cfwr\r" would read the image as commands.
    EXPECT_THAT(h.port->writes, ElementsAre("+cfwr\r"));
    ASSERT_EQ(h.messages.shown().size(), 1U);
    EXPECT_EQ(h.messages.shown()[0].text, "Could not write to device");
}

TEST(Dispatch, CheckNormalisesWithoutSending) {
    ActionHarness h;
    h.connect();
    ASSERT_TRUE(h.form.setText(ids::rsdlyField, "300"));
    ASSERT_TRUE(h.form.setText(ids::wtField, ""));
    h.press(ids::checkButton);
    EXPECT_EQ(h.mset.RSDLY, 44);
    EXPECT_EQ(h.mset.WT, 0);
    EXPECT_EQ(h.form.text(ids::rsdlyField), "44");
    EXPECT_EQ(h.form.text(ids::wtField), "0");
    EXPECT_THAT(h.port->writes, IsEmpty());
}

TEST(Dispatch, EnterEscapeAndIdsWithoutAnActionDoNothing) {
    ActionHarness h;
    h.connect();
    ASSERT_TRUE(h.form.setText(ids::wtField, "123"));  // an edit not yet read
    h.fillPane("pane text");
    const Mset before = h.mset;
    for (const int id : {1, 2, 0, 4002, 4017, 4019, 4021, 4057, 4075, 9999, -1}) {
        SCOPED_TRACE(id);
        h.press(id);
    }
    EXPECT_EQ(h.mset, before);
    EXPECT_EQ(h.form.text(ids::wtField), "123");
    EXPECT_EQ(h.pane.snapshot(), "pane text");
    EXPECT_THAT(h.port->writes, IsEmpty());
    EXPECT_THAT(h.files.asked(), IsEmpty());
    EXPECT_TRUE(h.messages.empty());
    EXPECT_EQ(h.form.caption(ids::connectButton), "Disconnect");
}

TEST(Dispatch, WithNoPortOpenEveryButtonThatSendsSaysSoAndChangesNothingElse) {
    const int sending[] = {4007, 4078, 4008, 4009, 4015, 4028, 4055, 4020, 4027, 4054, 4022, 4026,
                           4016, 4098, 4097, 4014, 4092, 4093, 4089, 4091, 4071, 4100, 4099};
    for (const int id : sending) {
        SCOPED_TRACE(id);
        ActionHarness h;  // never connected
        h.fillPane("Modem report kept\r");
        ASSERT_TRUE(h.form.setText(ids::rsdlyField, "300"));  // a slip, not yet read
        const auto form = formState(h.form);
        const Mset before = h.mset;
        h.press(id);
        EXPECT_EQ(h.pane.snapshot(), "Modem report kept\r\nnot connected\r\n");
        EXPECT_TRUE(h.messages.empty());
        EXPECT_EQ(formState(h.form), form);
        EXPECT_EQ(h.mset, before);
        EXPECT_THAT(h.port->writes, IsEmpty());
    }
}

TEST(Dispatch, ConnectButtonTogglesTheLink) {
    ActionHarness h;
    h.press(ids::connectButton);
    EXPECT_EQ(h.link.state(), LinkState::Up);
    EXPECT_EQ(h.form.caption(ids::connectButton), "Disconnect");
    EXPECT_EQ(h.port->openedPath, "/dev/fake-modem");

    h.press(ids::connectButton);
    EXPECT_EQ(h.link.state(), LinkState::Closing);
    ASSERT_TRUE(h.timer.fire());
    EXPECT_EQ(h.link.state(), LinkState::Down);
    EXPECT_EQ(h.form.caption(ids::connectButton), "Connect");
    EXPECT_THAT(h.port->writes, ElementsAre("+cfge\r", "+cfgd\r"));
}

}  // namespace
}  // namespace modem::test
