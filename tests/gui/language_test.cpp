// modemcfg in English: --lang on the command line, the whole dialog read back
// from the running window, and the message boxes of the actions in English
// while the pane's own lines stay as they are.

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <variant>

#include "app/configurator.h"
#include "app/modemcfg.h"
#include "gui/mouse_input.h"
#include "link/discovery.h"
#include "support/recording_message_box.h"
#include "ui/action_texts.h"
#include "ui/control_table.h"

using namespace modem;

namespace {

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool hasCyrillic(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x0400 && c.unicode() <= 0x04FF; });
}

// Every text the window shows: captions, labels, frame titles, list items.
QStringList shownTexts(const QWidget& dialog) {
    QStringList texts{dialog.windowTitle()};
    for (const QPushButton* b : dialog.findChildren<QPushButton*>()) {
        texts << b->text();
    }
    for (const QLabel* l : dialog.findChildren<QLabel*>()) {
        texts << l->text();
    }
    for (const QGroupBox* g : dialog.findChildren<QGroupBox*>()) {
        texts << g->title();
    }
    for (const QComboBox* c : dialog.findChildren<QComboBox*>()) {
        for (int i = 0; i < c->count(); ++i) {
            texts << c->itemText(i);
        }
    }
    for (const QWidget* w : dialog.findChildren<QWidget*>()) {
        texts << w->accessibleName() << w->accessibleDescription();
    }
    return texts;
}

}  // namespace

class LanguageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { applyDialogStyle(); }

    void langOption_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("language");  // -1: none given; -2: refused
        QTest::addColumn<QString>("refusal");
        const int ru = static_cast<int>(Language::Russian);
        const int en = static_cast<int>(Language::English);
        QTest::newRow("none") << QStringList{"--demo"} << -1 << QString();
        QTest::newRow("en") << QStringList{"--lang", "en"} << en << QString();
        QTest::newRow("ru=") << QStringList{"--lang=ru", "--demo"} << ru << QString();
        QTest::newRow("between port and path")
            << QStringList{"--port", "--lang", "en", "/dev/ttyACM0"} << en << QString();
        QTest::newRow("German") << QStringList{"--lang", "de"} << -2 << "takes ru or en, not 'de'";
        QTest::newRow("no value") << QStringList{"--demo", "--lang"} << -2 << "needs ru or en";
        QTest::newRow("twice") << QStringList{"--lang", "en", "--lang", "en"} << -2
                               << "more than once";
    }
    void langOption() {
        QFETCH(QStringList, arguments);
        QFETCH(int, language);
        QFETCH(QString, refusal);
        const auto parsed = parseArguments(arguments);
        if (language == -2) {
            const auto* error = std::get_if<UsageError>(&parsed);
            QVERIFY2(error != nullptr, "accepted");
            QVERIFY2(QString::fromStdString(error->message).contains(refusal),
                     error->message.c_str());
            return;
        }
        const auto* options = std::get_if<StartOptions>(&parsed);
        QVERIFY2(options != nullptr, "refused");
        QCOMPARE(options->language.has_value(), language >= 0);
        if (language >= 0) {
            QCOMPARE(static_cast<int>(*options->language), language);
        }
        QVERIFY(QString::fromUtf8(usageText()).contains(QStringLiteral("--lang ru|en")));
    }

    // The program as started with --lang en: every caption, item and name it
    // shows is English.
    void startedWithLangEnShowsAWholeEnglishDialog() {
        const auto parsed = parseArguments({"--lang", "en", "--port", "/nonexistent/ttyACM9"});
        const auto* options = std::get_if<StartOptions>(&parsed);
        QVERIFY(options != nullptr);
        QStringList seen;
        const int code = runModemcfg(*options, [&](MainDialog& dialog) {
            seen = shownTexts(dialog);
            dialog.close();
        });
        QCOMPARE(code, 0);
        QVERIFY(seen.size() > 96);
        QVERIFY(seen.contains(QStringLiteral("Sine gen., Hz")));
        QVERIFY(seen.contains(QStringLiteral("Reduced")));
        QVERIFY(seen.contains(QStringLiteral("Connect")));
        for (const QString& text : seen) {
            QVERIFY2(!hasCyrillic(text), qPrintable(text));
        }
    }

    // The actions' messages come in the dialog's language; the pane's line for
    // a send without a port is the same in both.
    void messagesComeInTheDialogsLanguage() {
        test::RecordingMessageBox messages;
        ConfiguratorSeams seams{std::make_unique<FixedPortFinder>("/nonexistent/ttyACM9")};
        seams.messages = &messages;
        seams.language = Language::English;
        Configurator configurator(std::move(seams));
        configurator.show();
        MainDialog& dialog = configurator.dialog();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        // A threshold typed with three digits on the fourth line.
        auto* table = qobject_cast<QPlainTextEdit*>(dialog.control(ids::channelTable));
        test::clickCentreOf(*table);
        QTest::keyClick(table, Qt::Key_Home, Qt::ControlModifier);
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(table, Qt::Key_Down);
        }
        QTest::keyClick(table, Qt::Key_Home);
        for (int i = 0; i < 21; ++i) {
            QTest::keyClick(table, Qt::Key_Right);
        }
        QTest::keyClick(table, Qt::Key_Delete);

        test::clickCentreOf(*dialog.control(ids::checkButton));
        QCOMPARE(messages.shown().size(), std::size_t{1});
        QCOMPARE(utf8(messages.shown()[0].caption), QStringLiteral("Settings check"));
        QVERIFY2(utf8(messages.shown()[0].text)
                     .contains(QStringLiteral("line 04: threshold — four digits")),
                 messages.shown()[0].text.c_str());

        messages.clear();
        test::clickCentreOf(*dialog.control(ids::readSettingsButton));
        QVERIFY(messages.empty());
        QVERIFY(configurator.pane().snapshot().find(actionTexts::notConnected) !=
                std::string::npos);

        test::clickCentreOf(*dialog.control(ids::copyReportButton));
        QCOMPARE(messages.shown().size(), std::size_t{1});
        QCOMPARE(utf8(messages.shown()[0].caption), QStringLiteral("Modem report"));
        QVERIFY2(utf8(messages.shown()[0].text).startsWith(QStringLiteral("The pane holds no")),
                 messages.shown()[0].text.c_str());
        configurator.shutdown();
    }
};

QTEST_MAIN(LanguageTest)
#include "language_test.moc"
