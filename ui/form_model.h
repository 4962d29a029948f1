#pragma once

// The dialog's controls held in memory, built from the control table. It stands
// in for the dialog wherever no toolkit runs (the command line, tests) and
// behaves as the dialog's controls do: limits cut insertions, a selection past
// the items clears it, and a control the dialog lacks ignores writes and reads 0.

#include <cstddef>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ui/form.h"

namespace modem {

class FormModel : public Form {
public:
    // Every control of the table with its template text; every list filled
    // with its items and, as a freshly filled list is, without a selection.
    FormModel();

    void replaceText(int id, std::size_t clearCount, std::string_view text) override;
    [[nodiscard]] std::string readText(int id, std::size_t maxCount) const override;
    void setSelection(int id, int index) override;
    [[nodiscard]] int selection(int id) const override;
    // The whole text of any control but a list, as a window text is set: no
    // limit applies.
    void setCaption(int id, std::string_view text) override;
    [[nodiscard]] std::string caption(int id) const override;

    // The whole text of a control (CP1251); empty for one the dialog lacks.
    [[nodiscard]] std::string text(int id) const;

    // The operator replacing a field's whole text: cut at the field's limit.
    // Refused (false) for a control that is no edit field, and for a
    // digits-only field given anything but digits.
    [[nodiscard]] bool setText(int id, std::string_view text);

    // The items of a list (CP1251); empty for anything else.
    [[nodiscard]] std::span<const std::string> items(int id) const;

    [[nodiscard]] bool hasControl(int id) const;

private:
    struct Control {
        std::string text;       // CP1251
        std::size_t limit = 0;  // characters; 0 = none
        bool editable = false;  // an edit field
        bool digitsOnly = false;
        bool isList = false;
        std::vector<std::string> items;  // CP1251
        int selected = -1;
    };

    [[nodiscard]] const Control* find(int id) const;
    [[nodiscard]] Control* find(int id);

    std::map<int, Control> m_controls;
};

}  // namespace modem
