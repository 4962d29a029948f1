#pragma once

// The configurator's one dialog, built from the control table: every control
// at its place in pixels converted from dialog units, the lists filled, the
// limits set, the tab order of the template. It knows nothing of the actions:
// a pressed button is handed to the command handler by id.

#include <QDialog>
#include <functional>
#include <unordered_map>

#include "app/dialog_units.h"
#include "ui/control_table.h"

namespace modem {

class MainDialog : public QDialog {
    Q_OBJECT
public:
    // Every caption, list item and accessible name in `language`.
    explicit MainDialog(Language language = Language::Russian, QWidget* parent = nullptr);

    // The widget of control `id`, nullptr for an id the dialog does not have.
    [[nodiscard]] QWidget* control(int id) const;
    [[nodiscard]] const BaseUnits& baseUnits() const { return m_base; }
    [[nodiscard]] Language language() const { return m_language; }

    void setCommandHandler(std::function<void(int id)> handler) {
        m_onCommand = std::move(handler);
    }

    // Puts the dialog in the middle of its screen's available area.
    void centreOnScreen();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* createControl(const ControlTemplate& ctl);
    void fillLists();
    void setTabOrder();

    Language m_language;
    BaseUnits m_base;
    std::unordered_map<int, QWidget*> m_controls;  // owned by the dialog as Qt children
    std::function<void(int)> m_onCommand;
};

// Application-wide look shared by the program, its tests and tools: the
// classic Windows style and palette, which the dialog was drawn for.
void applyDialogStyle();

}  // namespace modem
