#include "ui/system_language.h"

namespace modem {

namespace {

bool isCLocale(std::string_view locale) {
    // "C.UTF-8" and its like are the C locale with another character set.
    return locale.empty() || locale == "C" || locale == "POSIX" || locale.starts_with("C.");
}

bool isEnglish(std::string_view locale) {
    if (!locale.starts_with("en")) {
        return false;
    }
    return locale.size() == 2 || locale[2] == '_' || locale[2] == '.' || locale[2] == '@' ||
           locale[2] == '-';
}

}  // namespace

Language languageOfLocale(const LocaleVariables& variables) {
    std::string_view messages = variables.lcAll;
    if (messages.empty()) {
        messages = variables.lcMessages;
    }
    if (messages.empty()) {
        messages = variables.lang;
    }
    if (isCLocale(messages)) {
        return Language::Russian;
    }
    const std::string_view first = variables.language.substr(0, variables.language.find(':'));
    const std::string_view decisive = first.empty() ? messages : first;
    return isEnglish(decisive) ? Language::English : Language::Russian;
}

Language languageOfWindowsId(std::uint16_t languageId) {
    constexpr std::uint16_t primaryMask = 0x3FF;  // PRIMARYLANGID
    constexpr std::uint16_t english = 0x09;       // LANG_ENGLISH
    return (languageId & primaryMask) == english ? Language::English : Language::Russian;
}

std::optional<Language> languageNamed(std::string_view name) {
    if (name == "ru") {
        return Language::Russian;
    }
    if (name == "en") {
        return Language::English;
    }
    return std::nullopt;
}

}  // namespace modem
