// Nothing the dialog shows is cut: every caption, label, frame title and list
// item, measured with the font the dialog draws it in against the room its
// control gives it, in both languages.

#include <QComboBox>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTest>

#include "app/dialog_widgets.h"
#include "app/main_dialog.h"
#include "ui/control_table.h"

using namespace modem;

namespace {

// A frame's title at the left starts this far in from the frame's edge
// (pixels), as the style draws it.
constexpr int frameTitleMargin = 8;

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QRect buttonContents(const QPushButton& button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    return button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
}

QRect listField(const QComboBox& list) {
    QStyleOptionComboBox option;
    option.initFrom(&list);
    option.editable = false;
    option.frame = true;
    return list.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField,
                                        &list);
}

struct Cut {
    QString what;
    QSize needed;
    QSize room;
};

QString describe(const Cut& cut) {
    return QStringLiteral("%1 needs %2x%3, has %4x%5")
        .arg(cut.what)
        .arg(cut.needed.width())
        .arg(cut.needed.height())
        .arg(cut.room.width())
        .arg(cut.room.height());
}

// The height of `lines` lines: the dialog's line is the font's ascent and
// descent, each rounded, as the dialog units are made from it.
int linesHeight(const QFontMetrics& metrics, int lines) {
    return lines * (metrics.ascent() + metrics.descent());
}

// How many lines `text` takes when broken to `room`'s width.
int wrappedLines(const QFont& font, const QRect& room, Qt::Alignment alignment,
                 const QString& text) {
    const QFontMetricsF metrics(font);
    const QRectF bounds = metrics.boundingRect(QRectF(room), alignment | Qt::TextWordWrap, text);
    return qRound(bounds.height() / metrics.height());
}

// The wrapped size of `text`: its widest line, and its lines' height.
QSize wrappedSize(const QFont& font, const QRect& room, Qt::Alignment alignment,
                  const QString& text) {
    const QFontMetrics metrics(font);
    const QRect bounds = metrics.boundingRect(room, alignment | Qt::TextWordWrap, text);
    return {bounds.width(), linesHeight(metrics, wrappedLines(font, room, alignment, text))};
}

// What of control `ctl`'s text does not fit its room in `dialog`.
QList<Cut> cutsOf(const MainDialog& dialog, const ControlTemplate& ctl) {
    QWidget* widget = dialog.control(ctl.id);
    const QFontMetrics metrics(widget->font());
    const QString name =
        QStringLiteral("%1 \"%2\"").arg(ctl.id).arg(utf8(ctl.text).left(24).simplified());
    QList<Cut> cuts;
    const auto check = [&](const QString& what, QSize needed, QSize room) {
        if (needed.width() > room.width() || needed.height() > room.height()) {
            cuts.append({what, needed, room});
        }
    };
    if (const auto* button = qobject_cast<QPushButton*>(widget)) {
        QRect room = buttonContents(*button);
        if (qobject_cast<MultiLineButton*>(widget) != nullptr) {
            room.adjust(1, 0, -1, 0);  // as it draws its caption
            check(name, wrappedSize(button->font(), room, Qt::AlignCenter, button->text()),
                  room.size());
        } else {
            check(name, QSize(metrics.horizontalAdvance(button->text()), linesHeight(metrics, 1)),
                  room.size());
        }
    } else if (const auto* label = qobject_cast<QLabel*>(widget)) {
        const QRect room = label->contentsRect();
        check(name, wrappedSize(label->font(), room, label->alignment(), label->text()),
              room.size());
    } else if (const auto* box = qobject_cast<QGroupBox*>(widget)) {
        // A centred title has the frame's whole width; one at the left starts
        // the margin in.
        const int margin = box->alignment() & Qt::AlignHCenter ? 0 : frameTitleMargin;
        check(name,
              QSize(metrics.horizontalAdvance(box->title()) + margin, linesHeight(metrics, 1)),
              box->size());
    } else if (const auto* list = qobject_cast<QComboBox*>(widget)) {
        const QRect room = listField(*list);
        for (int i = 0; i < list->count(); ++i) {
            check(QStringLiteral("%1 item \"%2\"").arg(ctl.id).arg(list->itemText(i)),
                  QSize(metrics.horizontalAdvance(list->itemText(i)), linesHeight(metrics, 1)),
                  room.size());
        }
    }
    return cuts;
}

}  // namespace

class DialogFitTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { applyDialogStyle(); }

    void nothingIsCut_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("Russian") << static_cast<int>(Language::Russian);
        QTest::newRow("English") << static_cast<int>(Language::English);
    }
    void nothingIsCut() {
        QFETCH(int, language);
        MainDialog dialog(static_cast<Language>(language));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QStringList cuts;
        int measured = 0;
        for (const ControlTemplate& ctl : dialogControls(static_cast<Language>(language))) {
            for (const Cut& cut : cutsOf(dialog, ctl)) {
                cuts << describe(cut);
                qWarning().noquote() << describe(cut);
            }
            ++measured;
        }
        QCOMPARE(measured, 96);
        QVERIFY2(cuts.isEmpty(), qPrintable(QStringLiteral("%1 cut").arg(cuts.size())));
    }
};

QTEST_MAIN(DialogFitTest)
#include "dialog_fit_test.moc"
