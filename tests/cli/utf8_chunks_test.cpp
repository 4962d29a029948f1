#include <gtest/gtest.h>

#include <string>

#include "cli/utf8_chunks.h"

namespace modem::cli {
namespace {

// Letters of one, two, three and four bytes.
const std::string text = "a Настройки € 😀.";

bool endsWhole(const std::string& piece) {
    // The last lead byte and the continuation bytes after it make a whole sequence.
    std::size_t lead = piece.size();
    while (lead > 0 && (static_cast<unsigned char>(piece[lead - 1]) & 0xC0) == 0x80) {
        --lead;
    }
    if (lead == 0) {
        return piece.empty();
    }
    const auto byte = static_cast<unsigned char>(piece[lead - 1]);
    const std::size_t length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
    return piece.size() - (lead - 1) == length;
}

// A write may stop anywhere: whatever the cut, each piece ends on a whole
// letter and the pieces together are the text.
TEST(Utf8Chunks, EveryCutGivesWholeLettersAndLosesNothing) {
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        for (std::size_t second = cut; second <= text.size(); ++second) {
            Utf8Chunks chunks;
            const std::string a = chunks.take(text.substr(0, cut));
            const std::string b = chunks.take(text.substr(cut, second - cut));
            const std::string c = chunks.take(text.substr(second));
            EXPECT_TRUE(endsWhole(a) && endsWhole(b) && endsWhole(c))
                << "cut at " << cut << " and " << second;
            EXPECT_EQ(a + b + c, text) << "cut at " << cut << " and " << second;
            EXPECT_EQ(chunks.rest(), "");
        }
    }
}

// Bytes that are not UTF-8 pass on at once, for the converter to show as it
// can; only the start of a real letter is held back, and given up at the end.
TEST(Utf8Chunks, OnlyTheStartOfALetterWaits) {
    const struct {
        std::string input;
        std::string taken;
        std::string rest;
    } cases[] = {
        {"", "", ""},
        {"abc", "abc", ""},
        {"\xD0", "", "\xD0"},                  // first byte of "Н"
        {"x\xE2\x82", "x", "\xE2\x82"},        // two bytes of "€"
        {"\xF0\x9F\x98", "", "\xF0\x9F\x98"},  // three bytes of "😀"
        {"\x9A", "\x9A", ""},                  // a continuation byte alone
        {"a\xFF", "a\xFF", ""},                // never a lead byte
        {"\xC0", "\xC0", ""},                  // a lead byte UTF-8 never uses
        {"\x80\x80\x80\x80", "\x80\x80\x80\x80", ""},
    };
    for (const auto& c : cases) {
        Utf8Chunks chunks;
        EXPECT_EQ(chunks.take(c.input), c.taken) << testing::PrintToString(c.input);
        EXPECT_EQ(chunks.rest(), c.rest) << testing::PrintToString(c.input);
    }
}

}  // namespace
}  // namespace modem::cli
