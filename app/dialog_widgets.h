#pragma once

// Widgets that behave like the dialog's Win32 controls where Qt's differ.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QValidator>

namespace modem {

// What Enter does in a multi-line field.
enum class EnterKey {
    BreaksLine,   // as in any editor (the channel table)
    ForTheDialog  // left to the dialog, which ignores it (the terminal pane)
};

// Multi-line edit field: Ctrl+Enter always inserts a line break, Enter as
// `enter` says; Tab moves the focus. Lines are never wrapped: each line of the
// text is one line on screen, and scroll bars appear when the text is longer
// or wider than the field, so that every line can be reached by wheel and keys.
class MultiLineEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MultiLineEdit(EnterKey enter, QWidget* parent = nullptr);

    [[nodiscard]] EnterKey enterKey() const { return m_enter; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    EnterKey m_enter;
};

// Push button whose caption is centred both ways and broken over lines when
// it does not fit on one (BS_CENTER | BS_VCENTER | BS_MULTILINE).
class MultiLineButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// What the operator may type or paste into a single-line field: at most
// `limit` characters (0: no limit), digits only when asked. An insertion that
// would go beyond the limit is cut there; one with nothing left to fit is
// refused, like a character typed into a full field. It is a validator rather
// than QLineEdit's maximum length because that would also cut the program's
// writes and the template text, which the field keeps in full (4107 holds
// "1000" under its limit of 3 until the settings are shown).
class FieldValidator : public QValidator {
    Q_OBJECT
public:
    // Follows `field`'s text, to tell what an edit inserted.
    FieldValidator(int limit, bool digitsOnly, QLineEdit* field);
    State validate(QString& input, int& position) const override;

    [[nodiscard]] int limit() const { return m_limit; }
    [[nodiscard]] bool digitsOnly() const { return m_digitsOnly; }

private:
    int m_limit;
    bool m_digitsOnly;
    QString m_before;  // the field's text before the edit being validated
};

}  // namespace modem
