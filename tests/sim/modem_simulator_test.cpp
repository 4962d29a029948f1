#include "sim/modem_simulator.h"

#include <gtest/gtest.h>

#include <string>

#include "protocol/commands.h"
#include "protocol/report_parser.h"
#include "protocol/upload.h"

namespace modem {
namespace {

std::string imageBytes(const Mset& m) {
    const MsetImage image = toImage(m);
    return std::string(reinterpret_cast<const char*>(image.data()), image.size());
}

Mset parsed(const std::string& report) {
    // A report the pane would show: every CR followed by its LF (the report's
    // lines are all shorter than the pane's 57).
    std::string pane;
    for (char c : report) {
        pane += c;
        if (c == '\r') {
            pane += '\n';
        }
    }
    Mset m = defaultSettings();
    EXPECT_TRUE(parseReport(pane, m));
    return m;
}

// An image whose bytes include CR and "+", which must be taken as data.
Mset imageFullOfCommandBytes() {
    Mset m = defaultSettings();
    m.CH[0].RXF = 0x0D2B0D2B;  // CR + CR +
    m.WT = 0x0D0D;
    m.VP1 = 0x2B636667;  // "+cfg" backwards
    m.IDTX1 = 0x0D776569;
    m.MARK = 0x0D0D0D0D;
    m.reserved = {0x0D, 0x2B, 0x0D, 0x2B, 0x0D};
    return m;
}

TEST(ModemSimulator, UploadTakesExactlyTheNext264BytesWhateverTheyAre) {
    ModemSimulator sim;
    const Mset target = imageFullOfCommandBytes();
    const std::string image = imageBytes(target);
    ASSERT_NE(image.find('\r'), std::string::npos);
    ASSERT_NE(image.find('+'), std::string::npos);

    EXPECT_EQ(sim.receive(cmdCfwr()), "") << "no answer until the image is in";
    EXPECT_EQ(sim.receive(image.substr(0, 100)), "");
    EXPECT_EQ(sim.receive(image.substr(100, 163)), "");
    // The last image byte and the next command in one chunk.
    EXPECT_EQ(sim.receive(image.substr(263) + cmdTest()), "Settings written\rSelf-test OK\r");
    EXPECT_EQ(sim.current(), target) << "reserved bytes and MARK included";
    EXPECT_EQ(sim.uploadCount(), 1u);
}

TEST(ModemSimulator, ProfilesAreIndependentOfEachOtherAndOfTheCurrentImage) {
    ModemSimulator sim;
    Mset first = defaultSettings();
    first.WT = 111;
    Mset second = defaultSettings();
    second.WT = 222;
    second.CHS1 = 8;
    second.CHL1 = 0x76543210;

    const UploadFrame a = uploadFrame(first);
    (void)sim.receive(a.command + imageBytes(first));
    EXPECT_EQ(sim.receive(cmdSave(0)), "Saved to profile 0\r");
    (void)sim.receive(cmdCfwr() + imageBytes(second));
    EXPECT_EQ(sim.receive(cmdSave(1)), "Saved to profile 1\r");
    Mset third = defaultSettings();
    third.WT = 333;
    (void)sim.receive(cmdCfwr() + imageBytes(third));

    EXPECT_EQ(sim.profile(0), first);
    EXPECT_EQ(sim.profile(1), second);
    EXPECT_EQ(parsed(sim.receive(cmdVie0())).WT, 111u);
    EXPECT_EQ(parsed(sim.receive(cmdVie1())), second);
    EXPECT_EQ(parsed(sim.receive(cmdView())).WT, 333u);
    EXPECT_EQ(sim.receive(cmdVie1()).substr(0, 14), "Modem prof. 1\r");
}

TEST(ModemSimulator, AnswersTestsWithALineAndRefusesWhatItDoesNotKnow) {
    ModemSimulator sim;
    EXPECT_EQ(sim.receive(cmdSing("1000") + cmdChannel(10) + cmdMfChannel(1)),
              "VHF tone 1000 Hz\rVHF channel 10\rMF channel 1 (2.130 MHz)\r");
    for (const char* bad :
         {"+xyzw\r", "+ch17\r", "+ch5\r", "+chk3\r", "+sing12\r", "view\r", "\r"}) {
        EXPECT_EQ(sim.receive(std::string(bad)), "ERR unknown command\r") << bad;
    }
}

TEST(ModemSimulator, TracksConfigurationModeAndSurvivesGarbage) {
    ModemSimulator sim;
    EXPECT_FALSE(sim.configurationMode());
    (void)sim.receive(cmdCfge());
    EXPECT_TRUE(sim.configurationMode());
    (void)sim.receive(cmdCfgd());
    EXPECT_FALSE(sim.configurationMode());

    // A long run without CR is refused once, then commands work again.
    EXPECT_EQ(sim.receive(std::string(5000, 'z') + "\r"), "ERR line too long\r");
    // A terminal program's CR LF leaves no LF in front of the next command.
    EXPECT_EQ(sim.receive(std::string("+test\r\n+vers\r")),
              "Self-test OK\rVersion 2.07 (modem-sim)\r");
    // An unplug in the middle of an upload drops the half image.
    (void)sim.receive(cmdCfwr() + std::string(100, '\x01'));
    sim.resetInput();
    EXPECT_EQ(sim.receive(cmdTest()), "Self-test OK\r");
    EXPECT_EQ(sim.current(), defaultSettings());
}

}  // namespace
}  // namespace modem
