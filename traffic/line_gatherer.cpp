#include "traffic/line_gatherer.h"

#include <algorithm>
#include <cstring>

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
    // Where the next CR and the next LF are, each looked for again only once
    // passed: one pass over the bytes, however many lines they hold.
    const std::size_t size = bytes.size();
    std::size_t pos = 0;
    const auto findFrom = [&](std::uint8_t b) {
        const void* at = std::memchr(bytes.data() + pos, b, size - pos);
        return at != nullptr
                   ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(at) - bytes.data())
                   : size;
    };
    std::size_t nextCr = findFrom('\r');
    std::size_t nextLf = findFrom('\n');
    while (pos < size) {
        if (nextCr < pos) {
            nextCr = findFrom('\r');
        }
        if (nextLf < pos) {
            nextLf = findFrom('\n');
        }
        const std::size_t room = maxEntryBytes - m_bytes.size();
        const std::size_t lineEnd = std::min(nextCr, nextLf);
        std::size_t stop = std::min(pos + room, size);
        bool complete = stop - pos == room;
        bool waitForLf = false;
        if (lineEnd < stop) {
            stop = lineEnd + 1;
            complete = true;
            if (bytes[lineEnd] == '\r' && stop - pos < room) {
                if (stop == size) {
                    // Whether an LF follows is known only with the next bytes.
                    complete = false;
                    waitForLf = true;
                } else if (bytes[stop] == '\n') {
                    ++stop;
                }
            }
        }
        const auto piece = bytes.subspan(pos, stop - pos);
        pos = stop;
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
