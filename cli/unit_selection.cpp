#include "cli/unit_selection.h"

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "settings/utf8_path.h"

namespace modem::cli {

namespace {

int failure(Streams io, int status, const std::string& text) {
    io.err << "modemctl: " << text << '\n';
    return status;
}

}  // namespace

bool choosesUnits(const PortOptions& options) {
    return options.ports.size() > 1 || !options.serials.empty() || options.all;
}

std::optional<ModemPort> modemOnPort(const std::vector<ModemPort>& found, const std::string& port) {
    const auto it = std::find_if(found.begin(), found.end(), [&](const ModemPort& m) {
        return m.port == port || m.name == port;
    });
    return it == found.end() ? std::nullopt : std::optional<ModemPort>(*it);
}

std::vector<ModemPort> modemsPresent(const PortOptions& options) {
    return findModems(pathFromUtf8(options.sysfsRoot), pathFromUtf8(options.devRoot));
}

UnitSelection selectUnits(const PortOptions& options, const std::vector<ModemPort>& found,
                          Streams io) {
    UnitSelection selection;
    if (options.all && (!options.ports.empty() || !options.serials.empty())) {
        selection.status =
            failure(io, 2, "--all chooses every modem: leave out --port and --serial");
        return selection;
    }
    if (options.all) {
        if (found.empty()) {
            selection.status = failure(io, 1, "no device found");
            return selection;
        }
        for (const ModemPort& modem : found) {
            selection.units.push_back({modem.port, modem.serial});
        }
        return selection;
    }
    for (const std::string& port : options.ports) {
        const auto known = modemOnPort(found, port);
        selection.units.push_back({port, known ? known->serial : std::nullopt});
    }
    for (const std::string& serial : options.serials) {
        if (std::count(options.serials.begin(), options.serials.end(), serial) > 1) {
            selection.status = failure(io, 2, "serial " + serial + ": given twice");
            return selection;
        }
        const auto it = std::find_if(found.begin(), found.end(),
                                     [&](const ModemPort& m) { return m.serial == serial; });
        if (it == found.end()) {
            selection.status = failure(io, 1, "serial " + serial + ": not connected");
            return selection;
        }
        selection.units.push_back({it->port, it->serial});
    }
    // The same modem twice would be opened twice: the second open fails, or
    // worse, the two sessions interleave on one line.
    for (std::size_t i = 0; i < selection.units.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (selection.units[i].port == selection.units[j].port) {
                selection.status = failure(io, 2, selection.units[i].port + ": chosen twice");
                return selection;
            }
        }
    }
    return selection;
}

UnitSelection selectUnits(const PortOptions& options, Streams io) {
    return selectUnits(options, modemsPresent(options), io);
}

PortOptions unitPortOptions(const PortOptions& options, const UnitTarget& unit) {
    PortOptions own;
    own.port = unit.port;
    own.sysfsRoot = options.sysfsRoot;
    own.devRoot = options.devRoot;
    if (!options.log.empty()) {
        const std::filesystem::path given = pathFromUtf8(options.log);
        std::filesystem::path numbered = given.parent_path();
        numbered /= pathFromUtf8(pathToUtf8(given.stem()) + "-" + unitFileName(unit) +
                                 pathToUtf8(given.extension()));
        own.log = pathToUtf8(numbered);
    }
    return own;
}

}  // namespace modem::cli
