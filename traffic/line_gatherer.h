#pragma once

// Gathers the bytes of one direction into one log entry per line, so that a
// modem's answer that arrives a few bytes at a time reads as its lines: an
// entry ends after a CR or an LF (a CR and the LF straight after it end one
// entry), before a byte that comes 50 ms or more after the one before it, at
// 4 KiB, or when the caller ends it (the other direction or a status line
// comes, or the log is flushed). An entry's time is its first byte's.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "traffic/traffic_format.h"

namespace modem {

class LineGatherer {
public:
    static constexpr std::chrono::milliseconds quietEnd{50};
    static constexpr std::size_t maxEntryBytes = 4096;

    explicit LineGatherer(TrafficDirection direction) : m_direction(direction) {}

    // Bytes that came at `when`, no earlier than the bytes before them. Each
    // entry they complete is appended to `out`. `origin` tags the bytes: the
    // entry still open reports the tag of its first bytes.
    void add(std::string& out, TrafficClock::time_point when, std::span<const std::uint8_t> bytes,
             std::uint64_t origin);
    // Appends the open entry, if any.
    void end(std::string& out);
    // Appends the open entry once `now` is quietEnd or more past its last byte.
    void endIfQuiet(std::string& out, TrafficClock::time_point now);

    [[nodiscard]] bool open() const { return !m_bytes.empty(); }
    // Of the open entry.
    [[nodiscard]] TrafficClock::time_point lastByteTime() const { return m_last; }
    [[nodiscard]] std::uint64_t origin() const { return m_origin; }

private:
    TrafficDirection m_direction;
    std::vector<std::uint8_t> m_bytes;  // the open entry
    TrafficClock::time_point m_first;   // its first byte's time
    TrafficClock::time_point m_last;    // its last byte's time
    std::uint64_t m_origin = 0;
    bool m_endsAtLf = false;  // it ends in CR: an LF may still join it, nothing else
};

}  // namespace modem
