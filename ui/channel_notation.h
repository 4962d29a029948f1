#pragma once

// The text notations the operator edits: the channel table, one fixed-width
// line per channel, and the path lists, two-digit channel numbers joined by
// "-". Parsing never fails: every text yields values by fixed-column arithmetic.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/mset.h"

namespace modem {

// A path list as the image holds it.
struct PathList {
    std::uint16_t count = 1;   // items, 1..8
    std::uint32_t packed = 0;  // item j (channel - 1) in nibble j from the top

    friend bool operator==(const PathList&, const PathList&) = default;
};

// The most characters a parser looks at; the rest of a longer text is ignored.
inline constexpr std::size_t notationReadLimit = 511;

// 16 lines of 28 characters, "\r\n" between them: 478 characters while every
// frequency is below 1000000 kHz and every threshold below 10000.
[[nodiscard]] std::string renderChannelTable(
    const std::array<ChannelEntry, channelCount>& channels);

// Writes every row of `channels`, whatever the text holds.
void parseChannelTable(std::string_view text, std::array<ChannelEntry, channelCount>& channels);

// Empty for a count outside 1..8, for which the notation has no text.
[[nodiscard]] std::string renderPathList(unsigned count, std::uint32_t packed);

[[nodiscard]] PathList parsePathList(std::string_view text);

}  // namespace modem
