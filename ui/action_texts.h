#pragma once

// The button actions' own words: the pane's status line (single-byte, like the
// link's, the same in every language) and the captions and questions of their
// message boxes (UTF-8, in Russian; the translation table has their English).

#include <string_view>

namespace modem::actionTexts {

// The pane's line for a button that would send while no port is open.
inline constexpr std::string_view notConnected = "not connected";

inline constexpr std::string_view checkCaption = "Проверка настроек";
inline constexpr std::string_view reportCaption = "Отчёт модема";
// After the list of problems, when the settings are about to go somewhere.
inline constexpr std::string_view writeAnyway = "Записать эти настройки в модем?";
inline constexpr std::string_view loadAnyway = "Загрузить эти настройки из файла?";

}  // namespace modem::actionTexts
