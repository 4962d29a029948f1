#include "app/qt_form.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <algorithm>

#include "app/main_dialog.h"
#include "app/pane_text.h"
#include "link/terminal_pane.h"
#include "ui/control_table.h"

namespace modem {

namespace {

// The same drawing of bytes as the multi-line fields, so that a field gives
// back every byte it was given.
QString toWidget(std::string_view cp1251) {
    return bytesToDisplay(cp1251);
}

std::string fromWidget(const QString& text) {
    return displayToBytes(text);
}

}  // namespace

QtForm::QtForm(MainDialog& dialog, TerminalPane* pane) : m_dialog(dialog), m_pane(pane) {}

std::string QtForm::textOf(int id) const {
    if (id == ids::terminalPane && m_pane != nullptr) {
        return m_pane->snapshot();
    }
    const QWidget* widget = m_dialog.control(id);
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        return fromWidget(edit->text());
    }
    if (const auto* multi = qobject_cast<const QPlainTextEdit*>(widget)) {
        return displayToBytes(multi->toPlainText());
    }
    return caption(id);  // a window's text is its caption
}

void QtForm::setTextOf(int id, const std::string& text) {
    QWidget* widget = m_dialog.control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(toWidget(text));
    } else if (auto* multi = qobject_cast<QPlainTextEdit*>(widget)) {
        multi->setPlainText(bytesToDisplay(text));
    }
}

void QtForm::replaceText(int id, std::size_t clearCount, std::string_view text) {
    if (findControl(id) == nullptr) {
        return;
    }
    if (id == ids::terminalPane && m_pane != nullptr) {
        m_pane->replaceRange(0, clearCount, text);
        return;
    }
    setTextOf(id, replacedLeadingText(textOf(id), clearCount, text, textLimit(id)));
}

std::string QtForm::readText(int id, std::size_t maxCount) const {
    std::string text = textOf(id);
    text.resize(std::min(maxCount, text.size()));
    return text;
}

void QtForm::setSelection(int id, int index) {
    auto* list = qobject_cast<QComboBox*>(m_dialog.control(id));
    if (list == nullptr) {
        return;
    }
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

int QtForm::selection(int id) const {
    const auto* list = qobject_cast<const QComboBox*>(m_dialog.control(id));
    return list == nullptr ? 0 : list->currentIndex();
}

void QtForm::setCaption(int id, std::string_view text) {
    QWidget* widget = m_dialog.control(id);
    const QString shown = toWidget(text);
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(shown);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(shown);
    } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        box->setTitle(shown);
    }
}

std::string QtForm::caption(int id) const {
    const QWidget* widget = m_dialog.control(id);
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return fromWidget(button->text());
    }
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return fromWidget(label->text());
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(widget)) {
        return fromWidget(box->title());
    }
    return {};
}

}  // namespace modem
