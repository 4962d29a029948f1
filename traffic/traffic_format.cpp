#include "traffic/traffic_format.h"

#include <array>
#include <cstdio>

#include "ui/cp1251.h"

namespace modem {

namespace {

constexpr char hexDigits[] = "0123456789ABCDEF";

struct ByteForm {
    std::string text;  // as it appears between the quotes
    bool visible = true;
    bool asIs = false;  // the text is the byte itself
};

bool hasOwnGlyph(unsigned b) {
    return (b >= 0x20 && b < 0x7F) || (b >= 0x80 && b != 0x98 && b != 0xA0 && b != 0xAD);
}

// Every byte's text, worked out once: formatting a burst is then one lookup per
// byte, which keeps a fast stream cheap to log.
const std::array<ByteForm, 256>& byteForms() {
    static const std::array<ByteForm, 256> forms = [] {
        std::array<ByteForm, 256> table;
        for (unsigned b = 0; b < 256; ++b) {
            ByteForm& f = table[b];
            switch (b) {
                case '\r':
                    f.text = "\\r";
                    break;
                case '\n':
                    f.text = "\\n";
                    break;
                case '\t':
                    f.text = "\\t";
                    break;
                case '"':
                    f.text = "\\\"";
                    break;
                case '\\':
                    f.text = "\\\\";
                    break;
                default:
                    if (hasOwnGlyph(b)) {
                        f.text = cp1251ToUtf8(std::string(1, static_cast<char>(b)));
                        f.asIs = b < 0x80;
                    } else {
                        f.text = {'\\', 'x', hexDigits[b >> 4], hexDigits[b & 0xF]};
                        f.visible = false;
                    }
            }
        }
        return table;
    }();
    return forms;
}

char markOf(TrafficDirection direction) {
    switch (direction) {
        case TrafficDirection::ToModem:
            return '>';
        case TrafficDirection::FromModem:
            return '<';
        case TrafficDirection::Status:
            break;
    }
    return '#';
}

int hexValueOf(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace

std::string formatTrafficTime(TrafficClock::time_point when) {
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(when);
    const auto day = floor<days>(ms);
    const year_month_day date{day};
    const hh_mm_ss time{ms - day};
    char text[32];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
        static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()));
    return text;
}

void appendTrafficEntry(std::string& out, TrafficClock::time_point when, TrafficDirection direction,
                        std::span<const std::uint8_t> bytes) {
    const auto& forms = byteForms();
    out += formatTrafficTime(when);
    out += ' ';
    out += markOf(direction);
    out += " \"";
    bool allVisible = true;
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n;) {
        // Runs of plain ASCII, the bulk of a modem's text, are copied whole.
        std::size_t run = i;
        while (run < n && forms[bytes[run]].asIs) {
            ++run;
        }
        out.append(reinterpret_cast<const char*>(bytes.data()) + i, run - i);
        if (run == n) {
            break;
        }
        const ByteForm& f = forms[bytes[run]];
        out += f.text;
        allVisible = allVisible && f.visible;
        i = run + 1;
    }
    out += '"';
    if (!allVisible) {
        out += " hex";
        for (const std::uint8_t b : bytes) {
            out += ' ';
            out += hexDigits[b >> 4];
            out += hexDigits[b & 0xF];
        }
    }
    out += '\n';
}

std::optional<TrafficEntry> parseTrafficEntry(std::string_view line) {
    // time, space, mark, space, quote
    const std::size_t timeEnd = line.find(' ');
    if (timeEnd == std::string_view::npos || line.size() < timeEnd + 4 ||
        line[timeEnd + 2] != ' ' || line[timeEnd + 3] != '"') {
        return std::nullopt;
    }
    TrafficEntry entry;
    entry.time = std::string(line.substr(0, timeEnd));
    switch (line[timeEnd + 1]) {
        case '>':
            entry.direction = TrafficDirection::ToModem;
            break;
        case '<':
            entry.direction = TrafficDirection::FromModem;
            break;
        case '#':
            entry.direction = TrafficDirection::Status;
            break;
        default:
            return std::nullopt;
    }
    // The text up to its closing quote, escapes resolved; it stays UTF-8 until
    // the end, since a \xHH byte is no part of a UTF-8 sequence.
    std::string utf8;
    std::size_t i = timeEnd + 4;
    bool hexEscapes = false;
    for (;; ++i) {
        if (i >= line.size()) {
            return std::nullopt;
        }
        const char c = line[i];
        if (c == '"') {
            break;
        }
        if (c != '\\') {
            utf8 += c;
            continue;
        }
        if (++i >= line.size()) {
            return std::nullopt;
        }
        switch (line[i]) {
            case 'r':
                utf8 += '\r';
                break;
            case 'n':
                utf8 += '\n';
                break;
            case 't':
                utf8 += '\t';
                break;
            case '"':
                utf8 += '"';
                break;
            case '\\':
                utf8 += '\\';
                break;
            case 'x':
                // The hex part that follows has the burst's exact bytes.
                hexEscapes = true;
                i += 2;
                break;
            default:
                return std::nullopt;
        }
    }
    std::string_view rest = line.substr(i + 1);
    if (!hexEscapes) {
        if (!rest.empty()) {
            return std::nullopt;
        }
        const std::string bytes = utf8ToCp1251(utf8);
        entry.bytes.assign(bytes.begin(), bytes.end());
        return entry;
    }
    if (!rest.starts_with(" hex")) {
        return std::nullopt;
    }
    rest.remove_prefix(4);
    while (!rest.empty()) {
        if (rest.size() < 3 || rest[0] != ' ' || hexValueOf(rest[1]) < 0 ||
            hexValueOf(rest[2]) < 0) {
            return std::nullopt;
        }
        entry.bytes.push_back(
            static_cast<std::uint8_t>(hexValueOf(rest[1]) * 16 + hexValueOf(rest[2])));
        rest.remove_prefix(3);
    }
    return entry;
}

}  // namespace modem
