// The Form over the widgets behaves as the in-memory model does; the pane's
// bytes are shown line for line and come back unchanged; the pane view draws
// once per burst and hands the operator's typing to the model.

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <string>
#include <thread>
#include <vector>

#include "app/main_dialog.h"
#include "app/pane_text.h"
#include "app/pane_view.h"
#include "app/qt_form.h"
#include "link/terminal_pane.h"
#include "ui/control_table.h"
#include "ui/form_model.h"

using namespace modem;

namespace {

// One write through the Form interface.
struct FormWrite {
    enum class Kind { Text, Select, Caption } kind;
    int id;
    std::size_t clearCount;
    std::string text;  // CP1251
    int index;
};

void apply(Form& form, const FormWrite& write) {
    switch (write.kind) {
        case FormWrite::Kind::Text:
            form.replaceText(write.id, write.clearCount, write.text);
            break;
        case FormWrite::Kind::Select:
            form.setSelection(write.id, write.index);
            break;
        case FormWrite::Kind::Caption:
            form.setCaption(write.id, write.text);
            break;
    }
}

QString shown(const std::string& bytes) {
    return bytesToDisplay(bytes);
}

// Types characters QTest's Latin-1 key helpers cannot.
void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

}  // namespace

class QtFormTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { applyDialogStyle(); }

    void writesAndReadsMatchTheFormModel() {
        using K = FormWrite::Kind;
        const std::vector<FormWrite> writes = {
            {K::Text, 4107, 3, "5", 0},      // "1000" under a limit of 3 keeps its tail: "50"
            {K::Text, 4031, 0, "12345", 0},  // full field: nothing fits
            {K::Text, 4038, 1, "57", 0},     // limit 1
            {K::Text, 4033, 5, "09-10", 0},  // part of the old text stays
            {K::Text, 4034, 100, "01-02-03-04-05-06-07-08-09", 0},
            {K::Text, 4114, 10, "\xC0\xC1\xDF", 0},  // Cyrillic through code page 1251
            {K::Text, 4060, 0, "\x98", 0},
            {K::Text, 4059, 1, "ABCDEF12345", 0},  // no limit
            {K::Text, 4002, 0, "01-r1\r\n02-r2\r\n", 0},
            {K::Text, 4002, 3, "\n\x98\x7F", 0},  // lone LF, the unassigned byte, DEL
            {K::Text, 4057, 0, "x", 0},           // absent control
            {K::Text, 9999, 0, "x", 0},
            {K::Select, 4056, 0, "", 7},
            {K::Select, 4051, 0, "", 2},  // past the items: cleared
            {K::Select, 4039, 0, "", -5},
            {K::Select, 4083, 0, "", 5},
            {K::Select, 4057, 0, "", 1},  // absent: ignored
            {K::Caption, 4003, 0, "Disconnect", 0},
            {K::Caption, 4007, 0, "\xD1\xF7\xE8\xF2\xE0\xF2\xFC", 0},
        };
        MainDialog dialog;
        QtForm qtForm(dialog);
        FormModel model;
        for (const FormWrite& write : writes) {
            apply(qtForm, write);
            apply(model, write);
        }
        for (const ControlTemplate& ctl : dialogControls()) {
            const int id = ctl.id;
            if (ctl.kind == ControlKind::Label || ctl.kind == ControlKind::LeftLabel) {
                continue;  // their line breaks are drawn, not kept as CR LF
            }
            const QString where = QStringLiteral("control %1").arg(id);
            QVERIFY2(qtForm.readText(id, 1000) == model.readText(id, 1000), qPrintable(where));
            QVERIFY2(qtForm.readText(id, 3) == model.readText(id, 3), qPrintable(where));
            QVERIFY2(qtForm.selection(id) == model.selection(id), qPrintable(where));
            if (ctl.kind == ControlKind::Button || ctl.kind == ControlKind::GroupBox ||
                ctl.kind == ControlKind::CentredGroupBox) {
                QVERIFY2(qtForm.caption(id) == model.caption(id), qPrintable(where));
            }
        }
        QCOMPARE(qtForm.selection(ids::absentBandList), 0);
        QCOMPARE(qtForm.readText(4107, 10), std::string("50"));
        // The widgets show Unicode.
        QCOMPARE(qobject_cast<QLineEdit*>(dialog.control(4114))->text(), QStringLiteral("АБЯ"));
        QCOMPARE(qobject_cast<QPushButton*>(dialog.control(4007))->text(),
                 QStringLiteral("Считать"));
        QCOMPARE(qobject_cast<QComboBox*>(dialog.control(4051))->currentIndex(), -1);
    }

    void operatorTypingReadsBackAsCodePage1251() {
        MainDialog dialog;
        dialog.show();
        QtForm form(dialog);
        auto* field = qobject_cast<QLineEdit*>(dialog.control(ids::rsdlyField));
        field->clear();
        field->setFocus();
        typeText(field, QStringLiteral("Ёж"));
        QCOMPARE(form.readText(ids::rsdlyField, 10), std::string("\xA8\xE6"));
    }

    void paneBytesShowLineForLine_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("display");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("CR LF breaks") << QByteArray("AB\r\nCD") << QStringLiteral("AB\nCD");
        QTest::newRow("lone LF stays in its line")
            << QByteArray("AB\r\n\nCD") << QStringLiteral("AB\n\u240ACD");
        QTest::newRow("lone CR") << QByteArray("A\rB") << QStringLiteral("A\u240DB");
        QTest::newRow("CR CR LF") << QByteArray("x\r\r\ny") << QStringLiteral("x\u240D\ny");
        QTest::newRow("trailing CR") << QByteArray("x\r") << QStringLiteral("x\u240D");
        QTest::newRow("other controls")
            << QByteArray("\x01\t\x1F\x7F", 4) << QStringLiteral("\u2401\u2409\u241F\u2421");
        QTest::newRow("code page 1251") << QByteArray("\xC0\xC1 \xB9") << QStringLiteral("АБ №");
        QTest::newRow("unassigned 0x98 comes back")
            << QByteArray("a\x98") << QStringLiteral("a\uFFFD");
    }
    void paneBytesShowLineForLine() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, display);
        const std::string text = bytes.toStdString();
        QCOMPARE(bytesToDisplay(text), display);
        QCOMPARE(displayToBytes(display), text);
        // One widget block per line of the text's own.
        QPlainTextEdit edit;
        edit.setPlainText(display);
        std::size_t lines = 1;
        for (std::size_t at = text.find("\r\n"); at != std::string::npos;
             at = text.find("\r\n", at + 2)) {
            ++lines;
        }
        QCOMPARE(static_cast<std::size_t>(edit.document()->blockCount()), lines);
    }

    void displayPositionsMapToByteOffsets() {
        const std::string text = "AB\r\n\nC\r\n";
        QCOMPARE(byteOffsetOf(text, 0), std::size_t{0});
        QCOMPARE(byteOffsetOf(text, 2), std::size_t{2});  // the break
        QCOMPARE(byteOffsetOf(text, 3), std::size_t{4});  // after CR LF: one position, two bytes
        QCOMPARE(byteOffsetOf(text, 4), std::size_t{5});  // after the lone LF
        QCOMPARE(byteOffsetOf(text, 6), std::size_t{8});
        QCOMPARE(byteOffsetOf(text, 99), text.size());
    }

    void aBurstFromAnotherThreadIsDrawnOnce() {
        MainDialog dialog;
        TerminalPane pane;
        auto* widget = qobject_cast<QPlainTextEdit*>(dialog.control(ids::terminalPane));
        PaneView view(*widget, pane);
        const int drawsBefore = view.drawCount();

        std::thread receiver([&pane] {
            for (int i = 0; i < 20000; ++i) {
                pane.appendChar(i % 97 == 0 ? '\r' : 'a' + i % 26);
            }
        });
        receiver.join();  // never waited for the user-interface thread
        QCOMPARE(view.drawCount(), drawsBefore);

        QCoreApplication::sendPostedEvents();
        QVERIFY(view.frameScheduled());
        QTRY_VERIFY(!view.frameScheduled());
        QCOMPARE(view.drawCount(), drawsBefore + 1);
        QCOMPARE(widget->toPlainText(), shown(pane.snapshot()));
        QCOMPARE(widget->document()->blockCount(), 24);

        // Nothing new, nothing drawn.
        view.refresh();
        QCOMPARE(view.drawCount(), drawsBefore + 1);
    }

    void operatorTypingGoesIntoThePane() {
        MainDialog dialog;
        dialog.show();
        TerminalPane pane;
        for (const char c : std::string("AB\rCD")) {
            pane.appendChar(c);
        }
        auto* widget = qobject_cast<QPlainTextEdit*>(dialog.control(ids::terminalPane));
        PaneView view(*widget, pane);
        QCOMPARE(pane.snapshot(), std::string("AB\r\nCD"));
        widget->setFocus();

        widget->moveCursor(QTextCursor::End);
        typeText(widget, QStringLiteral("Ж"));
        QCOMPARE(pane.snapshot(), std::string("AB\r\nCD\xC6"));

        QTextCursor cursor = widget->textCursor();
        cursor.setPosition(1);
        widget->setTextCursor(cursor);
        QTest::keyClicks(widget, QStringLiteral("z"));
        QCOMPARE(pane.snapshot(), std::string("AzB\r\nCD\xC6"));

        cursor.setPosition(4);  // start of the second line
        widget->setTextCursor(cursor);
        QTest::keyClick(widget, Qt::Key_Backspace);  // joins the lines: CR LF goes whole
        QCOMPARE(pane.snapshot(), std::string("AzBCD\xC6"));

        QTest::keyClick(widget, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(pane.snapshot(), std::string("AzB\r\nCD\xC6"));

        // The model's own appends land at its end, and are drawn there.
        pane.appendChar('!');
        QTRY_COMPARE(widget->toPlainText(), QStringLiteral("AzB\nCDЖ!"));
    }
};

QTEST_MAIN(QtFormTest)
#include "qt_form_test.moc"
