#include "ui/channel_notation.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "settings/mset.h"

namespace modem {
namespace {

std::string lineOf(const std::string& table, std::size_t i) {
    return table.substr(30 * i, 28);
}

TEST(ChannelTable, DefaultsRenderSixteenFixedWidthLines) {
    const std::string text = renderChannelTable(defaultSettings().CH);
    ASSERT_EQ(text.size(), 478u);
    EXPECT_EQ(text.substr(0, 30), "01-r155.225-t155.225s0330pHi\r\n");
    EXPECT_EQ(text.substr(450), "16-r155.475-t155.475s0330pHi");
}

TEST(ChannelTable, RendersPowerAndLargeFrequencies) {
    struct Case {
        ChannelEntry ch;
        const char* line;
    };
    const Case cases[] = {
        {{155225, 155225, 330, 5}, "01-r155.225-t155.225s0330pLo"},
        {{155225, 155225, 330, 6}, "01-r155.225-t155.225s0330pHi"},
        {{155225, 155225, 330, 0}, "01-r155.225-t155.225s0330pLo"},
        {{999999, 1, 0, 10}, "01-r999.999-t000.001s0000pHi"},
    };
    for (const auto& c : cases) {
        std::array<ChannelEntry, channelCount> channels{};
        channels[0] = c.ch;
        EXPECT_EQ(lineOf(renderChannelTable(channels), 0), c.line);
    }
    // Values past the fixed layout widen the line instead of being cut.
    std::array<ChannelEntry, channelCount> channels{};
    channels[0] = {1000000, 0, 12345, 10};
    EXPECT_EQ(renderChannelTable(channels).substr(0, 31), "01-r1000.000-t000.000s12345pHi\r");
}

// One line of the table with the columns under test replaced; the other 15
// lines stay well formed.
std::array<ChannelEntry, channelCount> parseLine(const std::string& line) {
    std::string text = renderChannelTable(defaultSettings().CH);
    text.replace(0, 28, line);
    std::array<ChannelEntry, channelCount> channels{};
    parseChannelTable(text, channels);
    return channels;
}

TEST(ChannelTable, ParsesColumnsByTheirArithmetic) {
    struct Case {
        const char* what;
        std::string line;
        std::uint32_t rxf, txf;
        std::uint16_t thr, pwr;
    };
    const Case cases[] = {
        {"well formed", "01-r155.225-t155.225s0330pHi", 155225, 155225, 330, 10},
        {"column 7 unread", "01-r155,225-t155x225s0330pHi", 155225, 155225, 330, 10},
        {"number ignored", "99-r155.225-t150.000s0330pHi", 155225, 150000, 330, 10},
        {"phI", "01-r155.225-t155.225s0330phI", 155225, 155225, 330, 10},
        {"pHI", "01-r155.225-t155.225s0330pHI", 155225, 155225, 330, 10},
        {"phi", "01-r155.225-t155.225s0330phi", 155225, 155225, 330, 10},
        {"pLo", "01-r155.225-t155.225s0330pLo", 155225, 155225, 330, 5},
        {"pHx", "01-r155.225-t155.225s0330pHx", 155225, 155225, 330, 5},
        {"s1023", "01-r155.225-t155.225s1023pHi", 155225, 155225, 1023, 10},
        {"s1024", "01-r155.225-t155.225s1024pHi", 155225, 155225, 0, 10},
        {"s1500", "01-r155.225-t155.225s1500pHi", 155225, 155225, 476, 10},
        {"blank digits go negative and wrap", "01-r   .   -t000.000s0000pHi", 189520, 0, 0, 10},
        // 0xFF is -1 as a signed byte: 155220 - 49, not 155220 + 207.
        {"high byte is negative", "01-r155.22\xFF-t155.225s000\xFFpHi", 155171, 155225, 975, 10},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(c.line.size(), 28u) << c.what;
        const auto channels = parseLine(c.line);
        EXPECT_EQ(channels[0].RXF, c.rxf) << c.what;
        EXPECT_EQ(channels[0].TXF, c.txf) << c.what;
        EXPECT_EQ(channels[0].THR, c.thr) << c.what;
        EXPECT_EQ(channels[0].PWR, c.pwr) << c.what;
        EXPECT_EQ(channels[1], defaultSettings().CH[1]) << c.what;
    }
}

TEST(ChannelTable, PowerOfTheLastLineEndsAtTheText) {
    std::string text = renderChannelTable(defaultSettings().CH);
    text.pop_back();  // "pH" with nothing after it
    std::array<ChannelEntry, channelCount> channels{};
    parseChannelTable(text, channels);
    EXPECT_EQ(channels[15].PWR, 5);
    EXPECT_EQ(channels[14].PWR, 10);
}

// Everything past the text reads as zero, so a short text parses the same
// whatever was read before and whatever follows position 511.
TEST(ChannelTable, ReadsNothingPastTheTextOrPastFiveHundredElevenCharacters) {
    std::array<ChannelEntry, channelCount> fromEmpty{};
    parseChannelTable("", fromEmpty);
    std::array<ChannelEntry, channelCount> fromNuls{};
    parseChannelTable(std::string(511, '\0'), fromNuls);
    EXPECT_EQ(fromEmpty, fromNuls);
    // Six NUL digits: (0 - 5333328) mod 2^32 mod 1000000.
    EXPECT_EQ(fromEmpty[15].RXF, 633968u);
    EXPECT_EQ(fromEmpty[15].THR, static_cast<std::uint16_t>((0u - 53328u) & 1023u));
    EXPECT_EQ(fromEmpty[15].PWR, 5);

    std::string table = renderChannelTable(defaultSettings().CH);
    table.resize(511, ' ');
    std::array<ChannelEntry, channelCount> a{};
    std::array<ChannelEntry, channelCount> b{};
    parseChannelTable(table, a);
    parseChannelTable(table + std::string(400, '9'), b);
    EXPECT_EQ(a, b);
}

TEST(ChannelTable, RenderThenParseGivesTheChannelsBack) {
    std::mt19937 rng(4003);
    std::uniform_int_distribution<std::uint32_t> freq(0, 999999);
    std::uniform_int_distribution<int> thr(0, 1023);
    std::bernoulli_distribution hi;
    for (int round = 0; round < 500; ++round) {
        std::array<ChannelEntry, channelCount> channels{};
        for (auto& ch : channels) {
            ch = {freq(rng), freq(rng), static_cast<std::uint16_t>(thr(rng)),
                  static_cast<std::uint16_t>(hi(rng) ? 10 : 5)};
        }
        const std::string text = renderChannelTable(channels);
        ASSERT_EQ(text.size(), 478u);
        std::array<ChannelEntry, channelCount> parsed{};
        parseChannelTable(text, parsed);
        ASSERT_EQ(parsed, channels) << text;
    }
}

TEST(PathList, ParsesByModularColumnArithmetic) {
    struct Case {
        std::string text;
        std::uint16_t count;
        std::uint32_t packed;
        const char* rendered;
    };
    const Case cases[] = {
        {"01-03-05", 3, 0x02400000, "01-03-05"},
        {"02-04-06", 3, 0x13500000, "02-04-06"},
        {"01-02-03-04-05-06-07-08", 8, 0x01234567, "01-02-03-04-05-06-07-08"},
        {"16", 1, 0xF0000000, "16"},
        {"00", 1, 0xF0000000, "16"},
        {"17", 1, 0xF0000000, "16"},
        {"33", 1, 0xF0000000, "16"},
        {"34", 1, 0xF0000000, "16"},
        {"18", 1, 0x00000000, "01"},
        {"99", 1, 0xD0000000, "14"},
        {"03-00-05", 3, 0x1F400000, "02-16-05"},
        {"01-17", 2, 0xFF000000, "16-16"},
        {"01+03+05", 1, 0x00000000, "01"},  // only "-" counts items
        {"01x03y05", 1, 0x00000000, "01"},  // separators unread
        {"01-03", 2, 0x02000000, "01-03"},
        {"", 1, 0xE0000000, "15"},        // two zeros: r = -1
        {"01-", 2, 0xFE000000, "16-15"},  // past the end reads zero
        {"01-02-03-04-05-06-07-08-09", 8, 0x01234567, "01-02-03-04-05-06-07-08"},
        {"-------", 8, 0xDE4DDDDE, nullptr},
        {"0\xFF", 1, 0x00000000, "01"},  // -1, not 255
    };
    for (const auto& c : cases) {
        const PathList list = parsePathList(c.text);
        EXPECT_EQ(list.count, c.count) << c.text;
        EXPECT_EQ(list.packed, c.packed) << std::hex << c.text << " got " << list.packed;
        if (c.rendered != nullptr) {
            EXPECT_EQ(renderPathList(list.count, list.packed), c.rendered) << c.text;
        }
    }
}

TEST(PathList, DashesPastFiveHundredElevenCharactersDoNotCount) {
    std::string text = "05" + std::string(509, ' ');
    EXPECT_EQ(parsePathList(text + "-").count, 1);
    EXPECT_EQ(parsePathList(text.substr(0, 510) + "-").count, 2);
}

TEST(PathList, RendersOnlyCountsOneToEight) {
    EXPECT_EQ(renderPathList(1, 0xFFFFFFFF), "16");
    EXPECT_EQ(renderPathList(8, 0xFEDCBA98), "16-15-14-13-12-11-10-09");
    EXPECT_EQ(renderPathList(0, 0x01234567), "");
    EXPECT_EQ(renderPathList(9, 0x01234567), "");
    EXPECT_EQ(renderPathList(65535, 0), "");
}

TEST(PathList, EveryWellFormedListComesBackUnchanged) {
    std::mt19937 rng(4033);
    std::uniform_int_distribution<unsigned> count(1, 8);
    std::uniform_int_distribution<std::uint32_t> word;
    for (int round = 0; round < 2000; ++round) {
        const unsigned n = count(rng);
        // Nibbles after the last item are zero in a parsed list.
        const std::uint32_t packed = n == 8 ? word(rng) : word(rng) & ~(0xFFFFFFFFu >> (4 * n));
        const std::string text = renderPathList(n, packed);
        ASSERT_EQ(text.size(), 3 * n - 1);
        EXPECT_EQ(parsePathList(text), (PathList{static_cast<std::uint16_t>(n), packed})) << text;
    }
}

}  // namespace
}  // namespace modem
