#pragma once

// What an error code from a call on the open serial port means for the link.
// One table holds every code the port's calls are known to give, with the
// reason it is classed as it is; messages keep the number as well.

#include <windows.h>

#include <span>
#include <string_view>

namespace modem {

enum class PortFault {
    Gone,       // the device is not coming back on this handle: the link ends as on an unplug
    Transient,  // a passing fault of the line or of one request: clear the error state, go on
    Refused,    // the driver will not do this request: another way, or a counted retry
};

struct PortErrorClass {
    DWORD code;
    PortFault fault;
    std::string_view reason;  // why the code is classed so: which drivers give it, and when
};

// Every code the table knows, each once.
[[nodiscard]] std::span<const PortErrorClass> portErrorTable();

// The class of `code`; a code not in the table counts as Refused, so that a
// run of unknown failures ends in a hang-up by the failure count rather than
// at once or never.
[[nodiscard]] PortFault classifyPortError(DWORD code);

}  // namespace modem
