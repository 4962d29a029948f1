#include "ui/cp1251.h"

#include <gtest/gtest.h>

#include <string>

namespace modem {
namespace {

struct Mapping {
    unsigned char byte;
    const char* utf8;
};

// Letters and signs whose codes are easy to get wrong: the edges of the
// contiguous Cyrillic block, Ё/ё outside it, and the punctuation above 0x80.
TEST(Cp1251, MapsKnownCharactersBothWays) {
    const Mapping cases[] = {
        {0xC0, "А"},      {0xDF, "Я"}, {0xE0, "а"}, {0xFF, "я"}, {0xA8, "Ё"}, {0xB8, "ё"},
        {0xB9, "№"},      {0x88, "€"}, {0x96, "–"}, {0x97, "—"}, {0xAB, "«"}, {0xBB, "»"},
        {0xA0, "\u00A0"}, {0x80, "Ђ"}, {0xA5, "Ґ"}, {0xB4, "ґ"}, {0x99, "™"},
    };
    for (const auto& m : cases) {
        const std::string single(1, static_cast<char>(m.byte));
        EXPECT_EQ(cp1251ToUtf8(single), m.utf8) << std::hex << int(m.byte);
        EXPECT_EQ(utf8ToCp1251(m.utf8), single) << m.utf8;
    }
}

TEST(Cp1251, EveryAssignedByteSurvivesARoundTrip) {
    for (int b = 0; b < 256; ++b) {
        if (b == 0x98) {
            continue;
        }
        const std::string single(1, static_cast<char>(b));
        EXPECT_EQ(utf8ToCp1251(cp1251ToUtf8(single)), single) << "byte " << b;
    }
}

TEST(Cp1251, UnassignedByteBecomesQuestionMark) {
    EXPECT_EQ(cp1251ToUtf8("a\x98z"), "a?z");
}

TEST(Cp1251, NulIsCarriedNotDropped) {
    const std::string withNul("a\0b", 3);
    EXPECT_EQ(cp1251ToUtf8(withNul), withNul);
    EXPECT_EQ(utf8ToCp1251(withNul), withNul);
}

TEST(Cp1251, UnmappableAndMalformedInputBecomesOneQuestionMarkEach) {
    struct Case {
        std::string utf8;
        std::string expected;
    };
    const Case cases[] = {
        {"日本", "??"},                 // no such letters in the code page
        {"a\xF0\x9F\x98\x80z", "a?z"},  // a character beyond the BMP
        {"a\xFFz", "a?z"},              // a byte that never starts a sequence
        {"a\x80z", "a?z"},              // a lone continuation byte
        {"a\xD0", "a?"},                // cut off at the end
        {"a\xE2\x84z", "a?z"},          // cut off before an ASCII letter
        {"\xC0\xAF", "??"},             // overlong "/"
        {"\xED\xA0\x80", "???"},        // a surrogate half
        {"\xF4\x90\x80\x80", "????"},   // beyond U+10FFFF
        {"\xD0\x90\xD0", "\xC0?"},      // a good letter, then a cut one
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8ToCp1251(c.utf8), c.expected) << c.utf8;
    }
}

}  // namespace
}  // namespace modem
