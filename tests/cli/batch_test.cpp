// The pieces of a batch that need no modem: choosing the units, running them
// side by side within --jobs, the table, and a unit's record.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <stdexcept>

#include "cli/batch.h"
#include "cli/unit_record.h"
#include "cli/unit_selection.h"

namespace modem::cli {
namespace {

using ::testing::HasSubstr;

struct Selected {
    std::vector<UnitTarget> units;
    int status;
    std::string err;
};

Selected select(const PortOptions& options, const std::vector<ModemPort>& found) {
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    UnitSelection s = selectUnits(options, found, Streams{in, out, err});
    return {std::move(s.units), s.status, err.str()};
}

TEST(UnitSelection, PortsSerialsAndAllAgainstTheModemsPresent) {
    const std::vector<ModemPort> found{
        {"ttyACM0", "/dev/ttyACM0", "A001", "1-1"},
        {"ttyACM1", "/dev/ttyACM1", std::nullopt, "1-2"},
        {"ttyACM2", "/dev/ttyACM2", "A003", "1-3"},
    };
    struct Case {
        std::string name;
        PortOptions options;
        std::vector<std::pair<std::string, std::optional<std::string>>> units;
        int status;
        std::string err;
    };
    const auto ports = [](std::vector<std::string> p) {
        PortOptions o;
        o.ports = std::move(p);
        return o;
    };
    const auto serials = [](std::vector<std::string> s) {
        PortOptions o;
        o.serials = std::move(s);
        return o;
    };
    PortOptions all;
    all.all = true;
    PortOptions allAndPort = all;
    allAndPort.ports = {"/dev/ttyACM0"};
    PortOptions portAndSerial = ports({"/dev/ttyACM2"});
    portAndSerial.serials = {"A003"};
    const std::vector<Case> cases{
        {"ports, serials filled in where known",
         ports({"/dev/ttyACM2", "/dev/ttyACM1", "/dev/ttyUSB0"}),
         {{"/dev/ttyACM2", "A003"}, {"/dev/ttyACM1", std::nullopt}, {"/dev/ttyUSB0", std::nullopt}},
         0,
         ""},
        {"serials",
         serials({"A003", "A001"}),
         {{"/dev/ttyACM2", "A003"}, {"/dev/ttyACM0", "A001"}},
         0,
         ""},
        {"all, in discovery's order",
         all,
         {{"/dev/ttyACM0", "A001"}, {"/dev/ttyACM1", std::nullopt}, {"/dev/ttyACM2", "A003"}},
         0,
         ""},
        {"a serial not present",
         serials({"A001", "B7"}),
         {},
         1,
         "modemctl: serial B7: not connected\n"},
        {"a serial twice",
         serials({"A001", "A001"}),
         {},
         2,
         "modemctl: serial A001: given twice\n"},
        {"a port twice",
         ports({"/dev/ttyACM0", "/dev/ttyACM0"}),
         {},
         2,
         "modemctl: /dev/ttyACM0: chosen twice\n"},
        {"one modem by port and by serial",
         portAndSerial,
         {},
         2,
         "modemctl: /dev/ttyACM2: chosen twice\n"},
        {"all beside a port",
         allAndPort,
         {},
         2,
         "modemctl: --all chooses every modem: leave out --port and --serial\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Selected s = select(c.options, found);
        EXPECT_EQ(s.status, c.status);
        EXPECT_EQ(s.err, c.err);
        if (c.status == 0) {
            std::vector<std::pair<std::string, std::optional<std::string>>> got;
            for (const UnitTarget& u : s.units) {
                got.emplace_back(u.port, u.serial);
            }
            EXPECT_EQ(got, c.units);
        }
    }
    const Selected none = select(all, {});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "modemctl: no device found\n");
}

TEST(UnitSelection, FileNamesAndLogsOfUnits) {
    struct Case {
        UnitTarget unit;
        std::string name;
    };
    const std::vector<Case> cases{
        {{"/dev/ttyACM0", "A001"}, "A001"},      {{"/dev/ttyACM0", std::nullopt}, "ttyACM0"},
        {{"/dev/pts/3", std::nullopt}, "pts-3"}, {{"/tmp/bench/tty0", std::nullopt}, "tty0"},
        {{"COM12", std::nullopt}, "COM12"},      {{"\\\\.\\COM12", std::nullopt}, "COM12"},
        {{"/dev/ttyACM0", "../x/y"}, "_.._x_y"}, {{"/dev/ttyACM0", "A B:\xD0\x96"}, "A_B___"},
        {{"/dev/ttyACM0", ""}, "ttyACM0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(unitFileName(c.unit), c.name) << c.unit.port;
    }
    PortOptions options;
    options.log = "/tmp/run/traffic.log";
    // Compared as paths: Windows joins them with its own separator.
    EXPECT_EQ(std::filesystem::path(unitPortOptions(options, {"/dev/ttyACM1", "A002"}).log),
              std::filesystem::path("/tmp/run/traffic-A002.log"));
    EXPECT_EQ(unitPortOptions(options, {"/dev/ttyACM1", "A002"}).port, "/dev/ttyACM1");
    EXPECT_EQ(unitPortOptions(PortOptions{}, {"/dev/ttyACM1", "A002"}).log, "");
}

// Units that each hold their place until every unit has started, or for a
// while when the cap keeps the others waiting: never more than --jobs at
// once, every unit run once, and a unit whose work throws fails alone.
TEST(BatchRun, JobsCapHowManyRunAtOnceAndAFaultFailsItsUnitAlone) {
    using namespace std::chrono_literals;
    for (const unsigned jobs : {0U, 1U, 2U}) {
        SCOPED_TRACE("jobs " + std::to_string(jobs));
        constexpr std::size_t count = 5;
        std::vector<UnitTarget> units;
        for (std::size_t i = 0; i < count; ++i) {
            units.push_back({"/dev/ttyACM" + std::to_string(i), std::nullopt});
        }
        std::ostringstream err;
        ProgressDisplay progress(err, ProgressDisplay::Mode::Lines, units);
        std::mutex mutex;
        std::condition_variable allStarted;
        std::size_t started = 0;
        std::size_t running = 0;
        std::size_t most = 0;
        const auto outcomes = runUnits(
            count, jobs,
            [&](std::size_t i, UnitSteps& steps) {
                steps.step(UnitStep::Connecting);
                {
                    std::unique_lock lock(mutex);
                    ++started;
                    most = std::max(most, ++running);
                    allStarted.notify_all();
                    // A runner that ignored the cap would start every unit
                    // while these wait; one that keeps it lets the wait run out.
                    (void)allStarted.wait_for(lock, 150ms, [&] { return started == count; });
                    --running;
                }
                steps.step(UnitStep::Writing);
                if (i == 4) {
                    throw std::runtime_error("unit four broke");
                }
                return UnitOutcome{i != 2, i == 2 ? "verify: WT differs" : "", false};
            },
            progress);
        ASSERT_EQ(outcomes.size(), count);
        EXPECT_EQ(most, jobs == 0 ? count : jobs);
        EXPECT_EQ(started, count);
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(outcomes[i].ok, i != 2 && i != 4) << i;
        }
        EXPECT_EQ(outcomes[4].result, "internal error: unit four broke");
        EXPECT_EQ(batchStatus(outcomes), 1);
        // One line per finished step of every unit.
        EXPECT_THAT(err.str(), HasSubstr("/dev/ttyACM0 (no serial): connecting done ("));
        EXPECT_THAT(err.str(),
                    HasSubstr("/dev/ttyACM2 (no serial): writing failed: verify: WT differs ("));
        EXPECT_THAT(err.str(), HasSubstr("/dev/ttyACM3 (no serial): writing done ("));
    }
}

TEST(BatchRun, TheTableHasARowPerUnitAndTheStatusSaysWhetherAnyFailed) {
    const std::vector<UnitTarget> units{{"/dev/ttyACM0", "A001"}, {"/dev/ttyACM10", std::nullopt}};
    std::ostringstream progressLines;
    ProgressDisplay progress(progressLines, ProgressDisplay::Mode::Lines, units);
    const std::vector<UnitOutcome> outcomes{
        {true, "", false}, {false, "device disconnected: the line hung up", false}};
    std::ostringstream table;
    printSummary(table, units, outcomes, progress);
    EXPECT_EQ(table.str(),
              "PORT           SERIAL  RESULT                                         SECONDS\n"
              "/dev/ttyACM0   A001    ok                                             0.0\n"
              "/dev/ttyACM10  -       failed: device disconnected: the line hung up  0.0\n");
    EXPECT_EQ(batchStatus(outcomes), 1);
    EXPECT_EQ(batchStatus({{true, "", false}, {true, "equal", false}}), 0);
    EXPECT_EQ(batchStatus({{true, "", false}, {false, "interrupted", true}}), 130);
    EXPECT_EQ(firstFailureLine("modemctl: verify: WT: sent 5, the modem holds 6\nmodemctl: x\n"),
              "verify: WT: sent 5, the modem holds 6");
    EXPECT_EQ(firstFailureLine(""), "failed");
}

TEST(BatchRun, ATerminalRedrawsEveryUnitsLineInPlace) {
    const std::vector<UnitTarget> units{{"/dev/ttyACM0", "A001"}, {"/dev/ttyACM1", "A002"}};
    std::ostringstream err;
    ProgressDisplay progress(err, ProgressDisplay::Mode::Terminal, units);
    progress.step(0, UnitStep::Writing);
    progress.step(1, UnitStep::Connecting);
    progress.finished(0, {true, "", false});
    const std::string text = err.str();
    // Three drawings of two lines; every drawing after the first goes back up two lines.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
    EXPECT_EQ(text.find("\x1b[2A"), text.find('\n', text.find('\n') + 1) + 1);
    const std::string last = text.substr(text.rfind("\x1b[2A"));
    EXPECT_THAT(last, HasSubstr("/dev/ttyACM0 (serial A001)  ok  "));
    EXPECT_THAT(last, HasSubstr("/dev/ttyACM1 (serial A002)  connecting  "));
}

TEST(UnitRecord, HoldsTheUnitWhatItWasSentAndWhatCameOfIt) {
    UnitRecord record;
    record.unit = {"/dev/ttyACM1", std::nullopt};
    record.command = "modemctl write t.cfg --all --records r";
    record.started =
        std::chrono::system_clock::time_point(std::chrono::milliseconds(1796706129123));
    record.ended = record.started + std::chrono::milliseconds(2500);
    record.version = "VER 2.1";
    record.imageSha256 = std::string(64, 'a');
    record.verified = false;
    record.differences = {{"WT", "100", "101"}};
    record.ok = false;
    record.error = "verify: WT: sent 100, the modem holds 101";
    const auto j = nlohmann::json::parse(recordJson(record));
    EXPECT_EQ(j.at("port"), "/dev/ttyACM1");
    EXPECT_TRUE(j.at("serial").is_null());
    EXPECT_EQ(j.at("command"), record.command);
    EXPECT_THAT(j.at("version").get<std::string>(), HasSubstr("modemctl "));
    EXPECT_EQ(j.at("started"), "2026-12-08T05:02:09.123Z");
    EXPECT_EQ(j.at("ended"), "2026-12-08T05:02:11.623Z");
    EXPECT_EQ(j.at("modemVersion"), "VER 2.1");
    EXPECT_EQ(j.at("imageSha256"), std::string(64, 'a'));
    EXPECT_EQ(j.at("verification").at("verified"), false);
    EXPECT_EQ(j.at("verification").at("differences"),
              nlohmann::json::parse(R"([{"field":"WT","sent":"100","modem":"101"}])"));
    EXPECT_TRUE(j.at("profileStored").is_null());
    EXPECT_EQ(j.at("result"), "failed");
    EXPECT_EQ(j.at("error"), record.error.value());
    EXPECT_EQ(recordBaseName(record.unit, record.started), "ttyACM1-20261208T050209.123Z");
}

}  // namespace
}  // namespace modem::cli
