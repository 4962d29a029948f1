#pragma once

// What a screen reader announces for each control of the main dialog: its
// accessible name and, where a caption alone says too little, a description.
// One row per control, keyed by id, beside the control table; the front ends
// hand these texts to their accessibility interfaces unchanged.
//
// How the names are made:
// - a label or a frame is named by its own text;
// - a button by its caption, with the area it sits in ("Проверка МВ: ПРД")
//   where the same caption appears twice;
// - a field or list by the caption it belongs to, after its frame or heading
//   ("CAN: УКВ ID-Rx"), or followed by ": значение" where it has none, so that
//   it never shares its caption's own name;
// - a list never by its value.

#include <span>
#include <string_view>

#include "ui/translations.h"

namespace modem {

struct ControlName {
    int id = 0;
    // UTF-8. Empty: the control's own caption names it, also after the program
    // changes it (the connection button, every label and frame).
    std::string_view name;
    std::string_view description;  // UTF-8; empty: none
};

// One row for every control of the dialog, in template order, in `language`.
[[nodiscard]] std::span<const ControlName> controlNames(Language language = Language::Russian);
// nullptr for an id the dialog does not have.
[[nodiscard]] const ControlName* findControlName(int id, Language language = Language::Russian);

// The name a screen reader announces for control `id` when the dialog opens:
// its row's name, or its caption where the row leaves that to the caption.
// Empty for an id the dialog does not have.
[[nodiscard]] std::string_view accessibleName(int id, Language language = Language::Russian);

}  // namespace modem
