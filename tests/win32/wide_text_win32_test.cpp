#include "win32/wide_text.h"

#include <gtest/gtest.h>

#include <string>

namespace modem {
namespace {

TEST(WideText, EveryByteComesBackAsItself) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    // Alone, after a CR and before an LF: no pairing may swallow a byte.
    for (const std::string& text : {all, "\r" + all, all + "\n", std::string("\r\r\n\n\r")}) {
        EXPECT_EQ(wideToBytes(bytesToWide(text)), text);
    }
}

struct Shown {
    const char* name;
    std::string bytes;
    std::u16string wide;
};

class WideTextShown : public ::testing::TestWithParam<Shown> {};

TEST_P(WideTextShown, DrawnAsTheControlShowsIt) {
    EXPECT_EQ(bytesToWide(GetParam().bytes), GetParam().wide);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, WideTextShown,
    ::testing::Values(Shown{"crlf_is_a_line_break", "a\r\nb", u"a\r\nb"},
                      Shown{"lone_cr_and_lf_are_pictures", "a\rb\nc", u"a\u240Db\u240Ac"},
                      Shown{"nul_does_not_end_the_text", std::string("a\0b", 3), u"a\u2400b"},
                      Shown{"delete_is_a_picture", "\x7F", u"\u2421"},
                      Shown{"unassigned_0x98", "\x98", u"\uFFFD"},
                      Shown{"cyrillic", "\xC0\xFF\xA8\xB8", u"\u0410\u044F\u0401\u0451"},
                      Shown{"upper_half_punctuation", "\x85\x88\xB9", u"\u2026\u20AC\u2116"}),
    [](const auto& test) { return std::string(test.param.name); });

struct Typed {
    const char* name;
    std::u16string wide;
    std::string bytes;
};

class WideTextTyped : public ::testing::TestWithParam<Typed> {};

TEST_P(WideTextTyped, ReadBackAsCodePageBytes) {
    EXPECT_EQ(wideToBytes(GetParam().wide), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Operator, WideTextTyped,
                         ::testing::Values(Typed{"lone_lf_is_a_line_break", u"a\nb", "a\r\nb"},
                                           Typed{"tab_stays_a_tab", u"a\tb", "a\tb"},
                                           Typed{"no_code_page_character", u"\u4E2D\u00E9", "??"},
                                           Typed{"surrogate_pair", u"\U0001F600", "??"},
                                           Typed{"cyrillic", u"\u041F\u0440\u0438",
                                                 "\xCF\xF0\xE8"}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(WideText, TemplateTextsKeepTheirLineBreaksAndLetters) {
    EXPECT_EQ(utf8ToWide("Считать "), u"Считать ");
    // The channel example ends in a lone CR, which the template keeps as it is.
    EXPECT_EQ(utf8ToWide("pHi\r\n(Lo)\r"), u"pHi\r\n(Lo)\r");
}

}  // namespace
}  // namespace modem
