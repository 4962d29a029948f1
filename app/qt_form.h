#pragma once

// The Form interface over the dialog's widgets: the core's code page 1251 on
// one side, the widgets' Unicode on the other, with the write and read rules
// of the in-memory form model (clear N then insert, limits cut insertions,
// a selection past the items clears it, absent controls ignore writes).

#include "ui/form.h"

namespace modem {

class MainDialog;
class TerminalPane;

class QtForm : public Form {
public:
    // The pane model stands behind control 4017 when given: its text is the
    // model's, not the widget's drawing of it.
    explicit QtForm(MainDialog& dialog, TerminalPane* pane = nullptr);

    void replaceText(int id, std::size_t clearCount, std::string_view text) override;
    [[nodiscard]] std::string readText(int id, std::size_t maxCount) const override;
    void setSelection(int id, int index) override;
    [[nodiscard]] int selection(int id) const override;
    void setCaption(int id, std::string_view text) override;
    [[nodiscard]] std::string caption(int id) const override;

private:
    [[nodiscard]] std::string textOf(int id) const;
    void setTextOf(int id, const std::string& text);

    MainDialog& m_dialog;
    TerminalPane* m_pane;
};

}  // namespace modem
