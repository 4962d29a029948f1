// The operator's ordinary slips, made through the window against modem-sim at
// the modem's own pace: each is caught by a message box of the program's own,
// the form keeps what the operator left in it, and modem-sim's traffic log
// shows that nothing was written.

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "gui/mouse_input.h"
#include "gui/sim_rig.h"
#include "link/link.h"
#include "protocol/report_parser.h"
#include "settings/mset.h"
#include "sim/modem_simulator.h"
#include "ui/action_texts.h"
#include "ui/control_table.h"
#include "ui/settings_check.h"

using namespace modem;
using test::Boxes;
using test::MessageBoxHand;
using test::Rig;

namespace {

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Every control's text and selection as the dialog shows them; the pane and
// the connection button tell of the link, not of the form.
std::vector<std::pair<std::string, int>> formState(Rig& rig) {
    std::vector<std::pair<std::string, int>> state;
    for (const ControlTemplate& ctl : dialogControls()) {
        if (ctl.id == ids::terminalPane || ctl.id == ids::connectButton) {
            continue;
        }
        state.emplace_back(rig.configurator.form().readText(ctl.id, 100000),
                           rig.configurator.form().selection(ctl.id));
    }
    return state;
}

QPlainTextEdit& editOf(Rig& rig, int id) {
    return *qobject_cast<QPlainTextEdit*>(rig.configurator.dialog().control(id));
}

// Into a multi-line field with the mouse, then to line `line`, column `column`
// with the keys.
void goTo(Rig& rig, int id, int line, int column) {
    QPlainTextEdit& edit = editOf(rig, id);
    test::clickCentreOf(edit);
    QTest::keyClick(&edit, Qt::Key_Home, Qt::ControlModifier);
    for (int i = 0; i < line; ++i) {
        QTest::keyClick(&edit, Qt::Key_Down);
    }
    QTest::keyClick(&edit, Qt::Key_Home);
    for (int i = 0; i < column; ++i) {
        QTest::keyClick(&edit, Qt::Key_Right);
    }
}

bool nothingWritten(const Rig& rig) {
    return rig.received().find("+cfwr") == std::string::npos;
}

}  // namespace

class ChecksSimTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { applyDialogStyle(); }

    // Three slips in the channel table, one after the other: each "Настроить"
    // lists what is wrong so far and asks; No (the default) writes nothing and
    // leaves the table as typed. Enter mends the joined lines, as in any editor.
    void slipsInTheTableAreAskedAboutAndNoWritesNothing() {
        Rig rig("9600", Boxes::Qt);
        MessageBoxHand hand;
        CONNECT(rig);
        QPlainTextEdit& table = editOf(rig, ids::channelTable);

        // Each slip: to line `line` (column -1: its end), then `times` x `key`.
        const struct {
            const char* name;
            int line;
            int column;
            Qt::Key key;
            int times;
            const char* named;
        } slips[] = {
            {"threshold typed 330", 3, 21, Qt::Key_Delete, 1, "строка 04: порог"},
            {"Hi deleted", 6, -1, Qt::Key_Backspace, 2, "строка 07"},
            {"two lines joined", 1, -1, Qt::Key_Delete, 1, "15 строк"},
        };
        for (const auto& slip : slips) {
            goTo(rig, ids::channelTable, slip.line, std::max(slip.column, 0));
            if (slip.column < 0) {
                QTest::keyClick(&table, Qt::Key_End);
            }
            for (int i = 0; i < slip.times; ++i) {
                QTest::keyClick(&table, slip.key);
            }
            const auto form = formState(rig);
            const Mset before = rig.configurator.mset();
            hand.clear();
            rig.press(ids::writeSettingsButton);
            QCOMPARE(hand.seen().size(), std::size_t{1});
            QVERIFY2(hand.seen()[0].text.contains(utf8(slip.named)), slip.name);
            QVERIFY(hand.seen()[0].text.contains(utf8(actionTexts::writeAnyway)));
            QVERIFY(formState(rig) == form);
            QVERIFY(rig.configurator.mset() == before);
        }

        // Enter where the lines joined breaks them again; the other two slips
        // mended by hand, the table is sound and goes without a question.
        goTo(rig, ids::channelTable, 1, 28);
        QTest::keyClick(&table, Qt::Key_Return);
        goTo(rig, ids::channelTable, 3, 21);
        QTest::keyClicks(&table, QStringLiteral("0"));
        goTo(rig, ids::channelTable, 6, 26);
        QTest::keyClicks(&table, QStringLiteral("Lo"));
        hand.clear();
        rig.press(ids::writeSettingsButton);
        QVERIFY(hand.seen().empty());
        QCOMPARE(rig.configurator.mset().CH[6].PWR, std::uint8_t{5});
        QTRY_VERIFY(
            test::endsWith(rig.received(), "+cfwr\r" + test::imageBytes(rig.configurator.mset())));
        QCOMPARE(rig.received().find("+cfwr"), rig.received().rfind("+cfwr"));
    }

    // "Скопир." takes only a whole report: not one still arriving, not one an
    // unplug cut short, not one with letters typed into it.
    void copyRefusesAReportThatIsNotWhole() {
        Rig rig("9600", Boxes::Qt);
        MessageBoxHand hand;
        CONNECT(rig);
        const auto form = formState(rig);
        const Mset before = rig.configurator.mset();
        const auto refused = [&](ReportState state) {
            hand.clear();
            rig.press(ids::copyReportButton);
            QCOMPARE(hand.seen().size(), std::size_t{1});
            QCOMPARE(hand.seen()[0].text, utf8(reportStateMessage(state)));
            QVERIFY(formState(rig) == form);
            QVERIFY(rig.configurator.mset() == before);
        };

        // Still arriving: wait for part of it, not for a time.
        rig.press(ids::readSettingsButton);
        QTRY_VERIFY_WITH_TIMEOUT(rig.pane().find("Ch08") != std::string::npos,
                                 test::replyTimeoutMs);
        refused(ReportState::Incomplete);
        QTRY_VERIFY_WITH_TIMEOUT(
            rig.pane().find("Even") != std::string::npos && test::endsWith(rig.pane(), "\r\n"),
            test::replyTimeoutMs);

        // Letters typed into a frequency of the whole report.
        goTo(rig, ids::terminalPane, 3, 10);
        QTest::keyClicks(&editOf(rig, ids::terminalPane), QStringLiteral("ab"));
        QTRY_VERIFY(rig.pane().find("ab") != std::string::npos);
        refused(ReportState::Damaged);

        // Cut short by an unplug: what is there may end early or carry the
        // status line where the rest should be.
        rig.press(ids::readSettingsButton);
        QTRY_VERIFY_WITH_TIMEOUT(rig.pane().find("Ch05") != std::string::npos,
                                 test::replyTimeoutMs);
        rig.sim.unplug();
        QTRY_COMPARE(rig.caption(ids::connectButton), QStringLiteral("Connect"));
        const ReportState cut = examineReport(findReport(rig.pane()));
        QVERIFY(cut == ReportState::Incomplete || cut == ReportState::Damaged);
        refused(cut);
        QVERIFY(nothingWritten(rig));
    }

    // "Открыть": a file of random bytes is listed and No keeps everything; a
    // cancelled chooser keeps the operator's edits.
    void openKeepsTheFormUnlessTheOperatorSaysYes() {
        Rig rig("9600", Boxes::Qt);
        MessageBoxHand hand;
        std::mt19937 random(2024);
        std::string noise(1024, '\0');
        for (char& c : noise) {
            c = static_cast<char>(random());
        }
        const auto file = rig.dir / "noise.cfg";
        std::ofstream(file, std::ios::binary) << noise;

        rig.type(ids::wtField, QStringLiteral("123"));  // an edit not yet read
        const auto form = formState(rig);
        const Mset before = rig.configurator.mset();

        rig.files.answer(file);
        rig.press(ids::openFileButton);
        QCOMPARE(hand.seen().size(), std::size_t{1});
        QVERIFY(hand.seen()[0].text.contains(utf8(actionTexts::loadAnyway)));
        QVERIFY(formState(rig) == form);
        QVERIFY(rig.configurator.mset() == before);

        rig.files.cancel();
        rig.press(ids::openFileButton);
        QCOMPARE(hand.seen().size(), std::size_t{1});  // no box for a cancel
        QVERIFY(formState(rig) == form);
        QCOMPARE(qobject_cast<QLineEdit*>(rig.configurator.dialog().control(ids::wtField))->text(),
                 QStringLiteral("123"));
        QVERIFY(nothingWritten(rig));
    }

    // With no port open "Считать" keeps the last report in the pane and every
    // button that sends says "not connected".
    void withoutAPortTheLastReportStaysAndButtonsSaySo() {
        Rig rig("9600", Boxes::Qt);
        MessageBoxHand hand;
        CONNECT(rig);
        rig.press(ids::readSettingsButton);
        QTRY_VERIFY_WITH_TIMEOUT(
            rig.pane().find("Even") != std::string::npos && test::endsWith(rig.pane(), "\r\n"),
            test::replyTimeoutMs);
        rig.press(ids::connectButton);
        QTRY_COMPARE(rig.caption(ids::connectButton), QStringLiteral("Connect"));
        QVERIFY(test::endsWith(rig.pane(), "device disconnected\r\n"));

        // Each press one line more; the window of 24 lines drops the oldest.
        std::string said = "device disconnected\r\n";
        for (const int id : {ids::readSettingsButton, ids::readProfileButton,
                             ids::writeSettingsButton, ids::firmwareVersionButton}) {
            rig.press(id);
            said += "not connected\r\n";
            QVERIFY2(test::endsWith(rig.pane(), said), qPrintable(QString::number(id)));
            QVERIFY(rig.pane().find("Ch16 Rx 155.475MHz") != std::string::npos);
        }
        QVERIFY(hand.seen().empty());
        QVERIFY(nothingWritten(rig));
    }

    // The modem unplugged while "Disconnect" writes: the write fails, and its
    // message's own loop sees the unplug. Once the message is closed the link
    // is down and the button offers "Connect".
    void captionAfterAFailedWriteAndAnUnplug() {
        Rig rig("9600", Boxes::Qt);
        MessageBoxHand hand;
        CONNECT(rig);
        // The write fails on the unplugged line; its message stays open until
        // the hang-up has been handled inside the message's loop.
        hand.holdUntil([&rig] { return rig.configurator.link().state() == LinkState::Down; });
        rig.sim.unplug();
        rig.press(ids::connectButton);
        QCOMPARE(hand.seen().size(), std::size_t{1});
        QCOMPARE(hand.seen()[0].text, QStringLiteral("Could not write to device"));
        QCOMPARE(rig.caption(ids::connectButton), QStringLiteral("Connect"));
        QCOMPARE(rig.configurator.link().state(), LinkState::Down);
    }
};

QTEST_MAIN(ChecksSimTest)
#include "checks_sim_test.moc"
