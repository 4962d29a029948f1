#include "app/dialog_widgets.h"

#include <QKeyEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace modem {

MultiLineEdit::MultiLineEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(true);
    setUndoRedoEnabled(false);
    // A Win32 edit leaves a pixel or two between border and text, not Qt's four.
    document()->setDocumentMargin(1);
}

void MultiLineEdit::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && event->modifiers().testFlag(Qt::ControlModifier)) {
        insertPlainText(QStringLiteral("\n"));
        event->accept();
        return;
    }
    if (enter || event->key() == Qt::Key_Escape) {
        event->ignore();  // the dialog's to (not) handle
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void MultiLineButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect area =
        style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).adjusted(1, 0, -1, 0);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, caption);
}

FieldValidator::FieldValidator(int limit, bool digitsOnly, QObject* parent)
    : QValidator(parent), m_limit(limit), m_digitsOnly(digitsOnly) {}

QValidator::State FieldValidator::validate(QString& input, int&) const {
    if (m_limit > 0 && input.size() > m_limit) {
        return Invalid;
    }
    if (m_digitsOnly) {
        for (const QChar c : input) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                return Invalid;
            }
        }
    }
    return Acceptable;
}

}  // namespace modem
