// modemctl report and parse-report, in-process and piped between two processes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "cli/mset_json.h"
#include "link/terminal_pane.h"
#include "settings/settings_file.h"
#include "support/run_modemctl.h"
#include "support/temp_dir.h"

namespace modem {
namespace {

using test::modemctl;

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

Mset sample() {
    Mset m = defaultSettings();
    m.CH[7].RXF = 151125;
    m.CH[7].PWR = 5;
    m.VP4 = 1000000;
    m.MP2 = 4;
    m.IDRX2 = 0x1FFFFFFF;
    m.CHS1 = 8;
    m.CHL1 = 0xF0E1D2C3;
    m.GPWR = 0;
    m.GMODE = 5;
    return m;
}

// The fields the report does not carry, as a base file supplies them.
Mset withUncarriedFrom(Mset m, const Mset& base) {
    m.RSDLY = base.RSDLY;
    m.MARK = base.MARK;
    m.BAND = base.BAND;
    m.reserved = base.reserved;
    return m;
}

TEST(ReportCommands, ReportPipedIntoParseReportGivesTheCarriedFieldsBack) {
    test::TempDir dir;
    const auto cfg = dir.path() / "in.cfg";
    ASSERT_TRUE(saveSettingsFile(cfg, sample()).ok);
    const auto json = dir.path() / "out.json";
    const std::string command = std::string("'") + MODEMCTL_PATH + "' report '" + cfg.string() +
                                "' | '" + MODEMCTL_PATH + "' parse-report --raw - > '" +
                                json.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    Mset parsed;
    ASSERT_EQ(cli::msetFromJson(nlohmann::json::parse(readFile(json)), parsed), "");
    EXPECT_EQ(parsed, withUncarriedFrom(sample(), defaultSettings()));
}

TEST(ReportCommands, ParseReportOntoABaseKeepsWhatTheReportDoesNotCarry) {
    test::TempDir dir;
    Mset base = defaultSettings();
    base.RSDLY = 99;
    base.MARK = 0x4321;
    base.BAND = 2;
    base.reserved = {9, 8, 7, 6, 5};
    ASSERT_TRUE(saveSettingsFile(dir.path() / "base.cfg", base).ok);
    ASSERT_TRUE(saveSettingsFile(dir.path() / "sample.cfg", sample()).ok);

    // The pane's text (CR LF lines), as a display would save it.
    const test::CliRun report = modemctl({"report", (dir.path() / "sample.cfg").string()});
    ASSERT_EQ(report.status, 0) << report.err;
    TerminalPane pane;
    for (char c : report.out) {
        pane.appendChar(static_cast<unsigned char>(c));
    }
    writeFile(dir.path() / "pane.txt", pane.snapshot());

    const auto outCfg = dir.path() / "out.cfg";
    const test::CliRun run = modemctl({"parse-report", (dir.path() / "pane.txt").string(), "--base",
                                       (dir.path() / "base.cfg").string(), "-o", outCfg.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    Mset written;
    ASSERT_TRUE(loadSettingsFile(outCfg, written).ok);
    EXPECT_EQ(written, withUncarriedFrom(sample(), base));
}

TEST(ReportCommands, TextWithoutASignatureFailsAndWritesNothing) {
    test::TempDir dir;
    // Raw bytes of a report the pane's window has already scrolled past its first line.
    std::string raw;
    for (int i = 0; i < 30; ++i) {
        raw += "noise\r";
    }
    writeFile(dir.path() / "noise.bin", raw);
    writeFile(dir.path() / "lower.txt", "modem config:\r\n");
    for (const auto& [file, rawFlag] :
         {std::pair{"noise.bin", true}, std::pair{"lower.txt", false}}) {
        std::vector<std::string> args{"parse-report", (dir.path() / file).string(), "-o",
                                      (dir.path() / "out.cfg").string()};
        if (rawFlag) {
            args.emplace_back("--raw");
        }
        const test::CliRun run = modemctl(args);
        EXPECT_EQ(run.status, 1) << file;
        EXPECT_NE(run.err.find("Modem"), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "out.cfg")) << file;
    }
    EXPECT_EQ(modemctl({"parse-report", (dir.path() / "missing.txt").string()}).status, 1);
    EXPECT_EQ(modemctl({"report", (dir.path() / "missing.cfg").string()}).status, 1);
}

}  // namespace
}  // namespace modem
