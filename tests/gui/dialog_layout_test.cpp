// The dialog as built from the control table: every control's widget, place,
// text, limits and tab order, the lists, the window, the state after start-up,
// and keys the dialog must ignore.

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QWheelEvent>
#include <cmath>
#include <memory>
#include <vector>

#include "app/configurator.h"
#include "app/dialog_units.h"
#include "app/dialog_widgets.h"
#include "app/main_dialog.h"
#include "gui/mouse_input.h"
#include "link/discovery.h"
#include "support/recording_message_box.h"
#include "support/scripted_file_chooser.h"
#include "ui/control_table.h"

using namespace modem;

namespace {

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Independent of the code under test: plain double arithmetic, half away from zero.
int expectedPixels(int dlu, int base, int divisor) {
    return static_cast<int>(std::lround(static_cast<double>(dlu) * base / divisor));
}

bool isStaticKind(ControlKind kind) {
    return kind == ControlKind::Label || kind == ControlKind::LeftLabel ||
           kind == ControlKind::GroupBox || kind == ControlKind::CentredGroupBox;
}

}  // namespace

class DialogLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { applyDialogStyle(); }

    void dialogUnitsRoundLikeMulDiv_data() {
        QTest::addColumn<int>("dlu");
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::newRow("zero") << 0 << 6 << 0 << 0;
        QTest::newRow("exact") << 8 << 6 << 12 << 6;
        QTest::newRow("half rounds up") << 1 << 6 << 2 << 1;  // 1.5 → 2, 0.75 → 1
        QTest::newRow("odd base") << 3 << 13 << 10 << 5;      // 9.75 → 10, 4.875 → 5
        QTest::newRow("negative half away from zero") << -1 << 6 << -2 << -1;
        QTest::newRow("dialog width") << 584 << 7 << 1022 << 511;
    }
    void dialogUnitsRoundLikeMulDiv() {
        QFETCH(int, dlu);
        QFETCH(int, base);
        QFETCH(int, x);
        QFETCH(int, y);
        const BaseUnits units{base, base};
        QCOMPARE(dluToPixelsX(dlu, units), x);
        QCOMPARE(dluToPixelsY(dlu, units), y);
    }

    void baseUnitsComeFromTheDialogFont() {
        MainDialog dialog;
        const QFontMetrics metrics(dialog.font());
        const double average = metrics.horizontalAdvance(QStringLiteral(
                                   "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                               52.0;
        QCOMPARE(dialog.baseUnits().x, static_cast<int>(std::lround(average)));
        QCOMPARE(dialog.baseUnits().y, metrics.ascent() + metrics.descent());
        // Arial 8 pt at 96 dpi whatever the screen reports: an 11-pixel em.
        QCOMPARE(dialog.font().pixelSize(), 11);
        QVERIFY(QFontInfo(dialog.font()).family().contains(QStringLiteral("Liberation Sans")) ||
                QFontInfo(dialog.font()).family() == QStringLiteral("Arial"));
    }

    void windowIsFixedCentredCaptionedWithoutMaximise() {
        MainDialog dialog;
        const BaseUnits base = dialog.baseUnits();
        const DialogTemplate ctl = dialogTemplate();
        const QSize size(expectedPixels(ctl.width, base.x, 4),
                         expectedPixels(ctl.height, base.y, 8));
        QCOMPARE(dialog.minimumSize(), size);
        QCOMPARE(dialog.maximumSize(), size);
        QVERIFY(dialog.windowTitle().startsWith(QStringLiteral("   Программа настройки")));
        QVERIFY(dialog.windowTitle().endsWith(QStringLiteral("ЗУЛК TARNO")));
        const Qt::WindowFlags flags = dialog.windowFlags();
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
        const QList<QSize> iconSizes = dialog.windowIcon().availableSizes();
        QVERIFY(iconSizes.contains(QSize(16, 16)));
        QVERIFY(iconSizes.contains(QSize(32, 32)));

        dialog.show();
        dialog.centreOnScreen();
        const QRect screen = dialog.screen()->availableGeometry();
        QVERIFY(std::abs(dialog.frameGeometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(std::abs(dialog.frameGeometry().center().y() - screen.center().y()) <= 1);
    }

    void everyControlHasItsWidgetPlaceAndText() {
        MainDialog dialog;
        const BaseUnits base = dialog.baseUnits();
        QCOMPARE(dialogControls().size(), std::size_t{96});
        int widgets = 0;
        for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            widgets += child->property("controlId").isValid() ? 1 : 0;
        }
        QCOMPARE(widgets, 96);

        for (const ControlTemplate& ctl : dialogControls()) {
            const QString where = QStringLiteral("control %1").arg(ctl.id);
            QWidget* widget = dialog.control(ctl.id);
            QVERIFY2(widget != nullptr, qPrintable(where));
            QCOMPARE(widget->property("controlId").toInt(), ctl.id);

            const QRect place = widget->geometry();
            QVERIFY2(place.x() == expectedPixels(ctl.x, base.x, 4), qPrintable(where));
            QVERIFY2(place.y() == expectedPixels(ctl.y, base.y, 8), qPrintable(where));
            QVERIFY2(place.width() == expectedPixels(ctl.width, base.x, 4), qPrintable(where));
            if (ctl.kind == ControlKind::List) {
                // The table's height includes the dropped-down part.
                QVERIFY2(place.height() <= expectedPixels(ctl.height, base.y, 8),
                         qPrintable(where));
            } else {
                QVERIFY2(place.height() == expectedPixels(ctl.height, base.y, 8),
                         qPrintable(where));
            }
            QVERIFY2(dialog.rect().contains(QRect(place.topLeft(), QSize(1, 1))),
                     qPrintable(where));

            const QString text = utf8(ctl.text);
            switch (ctl.kind) {
                case ControlKind::Button: {
                    auto* button = qobject_cast<QPushButton*>(widget);
                    QVERIFY2(button != nullptr, qPrintable(where));
                    QCOMPARE(button->text(), text);
                    QVERIFY(!button->autoDefault() && !button->isDefault());
                    QCOMPARE(qobject_cast<MultiLineButton*>(widget) != nullptr,
                             ctl.multiLineCaption);
                    break;
                }
                case ControlKind::NumberField:
                case ControlKind::TextField: {
                    auto* edit = qobject_cast<QLineEdit*>(widget);
                    QVERIFY2(edit != nullptr, qPrintable(where));
                    QCOMPARE(edit->text(), text);
                    QCOMPARE(edit->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
                    // The template text stands in full, also beyond the limit (4107).
                    const auto* validator = qobject_cast<const FieldValidator*>(edit->validator());
                    QVERIFY2(validator != nullptr, qPrintable(where));
                    QCOMPARE(validator->digitsOnly(), ctl.kind == ControlKind::NumberField);
                    break;
                }
                case ControlKind::MultiLineField: {
                    auto* edit = qobject_cast<QPlainTextEdit*>(widget);
                    QVERIFY2(edit != nullptr, qPrintable(where));
                    QVERIFY(!edit->isReadOnly());
                    QCOMPARE(edit->lineWrapMode(), QPlainTextEdit::NoWrap);
                    QCOMPARE(edit->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
                    QCOMPARE(edit->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
                    break;
                }
                case ControlKind::List:
                    QVERIFY2(qobject_cast<QComboBox*>(widget) != nullptr, qPrintable(where));
                    QVERIFY(!qobject_cast<QComboBox*>(widget)->isEditable());
                    break;
                case ControlKind::Label:
                case ControlKind::LeftLabel: {
                    auto* label = qobject_cast<QLabel*>(widget);
                    QVERIFY2(label != nullptr, qPrintable(where));
                    const Qt::Alignment expected =
                        ctl.kind == ControlKind::LeftLabel ? Qt::AlignLeft : Qt::AlignHCenter;
                    QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, expected);
                    QVERIFY(label->wordWrap());
                    break;
                }
                case ControlKind::GroupBox:
                case ControlKind::CentredGroupBox: {
                    auto* box = qobject_cast<QGroupBox*>(widget);
                    QVERIFY2(box != nullptr, qPrintable(where));
                    QCOMPARE(box->title(), text);
                    const Qt::Alignment expected =
                        ctl.kind == ControlKind::CentredGroupBox ? Qt::AlignHCenter : Qt::AlignLeft;
                    QCOMPARE(box->alignment() & Qt::AlignHorizontal_Mask, expected);
                    break;
                }
            }
            if (isStaticKind(ctl.kind)) {
                QCOMPARE(widget->focusPolicy(), Qt::NoFocus);
            }
        }
        QVERIFY(dialog.control(ids::absentBandList) == nullptr);
    }

    void helpTextBreaksAtCarriageReturns() {
        MainDialog dialog;
        const auto* help = qobject_cast<QLabel*>(dialog.control(4072));
        QVERIFY(help->text().startsWith(
            QStringLiteral("01-r155.225-t155.225s0330pHi\n01-номер канала\n")));
        QVERIFY(!help->text().contains(QLatin1Char('\r')));
        QVERIFY(help->text().endsWith(QStringLiteral("(Lo) - пониженный")));
    }

    void tableAndPaneUseTheFixedPitchFont() {
        MainDialog dialog;
        for (const int id : {ids::channelTable, ids::terminalPane}) {
            const QFont font = dialog.control(id)->font();
            QVERIFY(QFontInfo(font).fixedPitch());
            const QFontMetrics metrics(font);
            QVERIFY(metrics.ascent() + metrics.descent() <= 14);
            QVERIFY(metrics.ascent() + metrics.descent() >= 12);
        }
        QVERIFY(!QFontInfo(dialog.control(ids::rsdlyField)->font()).fixedPitch());
        // The pane takes no tab stop, the channel table does.
        QCOMPARE(dialog.control(ids::terminalPane)->focusPolicy(), Qt::ClickFocus);
        QCOMPARE(dialog.control(ids::channelTable)->focusPolicy(), Qt::StrongFocus);
    }

    // The widgets stay in the template's order (raising or lowering one to
    // change what the mouse hits would reorder them).
    void controlsStayInTheTemplateOrder() {
        MainDialog dialog;
        dialog.show();
        std::vector<int> expected;
        for (const ControlTemplate& ctl : dialogControls()) {
            expected.push_back(ctl.id);
        }
        std::vector<int> created;
        for (const QObject* child : dialog.children()) {
            if (const QVariant id = child->property("controlId"); id.isValid()) {
                created.push_back(id.toInt());
            }
        }
        QCOMPARE(created, expected);
    }

    void tabOrderIsTheTemplateOrder() {
        MainDialog dialog;
        dialog.show();
        std::vector<int> expected;
        for (const ControlTemplate& ctl : dialogControls()) {
            if (ctl.tabStop) {
                expected.push_back(ctl.id);
            }
        }
        QCOMPARE(expected.front(), ids::vhfToneField);
        QCOMPARE(expected.at(1), ids::channelTable);
        QCOMPARE(expected.at(2), ids::connectButton);

        std::vector<int> chain;
        QWidget* widget = dialog.control(expected.front());
        for (std::size_t guard = 0; guard < 2000 && chain.size() < expected.size(); ++guard) {
            const QVariant id = widget->property("controlId");
            if (id.isValid() && (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus) {
                chain.push_back(id.toInt());
            }
            widget = widget->nextInFocusChain();
        }
        QCOMPARE(chain, expected);
    }

    void listsHoldTheirItemsInTheGivenOrder() {
        MainDialog dialog;
        for (const ListTemplate& list : dialogLists()) {
            auto* box = qobject_cast<QComboBox*>(dialog.control(list.id));
            QVERIFY(box != nullptr);
            QCOMPARE(box->count(), static_cast<int>(list.items.size()));
            for (int i = 0; i < box->count(); ++i) {
                QCOMPARE(box->itemText(i),
                         QString::fromStdString(list.items[static_cast<std::size_t>(i)]));
            }
            QCOMPARE(box->currentIndex(), -1);  // until the form is initialised
        }
        // Sorted lists would have these the other way round.
        const auto* mod = qobject_cast<QComboBox*>(dialog.control(ids::modList));
        QCOMPARE(mod->itemText(0), QStringLiteral("норм"));
        QCOMPARE(mod->itemText(1), QStringLiteral("  1/2"));
        QCOMPARE(qobject_cast<QComboBox*>(dialog.control(ids::gmodeList))->itemText(0),
                 QStringLiteral(" ЮНР"));
        const auto* channels = qobject_cast<QComboBox*>(dialog.control(ids::vhfTestChannelList));
        QCOMPARE(channels->itemText(15), QStringLiteral("Ch16"));
    }

    void fieldsTakeTheirLimitAndNumberFieldsOnlyDigits_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("4021 four digits") << 4021 << "12ab345"
                                          << "1234";
        QTest::newRow("4087 four digits") << 4087 << "98765"
                                          << "9876";
        QTest::newRow("4038 one digit") << 4038 << "x57"
                                        << "5";
        QTest::newRow("4031 three") << 4031 << "1234"
                                    << "123";
        QTest::newRow("4047 three") << 4047 << "-12.5"
                                    << "125";
        QTest::newRow("4107 three") << 4107 << "0099"
                                    << "009";
        QTest::newRow("4114 three, not digits only") << 4114 << "a-bc"
                                                     << "a-b";
        QTest::newRow("4033 twenty-three") << 4033 << "01-02-03-04-05-06-07-08-09"
                                           << "01-02-03-04-05-06-07-08";
        QTest::newRow("4034 twenty-three") << 4034 << "0102030405060708091011121314"
                                           << "01020304050607080910111";
        QTest::newRow("4059 no limit, hex") << 4059 << "1FFFFFFFFFFF"
                                            << "1FFFFFFFFFFF";
    }
    void fieldsTakeTheirLimitAndNumberFieldsOnlyDigits() {
        QFETCH(int, id);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        MainDialog dialog;
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* edit = qobject_cast<QLineEdit*>(dialog.control(id));
        test::clickCentreOf(*edit);
        QCOMPARE(QApplication::focusWidget(), edit);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), shown);
    }

    // A paste is an insertion like a typed character: cut at the limit, kept
    // whole without one; in a number field anything but digits is refused.
    void pastesAreCutAtTheLimit_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("typed");  // after selecting all; "<" moves left
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("shown");
        QTest::newRow("4033 cut at 23") << 4033 << ""
                                        << "09-10-11-12-13-14-15-16-01"
                                        << "09-10-11-12-13-14-15-16";
        QTest::newRow("4021 cut at 4") << 4021 << ""
                                       << "123456"
                                       << "1234";
        QTest::newRow("4038 cut at 1") << 4038 << ""
                                       << "57"
                                       << "5";
        QTest::newRow("4114 in the middle, tail kept") << 4114 << "ab<"
                                                       << "xyz"
                                                       << "axb";
        QTest::newRow("4031 full: refused") << 4031 << "250"
                                            << "9"
                                            << "250";
        QTest::newRow("4107 beyond the limit already: refused") << 4107 << ">"
                                                                << "5"
                                                                << "1000";
        QTest::newRow("4047 not digits: refused") << 4047 << ""
                                                  << "12a"
                                                  << "100";
        QTest::newRow("4059 no limit") << 4059 << ""
                                       << "1FFFFFFFFFFFFFFF"
                                       << "1FFFFFFFFFFFFFFF";
    }
    void pastesAreCutAtTheLimit() {
        QFETCH(int, id);
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QString, shown);
        MainDialog dialog;
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QWindow* window = dialog.windowHandle();
        auto* edit = qobject_cast<QLineEdit*>(dialog.control(id));
        test::clickCentreOf(*edit);
        QCOMPARE(QApplication::focusWidget(), edit);
        if (typed == QStringLiteral(">")) {
            QTest::keyClick(window, Qt::Key_End);
        } else {
            QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
            for (const QChar c : typed) {
                if (c == QLatin1Char('<')) {
                    QTest::keyClick(window, Qt::Key_Left);
                } else {
                    QTest::keyClick(window, c.toLatin1());
                }
            }
        }
        QGuiApplication::clipboard()->setText(pasted);
        QTest::keyClick(window, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), shown);
    }

    void startUpStateFollowsTheDefaults() {
        test::RecordingMessageBox messages;
        test::ScriptedFileChooser files;
        Configurator configurator(
            ConfiguratorSeams{std::make_unique<FixedPortFinder>("/nonexistent/tty"),
                              makeSystemSerialPort, &messages, &files});
        configurator.show();
        MainDialog& dialog = configurator.dialog();
        const auto shown = [&](int id) {
            return qobject_cast<QComboBox*>(dialog.control(id))->currentText();
        };
        QCOMPARE(shown(4019), QStringLiteral("Ch01"));
        QCOMPARE(shown(4064), QStringLiteral("1-2.130 MHz"));
        QCOMPARE(shown(4075), QStringLiteral("0"));
        QCOMPARE(shown(4056), QStringLiteral("25k"));
        QCOMPARE(shown(4006), QStringLiteral("1-2.130 MHz"));
        QCOMPARE(shown(4051), QStringLiteral("20"));
        QCOMPARE(shown(4095), QStringLiteral("Пониженная"));
        QCOMPARE(qobject_cast<QLineEdit*>(dialog.control(4021))->text(), QStringLiteral("1000"));
        QCOMPARE(qobject_cast<QLineEdit*>(dialog.control(4087))->text(), QStringLiteral("1000"));
        QCOMPARE(dialog.focusWidget(), dialog.control(ids::connectButton));
        // The channel table shows the sixteen default channels, one per line.
        const QString table =
            qobject_cast<QPlainTextEdit*>(dialog.control(ids::channelTable))->toPlainText();
        QVERIFY(table.startsWith(QStringLiteral("01-r")));
        QCOMPARE(table.count(QLatin1Char('\n')) + 1, 16);
        QCOMPARE(qobject_cast<QPushButton*>(dialog.control(ids::connectButton))->text(),
                 QStringLiteral("Connect"));
        QVERIFY(messages.empty());
    }

    void enterAndEscapeDoNothing() {
        test::RecordingMessageBox messages;
        test::ScriptedFileChooser files;
        Configurator configurator(
            ConfiguratorSeams{std::make_unique<FixedPortFinder>("/nonexistent/tty"),
                              makeSystemSerialPort, &messages, &files});
        MainDialog& dialog = configurator.dialog();
        std::vector<int> commands;
        dialog.setCommandHandler([&](int id) { commands.push_back(id); });
        QSignalSpy finished(&dialog, &QDialog::finished);
        configurator.show();

        auto* table = qobject_cast<QPlainTextEdit*>(dialog.control(ids::channelTable));
        const QString tableBefore = table->toPlainText();
        for (const int id : {ids::vhfToneField, ids::readSettingsButton, ids::vp4List,
                             ids::terminalPane, ids::oddPathField}) {
            QWidget* widget = dialog.control(id);
            widget->setFocus();
            for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
                QTest::keyClick(widget, key);
            }
        }
        QVERIFY(commands.empty());
        QCOMPARE(finished.count(), 0);
        QCOMPARE(table->toPlainText(), tableBefore);
        QCOMPARE(configurator.pane().snapshot(), std::string());

        // In the channel table Enter breaks the line, as in any editor, and
        // so does Ctrl+Enter; Escape still does nothing.
        table->setFocus();
        table->moveCursor(QTextCursor::Start);
        QTest::keyClick(table, Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClick(table, Qt::Key_Return);
        QTest::keyClick(table, Qt::Key_Enter);
        QTest::keyClick(table, Qt::Key_Escape);
        QCOMPARE(table->toPlainText(), QStringLiteral("\n\n\n") + tableBefore);
        QVERIFY(commands.empty());
        QCOMPARE(finished.count(), 0);

        // Space still presses a focused button.
        dialog.control(ids::readSettingsButton)->setFocus();
        QTest::keyClick(dialog.control(ids::readSettingsButton), Qt::Key_Space);
        QCOMPARE(commands, std::vector<int>{ids::readSettingsButton});
    }

    // Each channel is one line on screen, and every line of the table and of a
    // full pane can be brought into view, by the keys and by the wheel.
    void tableAndPaneScrollToEveryLine() {
        test::RecordingMessageBox messages;
        test::ScriptedFileChooser files;
        Configurator configurator(
            ConfiguratorSeams{std::make_unique<FixedPortFinder>("/nonexistent/tty"),
                              makeSystemSerialPort, &messages, &files});
        configurator.show();
        MainDialog& dialog = configurator.dialog();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        std::string full;  // 24 lines of 57 characters, numbered
        for (int i = 0; i < 24; ++i) {
            const std::string number = std::to_string(100 + i);
            full += number + std::string(54, 'x') + (i < 23 ? "\r\n" : "");
        }
        configurator.pane().replaceRange(0, 0, full);
        configurator.paneView().refresh();

        const auto wheel = [&](QWidget& widget, int notches) {
            const QPointF at = test::centreInWindow(widget);
            QWheelEvent event(at, dialog.mapToGlobal(at.toPoint()), QPoint(),
                              QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(dialog.windowHandle(), &event);
        };
        // Character `column` of line `block` wholly in sight: the places
        // before and after it within the viewport.
        const auto inSight = [](QPlainTextEdit& edit, int block, int column) {
            QTextCursor cursor(edit.document()->findBlockByNumber(block));
            cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, column);
            const QRect before = edit.cursorRect(cursor);
            cursor.movePosition(QTextCursor::Right);
            const QRect after = edit.cursorRect(cursor);
            const QRect viewport = edit.viewport()->rect();
            return before.left() >= 0 && after.left() <= viewport.width() && before.top() >= 0 &&
                   before.bottom() <= viewport.bottom();
        };
        for (const int id : {ids::channelTable, ids::terminalPane}) {
            auto& edit = *qobject_cast<QPlainTextEdit*>(dialog.control(id));
            const int lines = id == ids::channelTable ? 16 : 24;
            const int width = id == ids::channelTable ? 28 : 57;
            QCOMPARE(edit.document()->blockCount(), lines);
            // The wheel: to the top, the first line; to the bottom, the last.
            wheel(edit, 30);
            QVERIFY2(inSight(edit, 0, 0), qPrintable(QString::number(id)));
            wheel(edit, -30);
            QVERIFY2(inSight(edit, lines - 1, 0), qPrintable(QString::number(id)));
            // The keys: both ends of every line, from the top down; the two
            // ends on one row of the screen, as the line is not wrapped.
            test::clickCentreOf(edit);
            QCOMPARE(QApplication::focusWidget(), &edit);
            QTest::keyClick(&edit, Qt::Key_Home, Qt::ControlModifier);
            for (int block = 0; block < lines; ++block) {
                const QString where = QStringLiteral("%1 line %2").arg(id).arg(block);
                QVERIFY2(inSight(edit, block, 0), qPrintable(where));
                const int row = edit.cursorRect().top();
                QTest::keyClick(&edit, Qt::Key_End);
                QVERIFY2(inSight(edit, block, width - 1), qPrintable(where));
                QCOMPARE(edit.cursorRect().top(), row);
                QTest::keyClick(&edit, Qt::Key_Down);
                QTest::keyClick(&edit, Qt::Key_Home);
            }
        }
    }
};

QTEST_MAIN(DialogLayoutTest)
#include "dialog_layout_test.moc"
