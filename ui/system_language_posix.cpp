#include <cstdlib>

#include "ui/system_language.h"

namespace modem {

namespace {

std::string_view variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string_view{} : std::string_view(value);
}

}  // namespace

Language systemLanguage() {
    return languageOfLocale({.language = variable("LANGUAGE"),
                             .lcAll = variable("LC_ALL"),
                             .lcMessages = variable("LC_MESSAGES"),
                             .lang = variable("LANG")});
}

}  // namespace modem
