#include "link/discovery.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "link/terminal_pane.h"

namespace modem {

std::string modemIdentity() {
    char text[32];
    std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X", modemVendorId, modemProductId);
    return text;
}

bool matchesModemIdentity(std::string_view hardwareId) {
    const std::string identity = modemIdentity();
    if (hardwareId.size() < identity.size()) {
        return false;
    }
    return std::equal(identity.begin(), identity.end(), hardwareId.begin(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

bool naturalLess(std::string_view a, std::string_view b) {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t ei = i;
            std::size_t ej = j;
            while (ei < a.size() && isDigit(a[ei])) {
                ++ei;
            }
            while (ej < b.size() && isDigit(b[ej])) {
                ++ej;
            }
            // Compare by value without overflow: skip leading zeros, then length.
            std::size_t si = i;
            std::size_t sj = j;
            while (si + 1 < ei && a[si] == '0') {
                ++si;
            }
            while (sj + 1 < ej && b[sj] == '0') {
                ++sj;
            }
            const auto da = a.substr(si, ei - si);
            const auto db = b.substr(sj, ej - sj);
            if (da.size() != db.size()) {
                return da.size() < db.size();
            }
            if (da != db) {
                return da < db;
            }
            if (ei - i != ej - j) {
                return ei - i < ej - j;  // "01" after "1": any stable tie-break
            }
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j]) {
                return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
            }
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

std::string printableDeviceText(std::string_view text) {
    std::string shown(text);
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E) {
            c = '?';
        }
    }
    return shown;
}

void logFoundModems(TerminalPane& pane, const std::vector<ModemPort>& found) {
    if (found.empty()) {
        pane.logLine("no device found");
        return;
    }
    const ModemPort& taken = found.back();
    const std::string name = taken.name.substr(0, maxPortNameLength);
    if (found.size() > 1) {
        // Twins are told apart by what the devices carry, not by the port
        // name, which the system may hand out differently after a re-plug.
        std::string line = std::to_string(found.size()) + " devices found; using " + name;
        line += taken.serial ? ": serial " + *taken.serial : ": no serial";
        if (!taken.place.empty()) {
            // A place that does not fit the pane's line (a location path on
            // Windows) gets a line of its own rather than being wrapped.
            const std::string at = "at " + taken.place;
            if (line.size() + 2 + at.size() <= TerminalPane::maxLineLength) {
                line += ", " + at;
            } else {
                pane.logLine(line);
                line = name + " " + at;
            }
        }
        pane.logLine(line);
    }
    pane.logLine("device found on " + name);
}

std::string FixedPortFinder::findModemPort(TerminalPane& pane) {
    pane.logLine("device found on " + m_path);
    return m_path;
}

}  // namespace modem
