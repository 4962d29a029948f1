#include "ui/channel_notation.h"

#include <algorithm>
#include <cstdio>

namespace modem {

namespace {

// A text as the parsers see it: at most 511 characters, then zeros. Reading
// at fixed columns past a short text therefore gives 0, never stale data.
class ReadBuffer {
public:
    explicit ReadBuffer(std::string_view text) {
        const std::size_t n = std::min(text.size(), notationReadLimit);
        std::copy_n(text.begin(), n, m_bytes.begin());
    }

    // The character code as a signed byte: codes 128..255 count as -128..-1.
    [[nodiscard]] int at(std::size_t pos) const {
        return static_cast<std::int8_t>(static_cast<unsigned char>(m_bytes[pos]));
    }

    // Up to the terminating zero, as a C string would end.
    [[nodiscard]] std::string_view text() const {
        return {m_bytes.data(),
                static_cast<std::size_t>(std::find(m_bytes.begin(), m_bytes.end(), '\0') -
                                         m_bytes.begin())};
    }

private:
    std::array<char, notationReadLimit + 1> m_bytes{};
};

constexpr std::size_t lineStride = 30;  // 28 characters and "\r\n"
constexpr int zero = '0';

// Six digit columns (three, a skipped separator, three) as one number below
// 1000000; the sum wraps to 32 bits before the remainder is taken.
std::uint32_t frequencyAt(const ReadBuffer& buf, std::size_t pos) {
    const std::int32_t sum = 100000 * buf.at(pos) + 10000 * buf.at(pos + 1) +
                             1000 * buf.at(pos + 2) + 100 * buf.at(pos + 4) + 10 * buf.at(pos + 5) +
                             buf.at(pos + 6) - 111111 * zero;
    return static_cast<std::uint32_t>(sum) % 1000000u;
}

bool isLetter(int c, char letter) {
    return c == letter || c == letter + ('a' - 'A');
}

}  // namespace

std::string renderChannelTable(const std::array<ChannelEntry, channelCount>& channels) {
    std::string text;
    text.reserve(channelCount * lineStride);
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const ChannelEntry& ch = channels[i];
        // Wide enough for the largest 32-bit values, which widen the line.
        char line[80];
        std::snprintf(line, sizeof line, "%02u-r%03u.%03u-t%03u.%03us%04up%s%s",
                      static_cast<unsigned>(i + 1), static_cast<unsigned>(ch.RXF / 1000),
                      static_cast<unsigned>(ch.RXF % 1000), static_cast<unsigned>(ch.TXF / 1000),
                      static_cast<unsigned>(ch.TXF % 1000), static_cast<unsigned>(ch.THR),
                      ch.PWR >= 6 ? "Hi" : "Lo", i + 1 < channels.size() ? "\r\n" : "");
        text += line;
    }
    return text;
}

void parseChannelTable(std::string_view text, std::array<ChannelEntry, channelCount>& channels) {
    const ReadBuffer buf(text);
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const std::size_t b = lineStride * i;
        ChannelEntry& ch = channels[i];
        ch.RXF = frequencyAt(buf, b + 4);
        ch.TXF = frequencyAt(buf, b + 13);
        const std::int32_t threshold = 1000 * buf.at(b + 21) + 100 * buf.at(b + 22) +
                                       10 * buf.at(b + 23) + buf.at(b + 24) - 1111 * zero;
        ch.THR = static_cast<std::uint16_t>(static_cast<std::uint32_t>(threshold) & 0x3FFu);
        ch.PWR = isLetter(buf.at(b + 26), 'H') && isLetter(buf.at(b + 27), 'I') ? 10 : 5;
    }
}

std::string renderPathList(unsigned count, std::uint32_t packed) {
    if (count < 1 || count > 8) {
        return {};
    }
    std::string text;
    for (unsigned j = 0; j < count; ++j) {
        char item[4];
        std::snprintf(item, sizeof item, "%02u", ((packed >> (28 - 4 * j)) & 15u) + 1);
        if (j != 0) {
            text += '-';
        }
        text += item;
    }
    return text;
}

PathList parsePathList(std::string_view text) {
    const ReadBuffer buf(text);
    const std::string_view read = buf.text();
    const auto dashes = static_cast<std::size_t>(std::count(read.begin(), read.end(), '-'));
    PathList list;
    list.count = static_cast<std::uint16_t>(std::min<std::size_t>(dashes + 1, 8));
    list.packed = 0;
    for (unsigned j = 0; j < list.count; ++j) {
        const int n = 10 * buf.at(3 * j) + buf.at(3 * j + 1) - 11 * zero;
        // Truncating remainder: it keeps the sign of n, and an item whose
        // remainder is 0 borrows from the items before it. The sum wraps.
        const int r = n % 17;
        list.packed += static_cast<std::uint32_t>(r - 1) * (1u << (4 * (7 - j)));
    }
    return list;
}

}  // namespace modem
