#include "ui/cp1251.h"

#include <array>
#include <cstdint>

namespace modem {

namespace {

constexpr char32_t unassigned = 0;

// Code points of bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr std::array<char32_t, 64> upperHalf{
    0x0402,     0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC,     0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452,     0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    unassigned, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0,     0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401,     0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0,     0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451,     0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

constexpr char32_t cyrillicA = 0x0410;
constexpr char32_t cyrillicYa = 0x044F;

char32_t codePointOf(unsigned char byte) {
    if (byte < 0x80) {
        return byte;
    }
    if (byte >= 0xC0) {
        return cyrillicA + (byte - 0xC0);
    }
    return upperHalf[byte - 0x80];
}

// The byte for a code point, or '?' when the code page has none.
char byteOf(char32_t cp) {
    if (cp < 0x80) {
        return static_cast<char>(cp);
    }
    if (cp >= cyrillicA && cp <= cyrillicYa) {
        return static_cast<char>(0xC0 + (cp - cyrillicA));
    }
    for (std::size_t i = 0; i < upperHalf.size(); ++i) {
        if (upperHalf[i] == cp && cp != unassigned) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        // Every code point of the table lies below U+10000.
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

struct Decoded {
    char32_t codePoint;  // meaningful only when valid
    std::size_t length;  // bytes consumed, at least 1
    bool valid;
};

// Decodes one UTF-8 sequence at `pos`. A malformed one consumes its longest
// well-formed prefix (at least one byte), so that each fault yields one "?"
// and the next character is not swallowed.
Decoded decodeAt(std::string_view s, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(s[pos]);
    if (lead < 0x80) {
        return {lead, 1, true};
    }
    std::size_t length = 0;
    char32_t cp = 0;
    unsigned char lo = 0x80;  // range of the second byte, narrowed against
    unsigned char hi = 0xBF;  // overlong forms, surrogates and > U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        if (lead == 0xE0) {
            lo = 0xA0;
        } else if (lead == 0xED) {
            hi = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        if (lead == 0xF0) {
            lo = 0x90;
        } else if (lead == 0xF4) {
            hi = 0x8F;
        }
    } else {
        return {0, 1, false};
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (pos + k >= s.size()) {
            return {0, k, false};
        }
        const auto b = static_cast<unsigned char>(s[pos + k]);
        const unsigned char low = k == 1 ? lo : 0x80;
        const unsigned char high = k == 1 ? hi : 0xBF;
        if (b < low || b > high) {
            return {0, k, false};
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    return {cp, length, true};
}

}  // namespace

std::string utf8ToCp1251(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const Decoded d = decodeAt(utf8, pos);
        out += d.valid ? byteOf(d.codePoint) : '?';
        pos += d.length;
    }
    return out;
}

std::string cp1251ToUtf8(std::string_view cp1251) {
    std::string out;
    out.reserve(cp1251.size() * 2);
    for (const char c : cp1251) {
        const char32_t cp = codePointOf(static_cast<unsigned char>(c));
        if (cp == unassigned && c != '\0') {
            out += '?';
        } else {
            appendUtf8(out, cp);
        }
    }
    return out;
}

}  // namespace modem
