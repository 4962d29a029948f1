#pragma once

// Widgets that behave like the dialog's Win32 controls where Qt's differ.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QValidator>

namespace modem {

// Multi-line edit field: Enter belongs to the dialog (which ignores it), as
// in a Win32 multi-line edit without ES_WANTRETURN, and Ctrl+Enter inserts a
// line break; Tab moves the focus. No scroll bars, no wrapping.
class MultiLineEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MultiLineEdit(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
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
