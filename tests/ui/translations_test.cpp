// The English dialog: every Russian text the dialogs show has its English one,
// and the language chosen at start follows the system's as described.

#include "ui/translations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "protocol/report_parser.h"
#include "ui/action_texts.h"
#include "ui/control_names.h"
#include "ui/control_table.h"
#include "ui/settings_check.h"
#include "ui/system_language.h"

namespace modem {
namespace {

bool hasCyrillic(std::string_view text) {
    // UTF-8 lead bytes 0xD0-0xD3 start U+0400-U+04FF.
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0xD0 && byte <= 0xD3;
    });
}

struct Shown {
    std::string where;
    std::string_view text;
};

// Every text a dialog shows or announces, in `language`, with where it is.
std::vector<Shown> dialogTexts(Language language) {
    std::vector<Shown> texts;
    texts.push_back({"caption", dialogTemplate(language).caption});
    for (const ControlTemplate& c : dialogControls(language)) {
        texts.push_back({"control " + std::to_string(c.id), c.text});
    }
    for (const ListTemplate& list : dialogLists(language)) {
        for (const std::string& item : list.items) {
            texts.push_back({"list " + std::to_string(list.id), item});
        }
    }
    for (const ControlName& row : controlNames(language)) {
        texts.push_back({"name of " + std::to_string(row.id), row.name});
        texts.push_back({"description of " + std::to_string(row.id), row.description});
        texts.push_back({"announced " + std::to_string(row.id), accessibleName(row.id, language)});
    }
    for (const std::string_view text : {actionTexts::checkCaption, actionTexts::reportCaption,
                                        actionTexts::writeAnyway, actionTexts::loadAnyway}) {
        texts.push_back({"action text", localised(text, language)});
    }
    for (const ReportState state :
         {ReportState::Absent, ReportState::Incomplete, ReportState::Damaged}) {
        texts.push_back({"report state", reportStateMessage(state, language)});
    }
    return texts;
}

TEST(Translations, EveryRussianTextOfTheDialogsHasItsEnglishOne) {
    const std::vector<Shown> russian = dialogTexts(Language::Russian);
    const std::vector<Shown> english = dialogTexts(Language::English);
    ASSERT_EQ(russian.size(), english.size());
    std::size_t translated = 0;
    for (std::size_t i = 0; i < russian.size(); ++i) {
        SCOPED_TRACE(russian[i].where);
        EXPECT_FALSE(hasCyrillic(english[i].text)) << english[i].text;
        if (hasCyrillic(russian[i].text)) {
            EXPECT_NE(findTranslation(russian[i].text), nullptr) << russian[i].text;
            ++translated;
        } else {
            // Port names, numbers and "Connect" are the same in both.
            EXPECT_EQ(english[i].text, russian[i].text);
        }
    }
    EXPECT_GT(translated, 150U);
}

TEST(Translations, OneRowPerRussianTextAndNoRussianInTheEnglish) {
    std::set<std::string_view> seen;
    for (const Translation& row : translations()) {
        EXPECT_TRUE(seen.insert(row.russian).second) << "twice: " << row.russian;
        EXPECT_TRUE(hasCyrillic(row.russian)) << "nothing to translate: " << row.russian;
        EXPECT_FALSE(hasCyrillic(row.english)) << row.english;
        EXPECT_FALSE(row.english.empty()) << row.russian;
        // Blanks and line breaks that place a text stay where they were.
        EXPECT_EQ(row.english.starts_with(' '), row.russian.starts_with(' ')) << row.russian;
        EXPECT_EQ(row.english.ends_with(' '), row.russian.ends_with(' ')) << row.russian;
        EXPECT_EQ(row.english.ends_with('\r'), row.russian.ends_with('\r')) << row.russian;
    }
    EXPECT_EQ(localised("Считать", Language::English), "Read");
    EXPECT_EQ(localised("Считать", Language::Russian), "Считать");
    EXPECT_EQ(localised("P1-RS232", Language::English), "P1-RS232");
}

// A screen reader tells the English controls apart as it does the Russian ones.
TEST(Translations, EnglishNamesAreAsDistinctAsTheRussianOnes) {
    std::set<std::string_view> names;
    for (const ControlTemplate& c : dialogControls()) {
        EXPECT_TRUE(names.insert(accessibleName(c.id, Language::English)).second)
            << c.id << ": " << accessibleName(c.id, Language::English);
    }
}

TEST(SystemLanguage, RussianUnlessTheSystemSpeaksEnglish) {
    const struct {
        LocaleVariables variables;
        Language expected;
    } cases[] = {
        {{}, Language::Russian},
        {{.lang = "C"}, Language::Russian},
        {{.lang = "POSIX"}, Language::Russian},
        {{.lang = "C.UTF-8"}, Language::Russian},
        {{.lang = "ru_RU.UTF-8"}, Language::Russian},
        {{.lang = "en_US.UTF-8"}, Language::English},
        {{.lang = "en_GB"}, Language::English},
        {{.lang = "en"}, Language::English},
        {{.lang = "en@shaw"}, Language::English},
        {{.lang = "eo.UTF-8"}, Language::Russian},
        {{.lang = "enx_XX"}, Language::Russian},
        {{.lang = "de_DE.UTF-8"}, Language::Russian},
        // LC_ALL before LC_MESSAGES before LANG.
        {{.lcAll = "ru_RU.UTF-8", .lcMessages = "en_US.UTF-8", .lang = "en_US.UTF-8"},
         Language::Russian},
        {{.lcAll = "en_US.UTF-8", .lang = "ru_RU.UTF-8"}, Language::English},
        {{.lcMessages = "en_US.UTF-8", .lang = "ru_RU.UTF-8"}, Language::English},
        {{.lcMessages = "ru_RU.UTF-8", .lang = "en_US.UTF-8"}, Language::Russian},
        {{.lcAll = "C", .lang = "en_US.UTF-8"}, Language::Russian},
        // LANGUAGE's first entry decides, except under the C locale.
        {{.language = "en_GB:ru", .lang = "ru_RU.UTF-8"}, Language::English},
        {{.language = "ru:en", .lang = "en_US.UTF-8"}, Language::Russian},
        {{.language = "en", .lang = "C"}, Language::Russian},
        {{.language = "en"}, Language::Russian},
        {{.language = ":en", .lang = "ru_RU.UTF-8"}, Language::Russian},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(languageOfLocale(c.variables), c.expected)
            << "LANGUAGE=" << c.variables.language << " LC_ALL=" << c.variables.lcAll
            << " LC_MESSAGES=" << c.variables.lcMessages << " LANG=" << c.variables.lang;
    }
}

TEST(SystemLanguage, WindowsEnglishOfEveryCountryIsEnglish) {
    const struct {
        std::uint16_t id;
        Language expected;
    } cases[] = {
        {0x0409, Language::English},  // en-US
        {0x0809, Language::English},  // en-GB
        {0x1009, Language::English},  // en-CA
        {0x0419, Language::Russian},  // ru-RU
        {0x0422, Language::Russian},  // uk-UA
        {0x0407, Language::Russian},  // de-DE
        {0x0000, Language::Russian},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(languageOfWindowsId(c.id), c.expected) << std::hex << c.id;
    }
}

TEST(SystemLanguage, LangTakesRuOrEnOnly) {
    EXPECT_EQ(languageNamed("ru"), Language::Russian);
    EXPECT_EQ(languageNamed("en"), Language::English);
    for (const std::string_view bad : {"", "EN", "english", "en_US", "de", "ru "}) {
        EXPECT_EQ(languageNamed(bad), std::nullopt) << bad;
    }
}

}  // namespace
}  // namespace modem
