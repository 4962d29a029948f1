#include "win32/wide_text.h"

#include <array>

#include "ui/cp1251.h"

namespace modem {

namespace {

constexpr char16_t controlPicturesBase = 0x2400;  // U+2400..U+241F for bytes 0x00..0x1F
constexpr char16_t deletePicture = 0x2421;
constexpr unsigned char unassignedByte = 0x98;
constexpr char16_t unassignedShown = 0xFFFD;

// One UTF-8 sequence of at most three bytes (all code page 1251 needs) at `pos`.
char16_t decodeBmp(std::string_view utf8, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(utf8[pos++]);
    if (lead < 0x80) {
        return lead;
    }
    const int extra = lead >= 0xE0 ? 2 : 1;
    char32_t cp = lead & (extra == 2 ? 0x0F : 0x1F);
    for (int k = 0; k < extra && pos < utf8.size(); ++k) {
        cp = (cp << 6) | (static_cast<unsigned char>(utf8[pos++]) & 0x3F);
    }
    return static_cast<char16_t>(cp);
}

// The character of every byte as drawn, from the one code page table.
const std::array<char16_t, 256>& shownCharacters() {
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        for (int b = 0; b < 256; ++b) {
            if (b < 0x20) {
                t[b] = static_cast<char16_t>(controlPicturesBase + b);
            } else if (b == 0x7F) {
                t[b] = deletePicture;
            } else if (b == unassignedByte) {
                t[b] = unassignedShown;
            } else {
                const std::string utf8 = cp1251ToUtf8(std::string(1, static_cast<char>(b)));
                std::size_t pos = 0;
                t[b] = decodeBmp(utf8, pos);
            }
        }
        return t;
    }();
    return table;
}

char byteOfShown(char16_t c) {
    if (c >= 0x20 && c < 0x7F) {
        return static_cast<char>(c);
    }
    const auto& table = shownCharacters();
    for (std::size_t b = 0; b < table.size(); ++b) {
        if (table[b] == c) {
            return static_cast<char>(b);
        }
    }
    return c < 0x20 ? static_cast<char>(c) : '?';  // a typed tab or lone CR stays itself
}

}  // namespace

std::u16string bytesToWide(std::string_view cp1251) {
    const auto& table = shownCharacters();
    std::u16string out;
    out.reserve(cp1251.size());
    for (std::size_t i = 0; i < cp1251.size(); ++i) {
        if (cp1251[i] == '\r' && i + 1 < cp1251.size() && cp1251[i + 1] == '\n') {
            out += u"\r\n";
            ++i;
        } else {
            out += table[static_cast<unsigned char>(cp1251[i])];
        }
    }
    return out;
}

std::string wideToBytes(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            out += "\r\n";
            ++i;
        } else if (c == u'\n') {
            out += "\r\n";
        } else {
            out += byteOfShown(c);
        }
    }
    return out;
}

std::u16string utf8ToWide(std::string_view utf8) {
    // Every template text lies within code page 1251; taking it through the
    // code page keeps one table for both directions.
    const std::string bytes = utf8ToCp1251(utf8);
    std::u16string out;
    out.reserve(bytes.size());
    for (const char b : bytes) {
        const auto byte = static_cast<unsigned char>(b);
        out += byte < 0x80 ? static_cast<char16_t>(byte) : shownCharacters()[byte];
    }
    return out;
}

}  // namespace modem
