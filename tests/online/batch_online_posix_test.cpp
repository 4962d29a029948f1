// A bench's batch against modem-sim standing for four modems at 9600 bit/s,
// found through a fake sysfs tree by their serial numbers: one unplugged in
// the middle of its write, one silent. The others must hold exactly their
// rows' values, read back one by one; the table, the exit status and the
// records say which failed.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <future>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "settings/settings_file.h"
#include "settings/sha256.h"
#include "support/child_program_posix.h"
#include "support/fake_sysfs.h"
#include "support/run_modemctl.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace modem::test {
namespace {

using ::testing::HasSubstr;

constexpr unsigned unitCount = 4;
constexpr unsigned unpluggedUnit = 1;
constexpr unsigned silentUnit = 3;

std::string serialOf(unsigned unit) {
    return "A00" + std::to_string(unit + 1);
}

// What each unit's row holds, and so what the modem must hold after the write.
struct RowValues {
    std::uint32_t idRx1;
    std::uint32_t idTx1;
    std::string channel2;  // CH02
    std::uint32_t rxf2, txf2;
    std::uint16_t thr2;
    std::string path1;  // CHL1
    std::uint16_t chs1;
    std::uint32_t chl1;
};

RowValues rowOf(unsigned unit) {
    const std::uint32_t k = unit;
    return {0x101 + k,
            0x201 + k,
            "02-r150.1" + std::to_string(k) + "5-t151.2" + std::to_string(k) + "0s040" +
                std::to_string(k) + "pLo",
            150105 + 10 * k,
            151200 + 10 * k,
            static_cast<std::uint16_t>(400 + k),
            k % 2 == 0 ? "01-03-05" : "02-04",
            static_cast<std::uint16_t>(k % 2 == 0 ? 3 : 2),
            k % 2 == 0 ? 0x02400000U : 0x13000000U};
}

class Bench : public ::testing::Test {
protected:
    void SetUp() override {
        for (unsigned unit = 0; unit < unitCount; ++unit) {
            m_sys.addUsbTty({.name = "ttyACM" + std::to_string(unit),
                             .device = 2 + unit,
                             .devpath = std::to_string(unit + 1),
                             .serial = serialOf(unit)});
        }
        ASSERT_TRUE(saveSettingsFile(m_template, defaultSettings()).ok);
    }

    std::string port(unsigned unit) const {
        return (m_sys.devRoot() / ("ttyACM" + std::to_string(unit))).string();
    }
    std::filesystem::path simLog(unsigned unit) const {
        return m_dir / ("sim" + std::to_string(unit) + ".log");
    }
    std::vector<std::string> discovery() const {
        return {"--sysfs-root", m_sys.root().string(), "--dev-root", m_sys.devRoot().string()};
    }
    std::string writeCsv(const std::string& name, const std::string& text) const {
        const auto file = m_dir / name;
        std::ofstream(file, std::ios::binary) << text;
        return file.string();
    }

