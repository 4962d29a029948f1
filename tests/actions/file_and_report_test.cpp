#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/action_harness.h"
#include "settings/mset.h"
#include "sim/modem_simulator.h"
#include "support/temp_dir.h"
#include "ui/control_table.h"

namespace modem::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::uint8_t> fileOf(const Mset& mset) {
    const MsetImage image = toImage(mset);
    std::vector<std::uint8_t> bytes(image.begin(), image.end());
    bytes.resize(1024, 0);
    return bytes;
}

Mset someSettings() {
    Mset m = defaultSettings();
    m.WT = 400;
    m.REP = 3;
    m.CH[2].RXF = 156125;
    m.CH[2].TXF = 156150;
    m.VP1 = 19200;
    return m;
}

TEST(OpenFile, LoadsTheChosenFileAndShowsIt) {
    TempDir dir;
    const Mset saved = someSettings();
    writeBytes(dir / "a.cfg", fileOf(saved));
    ActionHarness h;
    h.files.answer(dir / "a.cfg");
    h.press(ids::openFileButton);
    EXPECT_THAT(h.files.asked(), ElementsAre(FileDialogKind::Load));
    EXPECT_EQ(h.mset, saved);
    EXPECT_EQ(h.form.text(ids::wtField), "400");
    EXPECT_TRUE(h.messages.empty());
}

TEST(OpenFile, CancelIsNoErrorAndTheFormIsRewrittenFromMset) {
    ActionHarness h;
    const Mset before = h.mset;
    ASSERT_TRUE(h.form.setText(ids::wtField, "123"));  // an edit not yet read
    h.files.cancel();
    h.press(ids::openFileButton);
    EXPECT_TRUE(h.messages.empty());
    EXPECT_EQ(h.mset, before);
    EXPECT_EQ(h.form.text(ids::wtField), std::to_string(before.WT));
}

TEST(OpenFile, FailureIsShownAndTheChainGoesOn) {
    TempDir dir;
    ActionHarness h;
    const Mset before = h.mset;
    ASSERT_TRUE(h.form.setText(ids::wtField, "123"));
    h.files.answer(dir / "missing.cfg");
    h.press(ids::openFileButton);
    ASSERT_EQ(h.messages.shown().size(), 1U);
    EXPECT_EQ(h.messages.shown()[0], (ShownMessage{"Could not load file", "Error"}));
    EXPECT_EQ(h.mset, before);
    EXPECT_EQ(h.form.text(ids::wtField), std::to_string(before.WT));
}

TEST(SaveFile, WritesTheNormalisedFormAsA1024ByteFile) {
    TempDir dir;
    ActionHarness h;
    ASSERT_TRUE(h.form.setText(ids::rsdlyField, "300"));
    h.files.answer(dir / "out.cfg");
    h.press(ids::saveFileButton);
    EXPECT_THAT(h.files.asked(), ElementsAre(FileDialogKind::Save));
    EXPECT_TRUE(h.messages.empty());
    EXPECT_EQ(h.form.text(ids::rsdlyField), "44");
    EXPECT_EQ(readBytes(dir / "out.cfg"), fileOf(h.mset));
    EXPECT_EQ(h.mset.RSDLY, 44);
}

TEST(SaveFile, CancelWritesNothingShowsNothingButHasNormalisedTheForm) {
    TempDir dir;
    ActionHarness h;
    ASSERT_TRUE(h.form.setText(ids::rsdlyField, "300"));
    h.files.cancel();
    h.press(ids::saveFileButton);
    EXPECT_TRUE(h.messages.empty());
    EXPECT_EQ(h.form.text(ids::rsdlyField), "44");
    EXPECT_THAT(dir.entries(), IsEmpty());
}

TEST(SaveFile, AFileThatCannotBeCreatedIsReported) {
    TempDir dir;
    ActionHarness h;
    h.files.answer(dir / "no-such-folder" / "out.cfg");
    h.press(ids::saveFileButton);
    ASSERT_EQ(h.messages.shown().size(), 1U);
    EXPECT_EQ(h.messages.shown()[0], (ShownMessage{"Could not save file", "Error"}));
    EXPECT_THAT(dir.entries(), IsEmpty());
}

TEST(CopyReport, TakesTheReportIntoMsetAndTheForm) {
    Mset modem = someSettings();
    modem.RSDLY = 7;  // the report does not carry it
    ActionHarness h;
    h.fillPane(settingsReport(modem));
    h.press(ids::copyReportButton);
    Mset expected = modem;
    expected.RSDLY = defaultSettings().RSDLY;
    EXPECT_EQ(h.mset, expected);
    EXPECT_EQ(h.form.text(ids::wtField), "400");
    EXPECT_EQ(h.form.text(ids::repField), "3");
}

TEST(CopyReport, WithoutAReportMsetStaysAndTheFormIsRewritten) {
    for (const std::string pane : {"", "modem in lower case\r", "\rModem after an empty line\r"}) {
        SCOPED_TRACE(pane);
        ActionHarness h;
        const Mset before = h.mset;
        ASSERT_TRUE(h.form.setText(ids::wtField, "123"));
        h.fillPane(pane);
        h.press(ids::copyReportButton);
        EXPECT_EQ(h.mset, before);
        EXPECT_EQ(h.form.text(ids::wtField), std::to_string(before.WT));
    }
}

}  // namespace
}  // namespace modem::test
