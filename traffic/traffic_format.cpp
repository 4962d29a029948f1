#include "traffic/traffic_format.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "ui/cp1251.h"

namespace modem {

namespace {

constexpr char hexDigits[] = "0123456789ABCDEF";

struct ByteForm {
    std::string text;  // as it appears between the quotes
    bool visible = true;
};

// The bytes that stand for themselves between the quotes: printable ASCII
// but the quote and the backslash.
constexpr std::array<bool, 256> copiedAsIs = [] {
    std::array<bool, 256> table{};
    for (unsigned b = 0x20; b < 0x7F; ++b) {
        table[b] = b != '"' && b != '\\';
    }
    return table;
}();

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

// The length of the UTF-8 sequence at the start of `bytes` that stands for a
// visible character, or 0 when the first byte is no such sequence: a stray or
// overlong byte, a surrogate, a C1 control, the no-break space or the soft
// hyphen.
std::size_t visibleUtf8Length(std::span<const std::uint8_t> bytes) {
    const unsigned lead = bytes[0];
    std::size_t length = 0;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (bytes.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((bytes[i] & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (bytes[i] & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool invisible = code < 0xA1 || code == 0xAD;
    if (overlong || invisible || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        return 0;
    }
    return length;
}

// A status text is the system's own, in UTF-8: its characters are written as
// they are, and only the bytes that are no visible character are escaped.
void appendStatusText(std::string& out, std::span<const std::uint8_t> bytes) {
    const auto& forms = byteForms();
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned b = bytes[i];
        if (b < 0x80) {
            out += forms[b].text;
            ++i;
        } else if (const std::size_t n = visibleUtf8Length(bytes.subspan(i)); n != 0) {
            out.append(reinterpret_cast<const char*>(bytes.data()) + i, n);
            i += n;
        } else {
            out += {'\\', 'x', hexDigits[b >> 4], hexDigits[b & 0xF]};
            ++i;
        }
    }
}

void appendTrafficTime(std::string& out, TrafficClock::time_point when) {
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(when);
    const auto second = floor<seconds>(ms);
    // A busy line gives many entries a second: the date and the time up to the
    // second are worked out once for each second.
    thread_local auto cachedSecond = time_point<TrafficClock, seconds>::min();
    thread_local std::array<char, 40> prefix{};
    thread_local std::size_t prefixLength = 0;
    if (second != cachedSecond) {
        const auto day = floor<days>(second);
        const year_month_day date{day};
        const hh_mm_ss time{second - day};
        const int n = std::snprintf(
            prefix.data(), prefix.size(), "%04d-%02u-%02uT%02d:%02d:%02d.",
            static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
            static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
            static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()));
        prefixLength = n > 0 ? std::min(static_cast<std::size_t>(n), prefix.size() - 1) : 0;
        cachedSecond = second;
    }
    out.append(prefix.data(), prefixLength);
    const auto milli = static_cast<unsigned>((ms - second).count());
    out += static_cast<char>('0' + milli / 100);
    out += static_cast<char>('0' + milli / 10 % 10);
    out += static_cast<char>('0' + milli % 10);
    out += 'Z';
}

}  // namespace

std::string formatTrafficTime(TrafficClock::time_point when) {
    std::string text;
    appendTrafficTime(text, when);
    return text;
}

void appendTrafficEntry(std::string& out, TrafficClock::time_point when, TrafficDirection direction,
                        std::span<const std::uint8_t> bytes) {
    appendTrafficTime(out, when);
    out += ' ';
    out += markOf(direction);
    out += " \"";
    if (direction == TrafficDirection::Status) {
        appendStatusText(out, bytes);
        out += "\"\n";
        return;
    }
    const auto& forms = byteForms();
    bool allVisible = true;
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n;) {
        // Runs of plain ASCII, the bulk of a modem's text, are copied whole.
        std::size_t run = i;
        while (run < n && copiedAsIs[bytes[run]]) {
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
    // The text up to its closing quote, escapes resolved. A status text is
    // UTF-8 and its \xHH escapes are its own bytes; the bytes of a burst are
    // code page 1251 shown as UTF-8, so its text stays UTF-8 until the end and
    // a \xHH escape only says that the hex part follows with the exact bytes.
    const bool status = entry.direction == TrafficDirection::Status;
    std::string text;
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
            text += c;
            continue;
        }
        if (++i >= line.size()) {
            return std::nullopt;
        }
        switch (line[i]) {
            case 'r':
                text += '\r';
                break;
            case 'n':
                text += '\n';
                break;
            case 't':
                text += '\t';
                break;
            case '"':
                text += '"';
                break;
            case '\\':
                text += '\\';
                break;
            case 'x': {
                if (i + 2 >= line.size() || hexValueOf(line[i + 1]) < 0 ||
                    hexValueOf(line[i + 2]) < 0) {
                    return std::nullopt;
                }
                if (status) {
                    text +=
                        static_cast<char>(hexValueOf(line[i + 1]) * 16 + hexValueOf(line[i + 2]));
                } else {
                    hexEscapes = true;
                }
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    std::string_view rest = line.substr(i + 1);
    if (!hexEscapes && (rest.empty() || !status)) {
        if (!rest.empty()) {
            return std::nullopt;
        }
        const std::string bytes = status ? text : utf8ToCp1251(text);
        entry.bytes.assign(bytes.begin(), bytes.end());
        return entry;
    }
    // A status line may carry a hex part too: logs of earlier versions wrote
    // status texts like bursts.
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
