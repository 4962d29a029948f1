// modemctl diff on files: what it prints for each kind of field, and its exit
// statuses. The modem as one side is tried against modem-sim in tests/online.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cli/mset_json.h"
#include "settings/settings_file.h"
#include "support/run_modemctl.h"
#include "support/temp_dir.h"

namespace modem {
namespace {

using test::CliRun;
using test::lineCount;
using test::modemctl;
using test::TempDir;
using test::writeBytes;

void writeText(const std::filesystem::path& path, const std::string& text) {
    writeBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

void writeJson(const std::filesystem::path& path, const Mset& m) {
    writeText(path, cli::msetToJson(m).dump(2));
}

struct Shown {
    const char* what;
    std::function<void(Mset&)> change;
    std::string line;  // as printed for defaults -> changed
};

// In the order the fields are compared.
const std::vector<Shown>& shownCases() {
    static const std::vector<Shown> cases{
        {"a power the line cannot tell apart", [](Mset& m) { m.CH[2].PWR = 7; },
         "CH[2]: 03-r155.275-t155.275s0330pHi [PWR 10] -> 03-r155.275-t155.275s0330pHi [PWR 7]"},
        {"a channel row as its line",
         [](Mset& m) {
             m.CH[4].RXF = 156125;
             m.CH[4].THR = 500;
         },
         "CH[4]: 05-r155.100-t155.100s0330pHi -> 05-r156.125-t155.100s0500pHi"},
        {"a speed as a number", [](Mset& m) { m.VP4 = 1000000; }, "VP4: 25000 -> 1000000"},
        {"the identifier width as its item", [](Mset& m) { m.IDB = 29; }, "IDB: 11-bit -> 29-bit"},
        {"an identifier in hex", [](Mset& m) { m.IDTX2 = 0x1ABCDEF; }, "IDTX2: 201 -> 1abcdef"},
        {"a port as its item", [](Mset& m) { m.MP = 4; }, "MP: P1 -> USB"},
        {"a path list in its notation",
         [](Mset& m) {
             m.CHS1 = 4;
             m.CHL1 = 0x02460000;
         },
         "CHS1/CHL1: 01-03-05 -> 01-03-05-07"},
        {"a count the notation has no text for", [](Mset& m) { m.CHS2 = 9; },
         "CHS2/CHL2: 02-04-06 -> (no list)"},
        {"a time the field would cut", [](Mset& m) { m.WT = 1000; }, "WT: 300 -> 1000"},
        {"a power list item", [](Mset& m) { m.GPWR = 0; }, "GPWR: Пониженная -> Нормальная"},
        {"a selection without an item", [](Mset& m) { m.GMODE = 9; }, "GMODE: ЮНР -> 9"},
        {"what no control shows", [](Mset& m) { m.MARK = 0xBEEF; }, "MARK: 0x1234 -> 0xbeef"},
    };
    return cases;
}

TEST(ModemctlDiff, ShowsEachDifferenceAsTheFormShowsItInFieldOrder) {
    TempDir dir;
    Mset changed = defaultSettings();
    std::string expected;
    for (const Shown& c : shownCases()) {
        c.change(changed);
        expected += c.line + "\n";
    }
    ASSERT_TRUE(saveSettingsFile(dir / "a.cfg", defaultSettings()).ok);
    writeJson(dir / "b.json", changed);
    const CliRun run = modemctl({"diff", (dir / "a.cfg").string(), (dir / "b.json").string()});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "");
}

TEST(ModemctlDiff, EqualSettingsInEitherFormExitZeroSilently) {
    TempDir dir;
    Mset m = defaultSettings();
    m.CH[0].RXF = 155259;  // the file's first byte is then "{"
    ASSERT_TRUE(saveSettingsFile(dir / "a.cfg", m).ok);
    writeJson(dir / "a.json", m);
    writeText(dir / "a.txt", "\n  " + cli::msetToJson(m).dump());  // JSON by its content
    for (const auto& [x, y] : {std::pair{"a.cfg", "a.json"},
                               {"a.json", "a.cfg"},
                               {"a.cfg", "a.txt"},
                               {"a.cfg", "a.cfg"}}) {
        const CliRun run = modemctl({"diff", (dir / x).string(), (dir / y).string()});
        EXPECT_EQ(run.status, 0) << x << " " << y << "\n" << run.out << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "");
    }
}

TEST(ModemctlDiff, UsageErrorsAndUnreadableInputsExitTwoWithOneLine) {
    TempDir dir;
    const std::string good = (dir / "good.cfg").string();
    ASSERT_TRUE(saveSettingsFile(good, defaultSettings()).ok);
    writeBytes(dir / "short.cfg", std::vector<std::uint8_t>(100, 1));
    writeText(dir / "cut.json", "{\"CH\": [");
    std::string wide = cli::msetToJson(defaultSettings()).dump();
    wide.replace(wide.find("\"REP\":0"), 7, "\"REP\":300");
    writeText(dir / "wide.json", wide);
    writeText(dir / "empty.json", "");
    struct Case {
        std::vector<std::string> args;
        std::string says;     // in the one line on standard error
        bool parser = false;  // the argument parser's own, which adds a hint line
    };
    const std::vector<Case> cases{
        {{"diff", good}, "B is required", true},
        {{"diff", "modem", "modem"}, "not with itself"},
        {{"diff", good, good, "--port", "/dev/ttyACM0"}, "need the word modem"},
        {{"diff", good, good, "--profile", "1"}, "need the word modem"},
        {{"diff", "modem", good, "--profile", "2"}, "--profile", true},
        {{"diff", (dir / "missing.cfg").string(), good}, "missing.cfg: Could not load file"},
        {{"diff", good, (dir / "short.cfg").string()}, "short.cfg: Could not read file"},
        {{"diff", good, (dir / "cut.json").string()}, "cut.json: not valid JSON"},
        {{"diff", (dir / "empty.json").string(), good}, "empty.json: not valid JSON"},
        {{"diff", good, (dir / "wide.json").string()}, "wide.json: REP: 300 does not fit 8 bits"},
        {{"diff", good, (dir / "missing.json").string()}, "missing.json: cannot open"},
    };
    for (const Case& c : cases) {
        const CliRun run = modemctl(c.args);
        const std::string shown = c.args.back();
        EXPECT_EQ(run.status, 2) << shown << "\n" << run.err;
        EXPECT_EQ(run.out, "") << shown;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << shown << "\n" << run.err;
        if (!c.parser) {
            EXPECT_EQ(lineCount(run.err), 1u) << shown << "\n" << run.err;
        }
    }
}

}  // namespace
}  // namespace modem
