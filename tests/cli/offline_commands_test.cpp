#include <gtest/gtest.h>

#include <random>

#include "cli/mset_json.h"
#include "settings/settings_file.h"
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

MsetImage randomImage(std::mt19937& rng) {
    MsetImage img;
    for (auto& b : img)
        b = static_cast<std::uint8_t>(rng());
    return img;
}

Mset settingsFromJsonText(const std::string& text) {
    Mset m;
    const std::string refusal = cli::msetFromJson(nlohmann::json::parse(text), m);
    EXPECT_EQ(refusal, "");
    return m;
}

TEST(ModemctlDefaults, WritesTheKnownFile) {
    TempDir dir;
    const auto file = dir / "d.cfg";
    const CliRun run = modemctl({"defaults", "-o", file.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const auto bytes = readBytes(file);
    ASSERT_EQ(bytes.size(), 1024u);
    EXPECT_EQ((std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 12)),
              (std::vector<std::uint8_t>{0x59, 0x5E, 0x02, 0x00, 0x59, 0x5E, 0x02, 0x00, 0x4A, 0x01,
                                         0x0A, 0x00}));
    EXPECT_EQ((std::vector<std::uint8_t>(bytes.begin() + 260, bytes.begin() + 264)),
              (std::vector<std::uint8_t>{0x34, 0x12, 0x00, 0x00}));
    EXPECT_TRUE(std::all_of(bytes.begin() + 264, bytes.end(), [](auto b) { return b == 0; }));
}

TEST(ModemctlDefaults, PrintsTheDefaultsAsJsonInImageOrder) {
    const CliRun run = modemctl({"defaults"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto doc = nlohmann::ordered_json::parse(run.out);
    std::vector<std::string> keys;
    for (const auto& item : doc.items())
        keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{
                        "CH",    "VP1",   "VP2",   "VP3",   "VP4",  "IDB",     "IDRX1", "IDTX1",
                        "IDRX2", "IDTX2", "MP",    "MP2",   "CHS1", "CHL1",    "CHS2",  "CHL2",
                        "HT",    "WT",    "REP",   "GPWR",  "GCH",  "MOD",     "PS",    "GRSSI",
                        "BAND",  "VMODE", "GMODE", "RSDLY", "MARK", "reserved"}));
    std::vector<std::string> rowKeys;
    for (const auto& item : doc["CH"][7].items())
        rowKeys.push_back(item.key());
    EXPECT_EQ(rowKeys, (std::vector<std::string>{"RXF", "TXF", "THR", "PWR"}));
    EXPECT_EQ(settingsFromJsonText(run.out), defaultSettings());
}

TEST(ModemctlExportImport, RandomFilesComeBackByteForByte) {
    TempDir dir;
    const auto cfg = dir / "in.cfg";
    const auto json = dir / "in.json";
    const auto back = dir / "back.cfg";
    std::mt19937 rng(1207);
    for (int n = 0; n < 2000; ++n) {
        std::vector<std::uint8_t> file(1024, 0);
        const MsetImage img = randomImage(rng);
        std::copy(img.begin(), img.end(), file.begin());
        std::filesystem::remove(cfg);
        writeBytes(cfg, file);

        const CliRun exported = modemctl({"export", cfg.string()});
        ASSERT_EQ(exported.status, 0) << exported.err;
        // Most images through the printed text alone; some through the whole
        // import command, which also writes (and syncs) a file.
        if (n % 100 != 0) {
            ASSERT_EQ(toImage(settingsFromJsonText(exported.out)), img) << "image " << n;
            continue;
        }
        writeBytes(json, std::vector<std::uint8_t>(exported.out.begin(), exported.out.end()));
        const CliRun imported = modemctl({"import", json.string(), "-o", back.string()});
        ASSERT_EQ(imported.status, 0) << imported.err;
        ASSERT_EQ(readBytes(back), file) << "image " << n;
    }
}

TEST(ModemctlImport, ARefusalExitsOneWithOneLineAndWritesNothing) {
    TempDir dir;
    const auto json = dir / "in.json";
    const auto out = dir / "out.cfg";
    const auto existing = dir / "existing.cfg";
    const std::vector<std::uint8_t> keep(1024, 0xAB);
    writeBytes(existing, keep);

    const std::string good = modemctl({"defaults"}).out;
    const std::vector<std::pair<std::string, std::string>> cases{
        {"{\"VP1\": 1}", "CH: missing"},
        {"[1, 2]", "not a JSON object"},
        {"{\"CH\": ", "not valid JSON"},
        {"", "not valid JSON"},
    };
    for (const auto& [text, expected] : cases) {
        writeBytes(json, std::vector<std::uint8_t>(text.begin(), text.end()));
        for (const auto& target : {out, existing}) {
            const CliRun run = modemctl({"import", json.string(), "-o", target.string()});
            EXPECT_EQ(run.status, 1) << text;
            EXPECT_EQ(lineCount(run.err), 1u) << run.err;
            EXPECT_NE(run.err.find(expected), std::string::npos) << run.err;
        }
        EXPECT_FALSE(std::filesystem::exists(out)) << text;
        EXPECT_EQ(readBytes(existing), keep) << text;
    }

    // A value too wide, by text edit of a good export.
    std::string wide = good;
    wide.replace(wide.find("\"THR\": 330"), 10, "\"THR\": 70000");
    writeBytes(json, std::vector<std::uint8_t>(wide.begin(), wide.end()));
    const CliRun run = modemctl({"import", json.string(), "-o", out.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("CH[0].THR: 70000 does not fit 16 bits"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(Modemctl, ExitStatusesAreZeroOneOrTwo) {
    TempDir dir;
    writeBytes(dir / "short.cfg", std::vector<std::uint8_t>(100, 1));
    std::filesystem::create_directory(dir / "folder");
    struct Case {
        std::vector<std::string> args;
        int status;
    };
    const std::vector<Case> cases{
        {{"defaults"}, 0},
        {{"--help"}, 0},
        {{}, 2},
        {{"nonsense"}, 2},
        {{"defaults", "--bogus"}, 2},
        {{"export"}, 2},
        {{"import", "x.json"}, 2},
        {{"check"}, 2},
        {{"export", (dir / "missing.cfg").string()}, 1},
        {{"export", (dir / "short.cfg").string()}, 1},
        {{"channels", (dir / "folder").string()}, 1},
        {{"check", (dir / "short.cfg").string()}, 1},
        {{"import", (dir / "missing.json").string(), "-o", (dir / "o.cfg").string()}, 1},
        {{"defaults", "-o", (dir / "missing/d.cfg").string()}, 1},
        {{"defaults", "-o", (dir / "folder").string()}, 1},
    };
    for (const auto& c : cases) {
        const CliRun run = modemctl(c.args);
        std::string shown;
        for (const auto& a : c.args)
            shown += a + " ";
        EXPECT_EQ(run.status, c.status) << shown << "\n" << run.err;
        if (c.status == 1) {
            EXPECT_EQ(lineCount(run.err), 1u) << shown << "\n" << run.err;
        }
    }
}

TEST(ModemctlCheck, TwiceGivesTheSameImageAsOnce) {
    TempDir dir;
    const auto first = dir / "first.cfg";
    const auto second = dir / "second.cfg";
    std::mt19937 rng(355);
    auto check = [](const std::filesystem::path& p) {
        const CliRun run = modemctl({"check", p.string()});
        EXPECT_EQ(run.status, 0) << run.err;
        return settingsFromJsonText(run.out);
    };
    for (int n = 0; n < 2000; ++n) {
        // Fresh files: rewriting one in place makes ext4 flush it on close.
        std::filesystem::remove(first);
        std::filesystem::remove(second);
        const MsetImage img = randomImage(rng);
        writeBytes(first, img);
        const Mset once = check(first);
        const MsetImage onceImage = toImage(once);
        writeBytes(second, onceImage);
        const Mset twice = check(second);
        ASSERT_EQ(toImage(twice), onceImage) << "image " << n;
        // The form has nothing to say about these, so they pass unchanged.
        ASSERT_EQ(once.MARK, fromImage(img).MARK);
        ASSERT_EQ(once.reserved, fromImage(img).reserved);
    }
}

TEST(ModemctlCheck, LeavesTheDefaultsAsTheyAreAndWritesWithDashO) {
    TempDir dir;
    const auto in = dir / "d.cfg";
    const auto out = dir / "c.cfg";
    ASSERT_EQ(modemctl({"defaults", "-o", in.string()}).status, 0);
    const CliRun run = modemctl({"check", in.string(), "-o", out.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(readBytes(out), readBytes(in));
}

TEST(ModemctlChannels, PrintsTheTableAndPathListsAsTheFormShowsThem) {
    TempDir dir;
    const auto in = dir / "d.cfg";
    Mset m = defaultSettings();
    m.CH[15].PWR = 5;
    m.CHS2 = 1;
    m.CHL2 = 0xF0000000;
    ASSERT_TRUE(saveSettingsFile(in, m));
    const CliRun run = modemctl({"channels", in.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find('\r'), std::string::npos) << "form line ends leaked to the terminal";
    EXPECT_EQ(lineCount(run.out), 18u);
    EXPECT_EQ(run.out.rfind("01-r155.225-t155.225s0330pHi\n", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("\n16-r155.475-t155.475s0330pLo\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("odd path: 01-03-05\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("even path: 16\n"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace modem
