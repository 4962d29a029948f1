#pragma once

// Which language the dialog starts in when the command line does not say:
// English only where the system's language is English, Russian everywhere
// else, the C/POSIX locale included, so a system without a locale keeps the
// dialog its operators know. The decisions are plain functions of what the
// system reports; systemLanguage() reads it.

#include <cstdint>
#include <optional>
#include <string_view>

#include "ui/translations.h"

namespace modem {

// The locale variables of a POSIX process; empty for one that is not set.
struct LocaleVariables {
    std::string_view language = {};    // LANGUAGE: a colon-separated preference list
    std::string_view lcAll = {};       // LC_ALL
    std::string_view lcMessages = {};  // LC_MESSAGES
    std::string_view lang = {};        // LANG
};

// The messages locale is the first set of LC_ALL, LC_MESSAGES, LANG; as for
// gettext, LANGUAGE's first entry goes before it unless that locale is C or
// POSIX. English for a locale named "en" or "en_...", "en.", "en@".
[[nodiscard]] Language languageOfLocale(const LocaleVariables& variables);

// A Windows language identifier (GetUserDefaultUILanguage): English when its
// primary language is LANG_ENGLISH, whatever the country.
[[nodiscard]] Language languageOfWindowsId(std::uint16_t languageId);

// The system's language, read where the platform keeps it.
[[nodiscard]] Language systemLanguage();

// The language --lang names: "ru" or "en"; nullopt for anything else.
[[nodiscard]] std::optional<Language> languageNamed(std::string_view name);

}  // namespace modem
