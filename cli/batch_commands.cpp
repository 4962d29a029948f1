// read, write and send on several modems at once: each unit on its own thread
// and Session, its lines kept apart from the others', one table at the end.
// Standard output carries one JSON array with an entry per unit.

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/cli_support.h"
#include "cli/mset_json.h"
#include "cli/online_work.h"
#include "cli/standard_streams.h"
#include "cli/unit_record.h"
#include "cli/unit_selection.h"
#include "cli/units_csv.h"
#include "link/serial_port.h"
#include "settings/mset_fields.h"
#include "settings/settings_file.h"
#include "settings/sha256.h"
#include "settings/utf8_path.h"
#include "ui/settings_check.h"

namespace modem::cli {

namespace {

using nlohmann::ordered_json;

// A unit's own streams: its lines stay its own, and the first of them is its
// row's reason.
struct UnitStreams {
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    [[nodiscard]] Streams streams() { return Streams{in, out, err}; }
};

ordered_json serialJson(const UnitTarget& unit) {
    return unit.serial ? ordered_json(*unit.serial) : ordered_json(nullptr);
}

// Runs `work` on every unit with the progress and the table; returns the outcomes.
std::vector<UnitOutcome> runWithTable(const std::vector<UnitTarget>& units, unsigned jobs,
                                      Streams io, const UnitWork& work) {
    ProgressDisplay progress(io.err, progressMode(io), units);
    const auto outcomes = runUnits(units.size(), jobs, work, progress);
    printSummary(io.err, units, outcomes, progress);
    return outcomes;
}

UnitOutcome outcomeOf(int status, const std::string& err) {
    if (status == 0) {
        return {true, {}, false};
    }
    if (status == interruptedStatus) {
        return {false, "interrupted", true};
    }
    return {false, firstFailureLine(err), false};
}

int printJson(const ordered_json& list, Streams io) {
    errno = 0;
    io.out << list.dump(2, ' ', false, ordered_json::error_handler_t::replace) << '\n';
    return outputWritten(io) ? 0 : 1;
}

// Exit status of the whole: the units', unless the output failed.
int finalStatus(int unitsStatus, int outputStatus) {
    if (unitsStatus == interruptedStatus) {
        return interruptedStatus;
    }
    return outputStatus != 0 ? outputStatus : unitsStatus;
}

// The units of a write: the CSV's rows, each with its own settings, or the
// chosen modems, each with the template. Empty with `status` set when the
// command must stop before anything is written.
struct WritePlan {
    std::vector<UnitTarget> units;
    std::vector<Mset> settings;  // normalised, one per unit
    int status = 0;
};

WritePlan planFromUnitsFile(const WriteOptions& options, const Mset& templ, Streams io) {
    WritePlan plan;
    const auto text = readInput(*options.units, io);
    if (!text) {
        plan.status = 1;
        return plan;
    }
    const UnitsTable table = applyUnits(*text, templ);
    const std::string name = *options.units;
    for (const std::string& problem : table.problems) {
        io.err << "modemctl: " << name << ": " << problem << '\n';
    }
    if (!table.problems.empty()) {
        io.err << "modemctl: " << name << ": nothing written\n";
        plan.status = 1;
        return plan;
    }
    // Every unit must be there before any is written: a bench that finds one
    // missing halfway has a batch half done.
    const std::vector<ModemPort> found = modemsPresent(options.port);
    std::vector<std::string> missing;
    for (const UnitRow& row : table.rows) {
        UnitTarget target;
        if (table.key == UnitKey::Serial) {
            const auto it = std::find_if(found.begin(), found.end(),
                                         [&](const ModemPort& m) { return m.serial == row.unit; });
            if (it == found.end()) {
                missing.push_back("row " + std::to_string(row.line) +
                                  ", column serial: " + row.unit + ": not connected");
                continue;
            }
            target = {it->port, it->serial};
        } else {
            target.port = row.unit;
            if (const auto known = modemOnPort(found, row.unit)) {
                target.serial = known->serial;
            }
            // Opened and let go at once: the one test that holds for every
            // kind of port.
            const auto probe = makeSystemSerialPort();
            if (const OpenResult opened = probe->open(row.unit); !opened.ok()) {
                missing.push_back("row " + std::to_string(row.line) + ", column port: " + row.unit +
                                  ": not connected (" + opened.reason + ")");
                continue;
            }
            probe->close();
        }
        plan.units.push_back(target);
        plan.settings.push_back(normalised(row.settings));
    }
    if (!missing.empty()) {
        for (const std::string& line : missing) {
            io.err << "modemctl: " << name << ": " << line << '\n';
        }
        io.err << "modemctl: " << name << ": nothing written\n";
        plan.status = 1;
        plan.units.clear();
    }
    return plan;
}

}  // namespace

ProgressDisplay::Mode progressMode(Streams io) {
    return &io.err == &std::cerr && standardErrorRedraws() ? ProgressDisplay::Mode::Terminal
                                                           : ProgressDisplay::Mode::Lines;
}

int runReadBatch(const ReadOptions& options, Streams io) {
    if (options.output && *options.output == standardStreamName) {
        io.err << "modemctl: -o -: several modems need a folder, one file per modem\n";
        return 2;
    }
    Mset base = defaultSettings();
    if (options.base && !readSettingsInput(*options.base, base, io)) {
        return 1;
    }
    const UnitSelection selection = selectUnits(options.port, io);
    if (selection.status != 0) {
        return selection.status;
    }
    const auto& units = selection.units;
    if (options.output) {
        std::error_code ec;
        std::filesystem::create_directories(pathFromUtf8(*options.output), ec);
        if (!std::filesystem::is_directory(pathFromUtf8(*options.output), ec)) {
            io.err << "modemctl: " << *options.output << ": not a folder\n";
            return 1;
        }
    }
    std::vector<std::optional<Mset>> settings(units.size());
    const auto outcomes =
        runWithTable(units, options.port.jobs, io, [&](std::size_t i, UnitSteps& steps) {
            UnitStreams own;
            const ModemRead read = readModemSettings(unitPortOptions(options.port, units[i]),
                                                     options.profile, base, own.streams(), &steps);
            if (read.interrupted) {
                return outcomeOf(interruptedStatus, {});
            }
            if (!read.settings) {
                return outcomeOf(1, own.err.str());
            }
            if (options.output) {
                const std::filesystem::path file =
                    pathFromUtf8(*options.output) / (unitFileName(units[i]) + ".cfg");
                if (const FileStatus saved = saveSettingsFile(file, *read.settings); !saved) {
                    return outcomeOf(1, pathToUtf8(file) + ": " + std::string(saved.message) +
                                            (saved.detail.empty() ? "" : ": " + saved.detail));
                }
            }
            settings[i] = read.settings;
            return outcomeOf(0, {});
        });
    ordered_json list = ordered_json::array();
    for (std::size_t i = 0; i < units.size(); ++i) {
        list.push_back({{"port", units[i].port},
                        {"serial", serialJson(units[i])},
                        {"settings", settings[i] ? ordered_json(msetToJson(*settings[i]))
                                                 : ordered_json(nullptr)}});
    }
    return finalStatus(batchStatus(outcomes), printJson(list, io));
}

int runWriteBatch(const WriteOptions& options, Streams io) {
    if (options.units &&
        (!options.port.ports.empty() || !options.port.serials.empty() || options.port.all)) {
        io.err << "modemctl: --units names the modems: leave out --port, --serial and --all\n";
        return 2;
    }
    Mset templ{};
    if (!readSettingsToWrite(options, templ, io)) {
        return 1;
    }
    WritePlan plan;
    if (options.units) {
        plan = planFromUnitsFile(options, templ, io);
    } else if (options.port.ports.empty() && options.port.serials.empty() && !options.port.all) {
        io.err << "modemctl: --records needs the modems named: --port, --serial or --all\n";
        return 2;
    } else {
        const UnitSelection selection = selectUnits(options.port, io);
        plan.status = selection.status;
        plan.units = selection.units;
        plan.settings.assign(plan.units.size(), normalised(templ));
    }
    if (plan.status != 0) {
        return plan.status;
    }
    std::filesystem::path records;
    if (options.records) {
        records = pathFromUtf8(*options.records);
        std::error_code ec;
        std::filesystem::create_directories(records, ec);
        if (!std::filesystem::is_directory(records, ec)) {
            io.err << "modemctl: " << *options.records << ": not a folder\n";
            return 1;
        }
    }
    const auto& units = plan.units;
    const auto outcomes =
        runWithTable(units, options.port.jobs, io, [&](std::size_t i, UnitSteps& steps) {
            UnitStreams own;
            UnitRecord record;
            record.unit = units[i];
            record.command = options.commandLine;
            record.started = std::chrono::system_clock::now();
            const std::string base = recordBaseName(units[i], record.started);
            PortOptions port = unitPortOptions(options.port, units[i]);
            if (options.records) {
                port.log = pathToUtf8(records / (base + ".log"));
            }
            const MsetImage image = toImage(plan.settings[i]);
            const WriteReport report =
                writeSettingsTo(plan.settings[i], options, port, own.streams(), &steps,
                                options.records.has_value());
            UnitOutcome outcome = outcomeOf(report.status, own.err.str());
            if (options.records) {
                record.ended = std::chrono::system_clock::now();
                record.version = report.version;
                if (report.uploaded) {
                    record.imageSha256 = hexDigest(sha256(image));
                }
                record.verified = report.verified;
                record.differences = report.differences;
                record.profileStored = report.stored;
                record.ok = outcome.ok;
                if (!outcome.ok) {
                    record.error = outcome.result;
                }
                if (const std::string failed = writeRecord(records, base, record);
                    !failed.empty()) {
                    return UnitOutcome{false, "record: " + failed, outcome.interrupted};
                }
            }
            return outcome;
        });
    return batchStatus(outcomes);
}

int runSendBatch(const std::string& bytes, const SendOptions& options, Streams io) {
    const UnitSelection selection = selectUnits(options.port, io);
    if (selection.status != 0) {
        return selection.status;
    }
    const auto& units = selection.units;
    std::vector<std::optional<std::string>> answers(units.size());
    const auto outcomes =
        runWithTable(units, options.port.jobs, io, [&](std::size_t i, UnitSteps& steps) {
            UnitStreams own;
            const SendReport report = sendToModem(
                bytes, options, unitPortOptions(options.port, units[i]), own.streams(), &steps);
            if (report.status == 0) {
                answers[i] = forTerminal(report.answer);
            }
            return outcomeOf(report.status, own.err.str());
        });
    ordered_json list = ordered_json::array();
    for (std::size_t i = 0; i < units.size(); ++i) {
        list.push_back(
            {{"port", units[i].port},
             {"serial", serialJson(units[i])},
             {"answer", answers[i] ? ordered_json(*answers[i]) : ordered_json(nullptr)}});
    }
    return finalStatus(batchStatus(outcomes), printJson(list, io));
}

}  // namespace modem::cli
