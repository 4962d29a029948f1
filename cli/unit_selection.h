#pragma once

// Which modems a batch command works on: the ports named, the modems found
// with the serial numbers named, or every modem found. Each is told apart by
// its USB serial number where discovery knows it.

#include <optional>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/commands.h"
#include "cli/modem_read.h"
#include "link/discovery.h"

namespace modem::cli {

struct UnitSelection {
    std::vector<UnitTarget> units;  // in the order given (for --all, discovery's)
    int status = 0;                 // 0, or the exit status after one line on standard error
};

// Resolves --port, --serial and --all against `found` (the modems present).
// A port or serial number given twice, or --all beside the others, is a usage
// error (2); a serial number that no modem present carries, or --all with no
// modem, is a failure (1).
[[nodiscard]] UnitSelection selectUnits(const PortOptions& options,
                                        const std::vector<ModemPort>& found, Streams io);

// The same against the modems present on this system.
[[nodiscard]] UnitSelection selectUnits(const PortOptions& options, Streams io);

// The modem present on `port`, if discovery knows it.
[[nodiscard]] std::optional<ModemPort> modemOnPort(const std::vector<ModemPort>& found,
                                                   const std::string& port);

// Discovery of every modem, with the roots the options give.
[[nodiscard]] std::vector<ModemPort> modemsPresent(const PortOptions& options);

// Per-unit options: the session of one unit. Its traffic log, when one was
// asked for with --log FILE, is FILE with the unit's file name before the
// extension ("traffic.log" gives "traffic-ttyACM0.log").
[[nodiscard]] PortOptions unitPortOptions(const PortOptions& options, const UnitTarget& unit);

}  // namespace modem::cli
