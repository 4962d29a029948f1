#include <gtest/gtest.h>

#include <string>

#include "cli/utf8_chunks.h"

namespace modem::cli {
namespace {

// A write may stop anywhere, even inside a letter of two, three or four
// bytes: whatever the cuts, each piece ends at the last whole letter it has
// and nothing is lost.
TEST(Utf8Chunks, EveryCutGivesWholeLettersAndLosesNothing) {
    const std::string text = "a Ж € 😀.";
    const auto lastLetterStart = [&](std::size_t pos) {
        while (pos > 0 && pos < text.size() &&
               (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) {
            --pos;
        }
        return pos;
    };
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        for (std::size_t second = cut; second <= text.size(); ++second) {
            Utf8Chunks chunks;
            const std::string a = chunks.take(text.substr(0, cut));
            const std::string b = chunks.take(text.substr(cut, second - cut));
            const std::string c = chunks.take(text.substr(second));
            EXPECT_EQ(a.size(), lastLetterStart(cut)) << cut << ", " << second;
            EXPECT_EQ(a.size() + b.size(), lastLetterStart(second)) << cut << ", " << second;
            EXPECT_EQ(a + b + c + chunks.rest(), text) << cut << ", " << second;
        }
    }
    // What is not UTF-8 goes on at once, for the converter to show as it can.
    EXPECT_EQ(Utf8Chunks().take("x\xFF\x9A"), "x\xFF\x9A");
}

}  // namespace
}  // namespace modem::cli
