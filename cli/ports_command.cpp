// modemctl ports: every serial port with its USB identity, marking the
// modem's; as lines for a person, or as JSON for a script that picks units by
// serial number or place.

#include <cerrno>
#include <nlohmann/json.hpp>

#include <memory>
#include <string>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "link/discovery.h"

namespace modem::cli {

namespace {

struct PortsOptions {
    std::string sysfsRoot{"/sys"};
    bool json = false;
};

// Absent values are null, so that every object has every key.
nlohmann::ordered_json portJson(const PortInfo& port) {
    const auto orNull = [](const std::string& text) {
        return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
    };
    nlohmann::ordered_json object;
    object["port"] = port.path;
    object["usbVendor"] = orNull(port.usbVendor);
    object["usbProduct"] = orNull(port.usbProduct);
    object["serial"] = port.serial ? nlohmann::ordered_json(*port.serial) : nullptr;
    object["place"] = orNull(port.place);
    object["modem"] = port.matchesModem;
    return object;
}

void printLine(const PortInfo& port, std::ostream& out) {
    out << port.path;
    if (!port.usbVendor.empty()) {
        out << "  " << port.usbVendor << ':' << port.usbProduct;
    }
    if (port.serial) {
        out << "  serial " << *port.serial;
    }
    if (!port.place.empty()) {
        out << "  at " << port.place;
    }
    if (port.matchesModem) {
        out << "  modem";
    }
    out << '\n';
}

int runPorts(const PortsOptions& options, Streams io) {
    const auto ports = listSerialPorts(options.sysfsRoot);
    if (ports.empty()) {
        io.err << "modemctl: no serial ports found\n";
    }
    errno = 0;
    if (options.json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const auto& port : ports) {
            list.push_back(portJson(port));
        }
        // Device texts are printable already; the replacement only guards the rest.
        io.out << list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
               << '\n';
    } else {
        for (const auto& port : ports) {
            printLine(port, io.out);
        }
    }
    return outputWritten(io) ? 0 : 1;
}

}  // namespace

void addPortsCommand(CLI::App& app, Action& chosen, Streams io) {
    auto options = std::make_shared<PortsOptions>();
    auto* cmd = app.add_subcommand("ports", "List serial ports, marking the modem's");
    cmd->add_option("--sysfs-root", options->sysfsRoot, "Root of the sysfs tree")->group("");
    cmd->add_flag("--json", options->json,
                  "Print a JSON array: port, USB ids, serial number, place, modem");
    cmd->callback(
        [options, &chosen, io] { chosen = [options, io] { return runPorts(*options, io); }; });
}

}  // namespace modem::cli
