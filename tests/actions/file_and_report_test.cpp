#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "actions/action_harness.h"
#include "settings/mset.h"
#include "sim/modem_simulator.h"
#include "support/temp_dir.h"
#include "ui/action_texts.h"
#include "ui/control_table.h"
#include "ui/settings_check.h"

namespace modem::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
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

// Nothing changes unless a file was read whole and, if its image has problems
// (any 1024 bytes load), the operator said yes: the edits not yet read stay.
TEST(OpenFile, OnlyAWholeFileTheOperatorAcceptedReplacesTheForm) {
    TempDir dir;
    writeBytes(dir / "short.cfg", std::vector<std::uint8_t>(100, 0));
    std::mt19937 random(13);
    std::vector<std::uint8_t> noise(1024);
    for (auto& b : noise) {
        b = static_cast<std::uint8_t>(random());
    }
    writeBytes(dir / "noise.cfg", noise);
    struct Case {
        const char* name;
        std::optional<std::filesystem::path> chosen;  // nothing: cancelled
        std::vector<ShownMessage> shown;
        std::size_t asked;
    };
    const Case cases[] = {
        {"cancelled", std::nullopt, {}, 0},
        {"missing file", dir / "missing.cfg", {{"Could not load file", "Error"}}, 0},
        {"short file", dir / "short.cfg", {{"Could not read file", "Error"}}, 0},
        {"random bytes, answered No", dir / "noise.cfg", {}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ActionHarness h;
        ASSERT_TRUE(h.form.setText(ids::wtField, "123"));
        editTable(h.form, 3, "s0330", "s0400");
        const auto form = formState(h.form);
        const Mset before = h.mset;
        c.chosen ? h.files.answer(*c.chosen) : h.files.cancel();
        h.press(ids::openFileButton);
        EXPECT_EQ(h.messages.shown(), c.shown);
        ASSERT_EQ(h.messages.asked().size(), c.asked);
        if (c.asked > 0) {
            EXPECT_THAT(h.messages.asked()[0].text, HasSubstr(actionTexts::loadAnyway));
        }
        EXPECT_EQ(h.mset, before);
        EXPECT_EQ(formState(h.form), form);
    }
    // Yes takes the image as it is.
    ActionHarness h;
    h.files.answer(dir / "noise.cfg");
    h.messages.willAnswer(Answer::Yes);
    h.press(ids::openFileButton);
    MsetImage image{};
    std::copy_n(noise.begin(), image.size(), image.begin());
    EXPECT_EQ(h.mset, fromImage(image));
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

TEST(CopyReport, OnlyAWholeSoundReportIsTaken) {
    Mset modem = defaultSettings();
    modem.WT = 400;
    modem.CH[9].RXF = 156125;
    const std::string report = settingsReport(modem);
    std::string typedInto = report;
    typedInto.insert(typedInto.find("155.225") + 2, "ab");  // letters typed into a value
    struct Case {
        const char* name;
        std::string pane;
        ReportState state;
    };
    const Case cases[] = {
        {"empty pane", "", ReportState::Absent},
        {"lower-case signature", "modem" + report.substr(5), ReportState::Absent},
        {"cut short before the even-path list", report.substr(0, report.size() - 12),
         ReportState::Incomplete},
        {"letters typed into it", typedInto, ReportState::Damaged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ActionHarness h;
        ASSERT_TRUE(h.form.setText(ids::wtField, "123"));  // an edit not yet read
        const auto form = formState(h.form);
        const Mset before = h.mset;
        h.fillPane(c.pane);
        h.press(ids::copyReportButton);
        ASSERT_EQ(h.messages.shown().size(), 1U);
        EXPECT_EQ(h.messages.shown()[0].text, reportStateMessage(c.state));
        EXPECT_EQ(h.mset, before);
        EXPECT_EQ(formState(h.form), form);
    }

    // A late answer ahead of the report does not hide it.
    ActionHarness h;
    h.fillPane("Config mode on\r" + report);
    h.press(ids::copyReportButton);
    EXPECT_TRUE(h.messages.empty());
    EXPECT_EQ(h.mset.WT, 400);
    EXPECT_EQ(h.mset.CH[9].RXF, 156125U);
    EXPECT_EQ(h.form.text(ids::wtField), "400");
}

}  // namespace
}  // namespace modem::test
