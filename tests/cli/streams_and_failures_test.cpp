// modemctl's inputs and outputs named "-", the failure line of an input it
// cannot use, and parse-report's refusal of a report it cannot trust.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "settings/settings_file.h"
#include "sim/modem_simulator.h"
#include "support/run_modemctl.h"
#include "support/temp_dir.h"

namespace modem {
namespace {

using test::CliRun;
using test::modemctl;
using test::readBytes;
using test::writeBytes;

class StreamsAndFailures : public ::testing::Test {
protected:
    void SetUp() override {
        Mset other = defaultSettings();
        other.WT = 555;
        ASSERT_TRUE(saveSettingsFile(m_defaults, defaultSettings()).ok);
        ASSERT_TRUE(saveSettingsFile(m_other, other).ok);
    }
    void expectRun(const std::vector<std::string>& args, const std::string& input, int status,
                   const std::string& out, const std::string& err) {
        SCOPED_TRACE(args.front() + " " + args.at(1));
        const CliRun r = modemctl(args, input);
        EXPECT_EQ(r.status, status);
        EXPECT_EQ(r.out, out);
        EXPECT_EQ(r.err, err);
    }

    test::TempDir m_dir;
    std::string m_defaults = (m_dir / "defaults.cfg").string();
    std::string m_other = (m_dir / "other.cfg").string();
};

TEST_F(StreamsAndFailures, DashReadsStandardInputAndWritesStandardOutput) {
    const auto bytes = readBytes(m_defaults);
    const std::string cfg(bytes.begin(), bytes.end());  // zeros after the image included
    const std::string json = modemctl({"defaults"}).out;
    expectRun({"defaults", "-o", "-"}, "", 0, cfg, "");
    expectRun({"import", "-", "-o", "-"}, json, 0, cfg, "");
    expectRun({"export", "-"}, cfg, 0, json, "");
    expectRun({"diff", "-", m_other}, cfg, 1, "WT: 300 -> 555\n", "");
    expectRun({"diff", m_other, "-"}, json, 1, "WT: 555 -> 300\n", "");
    EXPECT_EQ(m_dir.entries(), (std::vector<std::string>{"defaults.cfg", "other.cfg"}));
}

TEST_F(StreamsAndFailures, AnInputThatCannotBeUsedFailsWithOneLineInTheProgramsWords) {
    const std::string folder = m_dir.path().string();
    const std::string cut = (m_dir / "cut.json").string();
    writeBytes(cut, std::vector<std::uint8_t>{'{', '"', 'C', 'H', '"', ':'});
    const std::string missing = (m_dir / "missing.cfg").string();
    const std::vector<std::tuple<std::vector<std::string>, std::string, int, std::string>> cases{
        {{"import", folder, "-o", "x.cfg"}, "", 1, folder + ": cannot open: is a folder"},
        {{"export", folder}, "", 1, folder + ": Could not load file: is a folder"},
        {{"diff", folder, m_defaults}, "", 2, folder + ": cannot open: is a folder"},
        {{"report", missing}, "", 1, missing + ": Could not load file: No such file or directory"},
        {{"import", cut, "-o", "x.cfg"}, "", 1, cut + ": not valid JSON: error at byte 7"},
        {{"import", "-", "-o", "x.cfg"},
         " ",
         1,
         "standard input: not valid JSON: the text is empty"},
        {{"check", "-"},
         "0123456789",
         1,
         "standard input: Could not read file: 10 bytes, shorter than the 264-byte settings "
         "image"},
        {{"diff", "-", "-"}, "", 2, "diff: standard input can be only one of the two sides"},
    };
    for (const auto& [args, input, status, line] : cases) {
        expectRun(args, input, status, "", "modemctl: " + line + "\n");
    }
    EXPECT_EQ(m_dir.entries(), (std::vector<std::string>{"cut.json", "defaults.cfg", "other.cfg"}));
}

TEST_F(StreamsAndFailures, ParseReportCopiesOnlyAWholeSoundReport) {
    Mset site = defaultSettings();
    site.WT = 777;
    const std::string report = settingsReport(site);  // as sent: lines end in CR
    const std::size_t wt = report.find("WT 777") + 3;
    std::string longer = report;
    longer.insert(wt, "7");
    std::string lettered = report;
    lettered[wt] = 'O';
    const std::string out = (m_dir / "out.cfg").string();
    const std::string nothing = "; nothing copied\n";
    const std::string damaged =
        "the settings report is damaged (a value is not where the modem puts it)" + nothing;
    const std::string incomplete =
        "the settings report is incomplete (it ends before the even-path list)" + nothing;
    const std::vector<std::pair<std::string, std::string>> cases{
        {"Config mode on\r" + report, ""},  // a late answer in front
        {report.substr(0, 400), incomplete},
        {report.substr(0, report.size() - 1), incomplete},
        {longer, damaged},
        {lettered, damaged},
        {"Version 2.07\r", "no settings report (no line starts with \"Modem\")" + nothing},
    };
    for (const auto& [input, problem] : cases) {
        expectRun({"parse-report", "--raw", "-", "-o", out}, input, problem.empty() ? 0 : 1, "",
                  problem.empty() ? "" : "modemctl: standard input: " + problem);
        Mset got{};
        EXPECT_EQ(std::filesystem::exists(out) && loadSettingsFile(out, got).ok && got.WT == 777,
                  problem.empty());
        std::filesystem::remove(out);
    }
}

}  // namespace
}  // namespace modem
