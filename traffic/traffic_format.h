#pragma once

// One line of the traffic log per entry:
//
//   2026-12-07T12:13:14.123Z > "+cfge\r"
//   2026-12-07T12:13:14.180Z < "Config mode on\r"
//   2026-12-07T12:13:15.002Z > "\x01\x80A..." hex 01 80 41 ...
//   2026-12-07T12:13:15.300Z # "device disconnected"
//
// The time is UTC with milliseconds. The mark gives the direction on the line
// as seen from the configuring tool: '>' towards the modem, '<' from the modem,
// '#' a status line. The bytes of '>' and '<' are text between quotes, code
// page 1251 shown as UTF-8, with CR, LF, TAB, the quote and the backslash
// escaped (\r \n \t \" \\). A byte without a visible character of its own
// (other control bytes, DEL, 0x98, the no-break space 0xA0, the soft hyphen
// 0xAD) is written \xHH, and then the whole entry follows once more in hex, so
// that binary data such as a settings image reads as hex while text stays
// readable. A status text is UTF-8 and is written as it is, with the same
// escapes; a byte that is no visible character (a control, a broken sequence)
// is written \xHH and stands for itself, without a hex part.

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace modem {

enum class TrafficDirection {
    ToModem,    // '>'
    FromModem,  // '<'
    Status,     // '#'
};

using TrafficClock = std::chrono::system_clock;

// "YYYY-MM-DDTHH:MM:SS.mmmZ".
[[nodiscard]] std::string formatTrafficTime(TrafficClock::time_point when);

// Appends one entry, with its line break, to `out`. Status bytes are taken as
// UTF-8, the others as code page 1251.
void appendTrafficEntry(std::string& out, TrafficClock::time_point when, TrafficDirection direction,
                        std::span<const std::uint8_t> bytes);

struct TrafficEntry {
    std::string time;  // as written
    TrafficDirection direction = TrafficDirection::Status;
    std::vector<std::uint8_t> bytes;
};

// Reads back one line (without its line break); nothing when it is no entry.
[[nodiscard]] std::optional<TrafficEntry> parseTrafficEntry(std::string_view line);

}  // namespace modem
