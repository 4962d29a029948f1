#include "app/dialog_widgets.h"

#include <QKeyEvent>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

namespace modem {

MultiLineEdit::MultiLineEdit(EnterKey enter, QWidget* parent)
    : QPlainTextEdit(parent), m_enter(enter) {
    // The channel table's lines are read by column: a wrapped line would look
    // like two channels.
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTabChangesFocus(true);
    setUndoRedoEnabled(false);
    // A Win32 edit leaves a pixel or two between border and text, not Qt's four.
    document()->setDocumentMargin(1);
}

void MultiLineEdit::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter &&
        (m_enter == EnterKey::BreaksLine || event->modifiers().testFlag(Qt::ControlModifier))) {
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

FieldValidator::FieldValidator(int limit, bool digitsOnly, QLineEdit* field)
    : QValidator(field), m_limit(limit), m_digitsOnly(digitsOnly), m_before(field->text()) {
    connect(field, &QLineEdit::textChanged, this, [this](const QString& text) { m_before = text; });
}

QValidator::State FieldValidator::validate(QString& input, int& position) const {
    if (m_digitsOnly) {
        for (const QChar c : input) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                return Invalid;
            }
        }
    }
    if (m_limit <= 0 || input.size() <= m_limit) {
        return Acceptable;
    }
    // The edit replaced a middle part of the text before it with what now
    // ends at the cursor: what follows the cursor is the old text's tail, and
    // the common start before it is the old text's head.
    const qsizetype at = std::clamp<qsizetype>(position, 0, input.size());
    qsizetype tail = 0;
    const qsizetype tailRoom = std::min(input.size() - at, m_before.size());
    while (tail < tailRoom &&
           input.at(input.size() - 1 - tail) == m_before.at(m_before.size() - 1 - tail)) {
        ++tail;
    }
    qsizetype head = 0;
    const qsizetype headRoom = std::min(at, m_before.size() - tail);
    while (head < headRoom && input.at(head) == m_before.at(head)) {
        ++head;
    }
    const qsizetype inserted = input.size() - tail - head;
    const qsizetype kept = head + tail;
    if (inserted <= 0) {
        return Acceptable;  // a deletion from a text already beyond the limit
    }
    const qsizetype room = std::max<qsizetype>(0, m_limit - kept);
    if (room == 0) {
        return Invalid;
    }
    input.remove(head + room, inserted - room);
    position = static_cast<int>(head + room);
    return Acceptable;
}

}  // namespace modem
