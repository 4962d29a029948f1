#include "traffic/line_gatherer.h"

#include <algorithm>

namespace modem {

void LineGatherer::add(std::string& out, TrafficClock::time_point when,
                       std::span<const std::uint8_t> bytes, std::uint64_t origin) {
    if (bytes.empty()) {
        return;
    }
    if (open() && when - m_last >= quietEnd) {
        end(out);
    }
    if (m_endsAtLf) {
        if (bytes.front() == '\n') {
            m_bytes.push_back('\n');
            bytes = bytes.subspan(1);
        }
        end(out);
    }
    while (!bytes.empty()) {
        const std::size_t room = maxEntryBytes - m_bytes.size();
        const auto window = bytes.first(std::min(room, bytes.size()));
        const auto lineEnd = std::find_if(window.begin(), window.end(),
                                          [](std::uint8_t b) { return b == '\r' || b == '\n'; });
        std::size_t n = window.size();
        bool complete = n == room;
        bool waitForLf = false;
        if (lineEnd != window.end()) {
            n = static_cast<std::size_t>(lineEnd - window.begin()) + 1;
            complete = true;
            if (*lineEnd == '\r' && n < room) {
                if (n == bytes.size()) {
                    // Whether an LF follows is known only with the next bytes.
                    complete = false;
                    waitForLf = true;
                } else if (bytes[n] == '\n') {
                    ++n;
                }
            }
        }
        const auto piece = bytes.first(n);
        bytes = bytes.subspan(n);
        if (!open() && complete) {
            // A whole line within one read, the usual case, needs no copy.
            appendTrafficEntry(out, when, m_direction, piece);
            continue;
        }
        if (!open()) {
            m_first = when;
            m_origin = origin;
        }
        m_bytes.insert(m_bytes.end(), piece.begin(), piece.end());
        m_last = when;
        m_endsAtLf = waitForLf;
        if (complete) {
            end(out);
        }
    }
}

void LineGatherer::end(std::string& out) {
    if (open()) {
        appendTrafficEntry(out, m_first, m_direction, m_bytes);
        m_bytes.clear();
    }
    m_endsAtLf = false;
}

void LineGatherer::endIfQuiet(std::string& out, TrafficClock::time_point now) {
    if (open() && now - m_last >= quietEnd) {
        end(out);
    }
}

}  // namespace modem