    TempDir m_dir;
    FakeSysfs m_sys;
    std::string m_template = (m_dir / "template.cfg").string();
    bool m_devMade = std::filesystem::create_directories(m_sys.devRoot());  // before the links
    SimProcess m_sim{{"--count", std::to_string(unitCount), "--silent", std::to_string(silentUnit),
                      "--link", (m_sys.devRoot() / "ttyACM").string(), "--log",
                      (m_dir / "sim.log").string()}};
};

// The table's row of a unit: the line that begins with its port.
std::string tableRow(const std::string& err, const std::string& port) {
    const auto header = err.find("PORT ");
    std::size_t at = err.find('\n' + port + ' ', header);
    if (header == std::string::npos || at == std::string::npos) {
        return {};
    }
    ++at;
    return err.substr(at, err.find('\n', at) - at);
}

TEST_F(Bench, ACsvWithAProblemStopsTheBatchBeforeAnyModemIsWritten) {
    struct Case {
        std::string csv;
        std::string line;
    };
    const std::vector<Case> cases{
        {"serial,GCH\r\nA001,1\r\nA009,1\r\n", "row 3, column serial: A009: not connected"},
        {"serial,GCH\r\nA001,1\r\nA002,9\r\n", "row 3 (A002), column GCH: "},
        {"serial,GCH,IDRX9\r\nA001,1,1\r\n", "row 1, column 3: \"IDRX9\": unknown column"},
        {"port,GCH\r\n" + port(0) + ",1\r\n" + port(0) + ",2\r\n", "row 3, column port: "},
        {"port,GCH\r\n" + port(0) + ",1\r\n/dev/nonexistent-tty,2\r\n",
         "row 3, column port: /dev/nonexistent-tty: not connected"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.csv);
        const CliRun run = modemctl([&] {
            std::vector<std::string> args{"write", m_template, "--units",
                                          writeCsv("units.csv", c.csv)};
            const auto more = discovery();
            args.insert(args.end(), more.begin(), more.end());
            return args;
        }());
        EXPECT_EQ(run.status, 1);
        EXPECT_THAT(run.err, HasSubstr(c.line));
        EXPECT_THAT(run.err, HasSubstr("units.csv: nothing written\n"));
    }
    for (unsigned unit = 0; unit < unitCount; ++unit) {
        EXPECT_EQ(receivedBySim(simLog(unit)), "") << "unit " << unit;
    }
}

TEST_F(Bench, ABatchFromATemplateAndACsvWithOneUnpluggedAndOneSilent) {
    std::string csv = "serial,IDRX1,IDTX1,CH02,CHL1\r\n";
    for (unsigned unit = 0; unit < unitCount; ++unit) {
        const RowValues row = rowOf(unit);
        csv += serialOf(unit) + ",0x" + (std::ostringstream() << std::hex << row.idRx1).str() +
               "," + std::to_string(row.idTx1) + ",\"" + row.channel2 + "\"," + row.path1 + "\r\n";
    }
    const auto records = m_dir / "records";
    std::vector<std::string> args{
        "write", m_template, "--units", writeCsv("units.csv", csv), "--records", records.string()};
    const auto more = discovery();
    args.insert(args.end(), more.begin(), more.end());
    auto running = std::async(std::launch::async, [&] { return modemctl(args); });
    // Pulled once its upload has begun.
    ASSERT_TRUE(simHasReceived(simLog(unpluggedUnit), "+cfwr\r"));
    m_sim.unplugUnit(unpluggedUnit);
    const CliRun run = running.get();

    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, "");
    for (unsigned unit = 0; unit < unitCount; ++unit) {
        SCOPED_TRACE("unit " + std::to_string(unit));
        const std::string row = tableRow(run.err, port(unit));
        EXPECT_THAT(row, HasSubstr("  " + serialOf(unit) + "  "));
        if (unit == unpluggedUnit) {
            EXPECT_THAT(row, HasSubstr("failed: device disconnected: "));
        } else if (unit == silentUnit) {
            EXPECT_THAT(row, HasSubstr("failed: verify: no settings report"));
        } else {
            EXPECT_THAT(row, HasSubstr("  ok  "));
        }
    }

    // Every unit's record and traffic log, one of each.
    std::map<std::string, nlohmann::json> bySerial;
    std::map<std::string, std::filesystem::path> logs;
    for (const auto& entry : std::filesystem::directory_iterator(records)) {
        const std::string name = entry.path().filename().string();
        const std::string serial = name.substr(0, name.find('-'));
        if (entry.path().extension() == ".json") {
            EXPECT_EQ(bySerial.count(serial), 0U) << name;
            std::ifstream in(entry.path());
            bySerial[serial] = nlohmann::json::parse(in);
        } else {
            EXPECT_EQ(entry.path().extension(), ".log") << name;
            logs[serial] = entry.path();
        }
    }
    ASSERT_EQ(bySerial.size(), unitCount);
    ASSERT_EQ(logs.size(), unitCount);
    for (unsigned unit = 0; unit < unitCount; ++unit) {
        SCOPED_TRACE("unit " + std::to_string(unit));
        const nlohmann::json& record = bySerial.at(serialOf(unit));
        EXPECT_EQ(record.at("port"), port(unit));
        EXPECT_EQ(record.at("serial"), serialOf(unit));
        EXPECT_THAT(record.at("command").get<std::string>(), HasSubstr("write "));
        EXPECT_EQ(record.at("imageSha256").get<std::string>().size(), 64U);
        const bool good = unit != unpluggedUnit && unit != silentUnit;
        EXPECT_EQ(record.at("result"), good ? "ok" : "failed");
        EXPECT_EQ(record.at("error").is_null(), good);
        EXPECT_EQ(record.at("modemVersion").is_string(), unit != silentUnit);
        // The tool's own log of the unit holds the upload it sent.
        EXPECT_THAT(receivedBySim(logs.at(serialOf(unit))), HasSubstr("+cfwr\r"));
        if (!good) {
            continue;
        }
        EXPECT_EQ(record.at("verification").at("verified"), true);
        EXPECT_TRUE(record.at("verification").at("differences").empty());

        // Read back on its own, onto the template for what the report does not carry.
        const auto back = m_dir / ("back" + std::to_string(unit) + ".cfg");
        const CliRun read =
            modemctl({"read", "--port", port(unit), "--base", m_template, "-o", back.string()});
        ASSERT_EQ(read.status, 0) << read.err;
        Mset held{};
        ASSERT_TRUE(loadSettingsFile(back, held).ok);
        const RowValues row = rowOf(unit);
        EXPECT_EQ(held.IDRX1, row.idRx1);
        EXPECT_EQ(held.IDTX1, row.idTx1);
        EXPECT_EQ(held.CH[1].RXF, row.rxf2);
        EXPECT_EQ(held.CH[1].TXF, row.txf2);
        EXPECT_EQ(held.CH[1].THR, row.thr2);
        EXPECT_EQ(held.CH[1].PWR, 5U);
        EXPECT_EQ(held.CHS1, row.chs1);
        EXPECT_EQ(held.CHL1, row.chl1);
        // Everything else is the template's: the modem holds the very image the record names.
        const MsetImage image = toImage(held);
        EXPECT_EQ(record.at("imageSha256"), hexDigest(sha256(image)));
    }
}

