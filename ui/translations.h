#pragma once

// The dialog's two languages. Every text the dialogs show is written in
// Russian where it is used (control table, names table, action texts, the
// checker); this one table gives each its English text, so both front ends
// show the same words. Texts that are the same in both (port names, numbers,
// "Connect") are not in it.

#include <span>
#include <string_view>

namespace modem {

enum class Language { Russian, English };

struct Translation {
    std::string_view russian;  // UTF-8, exactly as the dialog uses it
    std::string_view english;  // UTF-8
};

// Every row, in no particular order; no Russian text appears twice.
[[nodiscard]] std::span<const Translation> translations();

// The row of `russian`; nullptr when the table has none.
[[nodiscard]] const Translation* findTranslation(std::string_view russian);

// `russian` in `language`: itself in Russian, and also where the table has no
// row (a text that is the same in both languages).
[[nodiscard]] std::string_view localised(std::string_view russian, Language language);

}  // namespace modem
