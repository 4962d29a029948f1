// modemcfg's command line: the ways to start, the start-up check that goes with
// each of them, and the mistakes that are refused rather than guessed at.

#include <QTest>
#include <variant>

#include "app/modemcfg.h"

using namespace modem;

class StartOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void accepted_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("source");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("quitWhenShown");

        const auto discovery = static_cast<int>(PortSource::Discovery);
        const auto fixed = static_cast<int>(PortSource::Fixed);
        const auto demo = static_cast<int>(PortSource::Demo);
        QTest::newRow("nothing") << QStringList{} << discovery << QString() << false;
        QTest::newRow("demo") << QStringList{"--demo"} << demo << QString() << false;
        QTest::newRow("port") << QStringList{"--port", "/dev/ttyACM0"} << fixed << "/dev/ttyACM0"
                              << false;
        QTest::newRow("port=") << QStringList{"--port=/dev/ttyUSB1"} << fixed << "/dev/ttyUSB1"
                               << false;
        QTest::newRow("check alone")
            << QStringList{"--quit-when-shown"} << discovery << QString() << true;
        QTest::newRow("check after demo")
            << QStringList{"--demo", "--quit-when-shown"} << demo << QString() << true;
        QTest::newRow("check before port")
            << QStringList{"--quit-when-shown", "--port", "/dev/ttyACM0"} << fixed << "/dev/ttyACM0"
            << true;
        // Between an option and its value it is still the check, not the path.
        QTest::newRow("check inside port")
            << QStringList{"--port", "--quit-when-shown", "/dev/ttyACM0"} << fixed << "/dev/ttyACM0"
            << true;
    }

    void accepted() {
        QFETCH(QStringList, arguments);
        QFETCH(int, source);
        QFETCH(QString, port);
        QFETCH(bool, quitWhenShown);

        const auto parsed = parseArguments(arguments);
        const auto* options = std::get_if<StartOptions>(&parsed);
        QVERIFY2(options != nullptr, "refused");
        QCOMPARE(static_cast<int>(options->source), source);
        QCOMPARE(QString::fromStdString(options->port), port);
        QCOMPARE(options->quitWhenShown, quitWhenShown);
    }

    void refused_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("messagePart");

        QTest::newRow("check twice")
            << QStringList{"--quit-when-shown", "--demo", "--quit-when-shown"} << "more than once";
        QTest::newRow("port without path")
            << QStringList{"--port", "--quit-when-shown"} << "needs a path";
        QTest::newRow("demo and port")
            << QStringList{"--demo", "--port", "/dev/ttyACM0"} << "unexpected argument";
        // Only the whole word is the check; a near miss is no silent start.
        QTest::newRow("misspelt check")
            << QStringList{"--demo", "--quit-when-show"} << "unexpected argument";
        QTest::newRow("version with others")
            << QStringList{"--demo", "--version"} << "unexpected argument";
    }

    void refused() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, messagePart);

        const auto parsed = parseArguments(arguments);
        const auto* error = std::get_if<UsageError>(&parsed);
        QVERIFY2(error != nullptr, "accepted");
        QVERIFY2(QString::fromStdString(error->message).contains(messagePart),
                 error->message.c_str());
    }

    void usageNamesEveryOption() {
        const QString usage = QString::fromUtf8(usageText());
        for (const char* option : {"--port", "--demo", "--quit-when-shown", "--version"}) {
            QVERIFY2(usage.contains(QLatin1String(option)), option);
        }
    }
};

QTEST_GUILESS_MAIN(StartOptionsTest)
#include "start_options_test.moc"