TEST_F(Bench, ReadingEveryModemFoundWritesAFilePerSerialAndOneJsonArray) {
    const auto out = m_dir / "read";
    std::vector<std::string> args{"read", "--all", "-o", out.string()};
    const auto more = discovery();
    args.insert(args.end(), more.begin(), more.end());
    const CliRun run = modemctl(args);
    EXPECT_EQ(run.status, 1) << run.err;  // the silent one
    EXPECT_THAT(tableRow(run.err, port(silentUnit)), HasSubstr("failed: no settings report"));
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
        files.push_back(entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"A001.cfg", "A002.cfg", "A003.cfg"}));
    const auto list = nlohmann::json::parse(run.out);
    ASSERT_EQ(list.size(), unitCount);
    for (unsigned unit = 0; unit < unitCount; ++unit) {
        EXPECT_EQ(list[unit].at("port"), port(unit));
        EXPECT_EQ(list[unit].at("serial"), serialOf(unit));
        EXPECT_EQ(list[unit].at("settings").is_null(), unit == silentUnit);
    }

    // One unit by its serial number is a batch of one: the same array.
    const CliRun one = modemctl([&] {
        std::vector<std::string> a{"send", "vers", "--serial", serialOf(2)};
        a.insert(a.end(), more.begin(), more.end());
        return a;
    }());
    EXPECT_EQ(one.status, 0) << one.err;
    const auto answers = nlohmann::json::parse(one.out);
    ASSERT_EQ(answers.size(), 1U);
    EXPECT_EQ(answers[0].at("serial"), serialOf(2));
    EXPECT_FALSE(answers[0].at("answer").get<std::string>().empty());

    // The modems against a file: one differs, one equals it.
    Mset other = defaultSettings();
    other.WT = 400;
    const auto otherFile = m_dir / "other.cfg";
    ASSERT_TRUE(saveSettingsFile(otherFile, other).ok);
    for (const auto& [file, status, differences] :
         std::vector<std::tuple<std::string, int, std::size_t>>{{m_template, 0, 0},
                                                                {otherFile.string(), 1, 1}}) {
        std::vector<std::string> a{"diff",      "modem",    file,       "--serial",
                                   serialOf(0), "--serial", serialOf(2)};
        a.insert(a.end(), more.begin(), more.end());
        const CliRun diff = modemctl(a);
        EXPECT_EQ(diff.status, status) << diff.err;
        const auto units = nlohmann::json::parse(diff.out);
        ASSERT_EQ(units.size(), 2U);
        EXPECT_EQ(units[1].at("serial"), serialOf(2));
        EXPECT_EQ(units[1].at("differences").size(), differences);
        EXPECT_THAT(tableRow(diff.err, port(0)),
                    HasSubstr(differences == 0 ? "  equal  " : "  differs: 1 field  "));
    }
}

}  // namespace
}  // namespace modem::test
