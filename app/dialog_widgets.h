#pragma once

// Widgets that behave like the dialog's Win32 controls where Qt's differ.

#include <QPlainTextEdit>
#include <QPushButton>

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

}  // namespace modem
