// modemctl's inputs and outputs named "-", the failure line of every input it
// cannot use, and parse-report's refusal of a report it cannot trust.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/mset.h"
#include "settings/settings_file.h"
#include "sim/modem_simulator.h"
#include "support/run_modemctl.h"
#include "support/temp_dir.h"

namespace modem {
namespace {

using test::CliRun;
using test::lineCount;
using test::modemctl;
using test::readBytes;
using test::TempDir;
using test::writeBytes;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

std::string asText(const std::vector<std::uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

class StreamsAndFailures : public ::testing::Test {
protected:
    void SetUp() override {
        Mset other = defaultSettings();
        other.WT = 555;
        ASSERT_TRUE(saveSettingsFile(m_defaults, defaultSettings()).ok);
        ASSERT_TRUE(saveSettingsFile(m_other, other).ok);
        m_defaultsJson = modemctl({"defaults"}).out;
        writeBytes(m_dir / "defaults.json",
                   std::vector<std::uint8_t>(m_defaultsJson.begin(), m_defaultsJson.end()));
    }

    TempDir m_dir;
    std::string m_defaults = (m_dir / "defaults.cfg").string();
    std::string m_other = (m_dir / "other.cfg").string();
    std::string m_defaultsJson;
};

TEST_F(StreamsAndFailures, DashReadsStandardInputAndWritesStandardOutput) {
    const std::string cfg = asText(readBytes(m_defaults));
    struct Case {
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string out;
    };
    const std::vector<Case> cases{
        // The settings file itself, byte for byte, zeros after the image included.
        {{"defaults", "-o", "-"}, "", 0, cfg},
        {{"import", "-", "-o", "-"}, m_defaultsJson, 0, cfg},
        {{"check", "-", "-o", "-"}, cfg, 0, cfg},
        {{"export", "-"}, cfg, 0, m_defaultsJson},
        {{"diff", "-", m_other}, cfg, 1, "WT: 300 -> 555\n"},
        {{"diff", m_other, "-"}, m_defaultsJson, 1, "WT: 555 -> 300\n"},
        {{"diff", (m_dir / "defaults.json").string(), "-"}, cfg, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.at(1));
        const CliRun r = modemctl(c.args, c.input);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(m_dir.entries(),
              (std::vector<std::string>{"defaults.cfg", "defaults.json", "other.cfg"}));
}

TEST_F(StreamsAndFailures, AnInputThatCannotBeUsedFailsWithOneLineInTheProgramsWords) {
    const std::string folder = m_dir.path().string();
    const std::string cut = (m_dir / "cut.json").string();
    writeBytes(cut, std::vector<std::uint8_t>{'{', '"', 'C', 'H', '"', ':'});
    const std::string empty = (m_dir / "empty.json").string();
    writeBytes(empty, std::vector<std::uint8_t>{});
    const std::string missing = (m_dir / "missing.cfg").string();
    struct Case {
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string line;
    };
    const std::vector<Case> cases{
        {{"import", folder, "-o", "x.cfg"}, "", 1, folder + ": cannot open: is a folder"},
        {{"export", folder}, "", 1, folder + ": Could not load file: is a folder"},
        {{"parse-report", folder}, "", 1, folder + ": cannot open: is a folder"},
        {{"write", folder}, "", 1, folder + ": Could not load file: is a folder"},
        {{"diff", folder, m_defaults}, "", 2, folder + ": cannot open: is a folder"},
        {{"report", missing}, "", 1, missing + ": Could not load file: No such file or directory"},
        {{"import", cut, "-o", "x.cfg"}, "", 1, cut + ": not valid JSON: error at byte 7"},
        {{"import", empty, "-o", "x.cfg"}, "", 1, empty + ": not valid JSON: the text is empty"},
        {{"import", "-", "-o", "x.cfg"}, "{", 1, "standard input: not valid JSON: error at byte 2"},
        {{"check", "-"},
         "0123456789",
         1,
         "standard input: Could not read file: 10 bytes, shorter than the 264-byte settings "
         "image"},
        {{"diff", "-", "-"}, "", 2, "diff: standard input can be only one of the two sides"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.at(1));
        const CliRun r = modemctl(c.args, c.input);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "modemctl: " + c.line + "\n");
    }
    // Nothing was written in the failures' wake.
    EXPECT_EQ(m_dir.entries(),
              (std::vector<std::string>{"cut.json", "defaults.cfg", "defaults.json", "empty.json",
                                        "other.cfg"}));
}

TEST_F(StreamsAndFailures, ParseReportCopiesOnlyAWholeSoundReport) {
    Mset site = defaultSettings();
    site.WT = 777;
    const std::string report = settingsReport(site);  // as sent: lines end in CR
    const auto at = [&](std::string_view text) { return report.find(text); };
    auto inserted = [&](std::size_t where, char c) {
        std::string r = report;
        r.insert(where, 1, c);
        return r;
    };
    auto replaced = [&](std::size_t where, char c) {
        std::string r = report;
        r[where] = c;
        return r;
    };
    struct Case {
        const char* name;
        std::string input;
        int status;
        std::string says;
    };
    const std::vector<Case> cases{
        {"whole", report, 0, ""},
        {"after a late answer", "Config mode on\r" + report, 0, ""},
        {"cut in the channel table", report.substr(0, 400), 1, "incomplete"},
        {"cut before the even-path list's end", report.substr(0, report.size() - 1), 1,
         "incomplete"},
        {"a digit more in WT", inserted(at("WT 777") + 4, '7'), 1, "damaged"},
        {"a letter in place of WT's first digit", replaced(at("WT 777") + 3, 'O'), 1, "damaged"},
        {"nothing", "", 1, "no settings report"},
        {"another answer", "Version 2.07\r", 1, "no settings report"},
    };
    const std::string out = (m_dir / "out.cfg").string();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun r = modemctl({"parse-report", "--raw", "-", "-o", out}, c.input);
        EXPECT_EQ(r.status, c.status) << r.err;
        if (c.status == 0) {
            Mset got{};
            ASSERT_TRUE(loadSettingsFile(out, got).ok);
            EXPECT_EQ(got.WT, 777);
            std::filesystem::remove(out);
            continue;
        }
        EXPECT_EQ(lineCount(r.err), 1u) << r.err;
        EXPECT_THAT(r.err, StartsWith("modemctl: standard input: "));
        EXPECT_THAT(r.err, HasSubstr(c.says));
        EXPECT_THAT(r.err, HasSubstr("nothing copied"));
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

}  // namespace
}  // namespace modem
