// Every button of the dialog through its chain, against modem-sim on a
// pseudo-terminal: what reaches the modem is read back from modem-sim's
// traffic log, what comes back is checked in the pane, the form and the image.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "app/configurator.h"
#include "app/demo_modem.h"
#include "app/main_dialog.h"
#include "app/modemcfg.h"
#include "gui/mouse_input.h"
#include "gui/sim_rig.h"
#include "link/discovery.h"
#include "link/link.h"
#include "protocol/commands.h"
#include "settings/mset.h"
#include "sim/modem_simulator.h"
#include "support/manual_timer.h"
#include "support/queue_dispatcher.h"
#include "support/recording_message_box.h"
#include "support/scripted_file_chooser.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "traffic/traffic_format.h"
#include "ui/button_actions.h"
#include "ui/control_table.h"
#include "ui/form_init.h"
#include "ui/form_model.h"
#include "ui/link_caption.h"
#include "ui/transfers.h"

using namespace modem;
using test::endsWith;
using test::imageBytes;
using test::paneAfter;
using test::receivedBySim;
using test::replyTimeoutMs;
using test::Rig;

namespace {

// The in-memory model with the same chain, for comparing what the dialog shows.
struct ModelRig {
    ModelRig()
        : link(LinkContext{pane, messages, timer, dispatcher, finder, makeSystemSerialPort,
                           showLinkState(form)}),
          actions{mset, form, pane, link, files, messages} {
        initialiseForm(form, mset);
    }
    Mset mset;
    FormModel form;
    TerminalPane pane;
    test::RecordingMessageBox messages;
    test::ScriptedFileChooser files;
    test::ManualTimer timer;
    test::QueueDispatcher dispatcher;
    FixedPortFinder finder{"/nonexistent/tty"};
    Link link;
    ActionContext actions;
};

}  // namespace

class ButtonsSimTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { applyDialogStyle(); }

    void connectReadCopyAndDisconnect() {
        Rig rig("9600");  // paced as the real line, so the report trickles in
        CONNECT(rig);
        const std::string& port = rig.sim.path();
        QVERIFY(rig.pane().find("device found on " + port + "\r\ndevice connecting\r\n") !=
                std::string::npos);
        QTRY_COMPARE(rig.received(), std::string("+cfge\r"));

        // The modem holds other settings than the form shows.
        rig.select(ids::vp1List, 3);
        rig.press(ids::writeSettingsButton);
        const Mset modemSettings = rig.configurator.mset();
        rig.select(ids::vp1List, 0);
        rig.select(ids::psList, 0);

        rig.press(ids::readSettingsButton);
        const std::string expected = paneAfter(settingsReport(modemSettings));
        QTRY_COMPARE_WITH_TIMEOUT(rig.pane(), expected, replyTimeoutMs);
        QVERIFY(endsWith(rig.received(), "+view\r"));
        // The widget draws what the model holds.
        auto* paneWidget =
            qobject_cast<QPlainTextEdit*>(rig.configurator.dialog().control(ids::terminalPane));
        QTRY_COMPARE(paneWidget->document()->blockCount(),
                     static_cast<int>(std::count(expected.begin(), expected.end(), '\n')) + 1);

        rig.press(ids::copyReportButton);
        QVERIFY(rig.configurator.mset() == modemSettings);
        QCOMPARE(rig.selected(ids::vp1List), 3);
        ModelRig model;
        model.mset = modemSettings;
        settingsToForm(model.mset, model.form);
        for (const ControlTemplate& ctl : dialogControls()) {
            QVERIFY2(rig.configurator.form().readText(ctl.id, 1000) ==
                             model.form.readText(ctl.id, 1000) ||
                         ctl.kind == ControlKind::Label || ctl.kind == ControlKind::LeftLabel ||
                         ctl.id == ids::terminalPane || ctl.id == ids::connectButton,
                     qPrintable(QString::number(ctl.id)));
            QCOMPARE(rig.configurator.form().selection(ctl.id), model.form.selection(ctl.id));
        }

        rig.press(ids::connectButton);
        QCOMPARE(rig.caption(ids::connectButton), QStringLiteral("Disconnect"));  // until timer 1
        QTRY_COMPARE(rig.caption(ids::connectButton), QStringLiteral("Connect"));
        QVERIFY(endsWith(rig.pane(), "device disconnected\r\n"));
        QCOMPARE(rig.configurator.link().state(), LinkState::Down);
        QTRY_VERIFY(endsWith(rig.received(), "+cfgd\r"));
        QVERIFY(rig.messages.empty());
    }

    void writeStoreAndReadProfiles() {
        Rig rig;
        CONNECT(rig);
        rig.type(ids::wtField, QStringLiteral("300"));
        rig.select(ids::vp2List, 2);
        rig.select(ids::gchList, 2);
        rig.press(ids::writeSettingsButton);
        const Mset written = rig.configurator.mset();
        QCOMPARE(written.WT, std::uint16_t{300});
        QCOMPARE(written.GCH, std::uint8_t{2});
        QTRY_VERIFY(endsWith(rig.received(), "+cfwr\r" + imageBytes(written)));

        rig.select(ids::profileList, 1);
        rig.press(ids::storeProfileButton);
        QTRY_VERIFY(endsWith(rig.received(), "+sav1\r"));

        // Profile 1 now holds what was written, profile 0 still the defaults.
        rig.select(ids::gchList, 0);
        rig.press(ids::readProfileButton);
        QTRY_VERIFY(endsWith(rig.received(), "+vie1\r"));
        QTRY_COMPARE_WITH_TIMEOUT(
            rig.pane(), paneAfter(settingsReport(written, ReportSource::Profile1)), replyTimeoutMs);
        rig.press(ids::copyReportButton);
        QVERIFY(rig.configurator.mset() == written);
        QCOMPARE(rig.selected(ids::gchList), 2);

        rig.select(ids::profileList, 0);
        rig.press(ids::readProfileButton);
        QTRY_VERIFY(endsWith(rig.received(), "+vie0\r"));
        QTRY_COMPARE_WITH_TIMEOUT(
            rig.pane(), paneAfter(settingsReport(defaultSettings(), ReportSource::Profile0)),
            replyTimeoutMs);
        rig.press(ids::copyReportButton);
        QVERIFY(rig.configurator.mset() == defaultSettings());
    }

    void checkNormalisesLikeTheModelAndSendsNothing() {
        Rig rig;
        CONNECT(rig);
        QTRY_COMPARE(rig.received(), std::string("+cfge\r"));
        ModelRig model;
        const struct {
            int id;
            const char* typed;
        } edits[] = {{ids::wtField, "999"},          {ids::repField, "9"},
                     {ids::oddPathField, "5-1-16"},  {ids::evenPathField, "x"},
                     {ids::idRx1Field, "FFFFFFFFF"}, {ids::rsdlyField, "7"}};
        for (const auto& edit : edits) {
            rig.type(edit.id, QString::fromLatin1(edit.typed));
            QVERIFY(model.form.setText(edit.id, edit.typed));
        }
        QWidget* table = rig.configurator.dialog().control(ids::channelTable);
        rig.press(ids::channelTable);
        QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(table, QStringLiteral("01-r150.000-t170.500s2000pLo"));
        QTest::keyClick(table, Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClicks(table, QStringLiteral("7"));
        QVERIFY(model.form.setText(ids::channelTable, "01-r150.000-t170.500s2000pLo\r\n7"));

        rig.press(ids::checkButton);
        checkSettings(model.actions);
        QVERIFY(rig.configurator.mset() == model.mset);
        for (const ControlTemplate& ctl : dialogControls()) {
            if (ctl.kind == ControlKind::Label || ctl.kind == ControlKind::LeftLabel ||
                ctl.id == ids::terminalPane || ctl.id == ids::connectButton) {
                continue;  // texts not of the form; the caption says "Disconnect" here
            }
            QVERIFY2(
                rig.configurator.form().readText(ctl.id, 1000) == model.form.readText(ctl.id, 1000),
                qPrintable(QString::number(ctl.id)));
        }
        QCOMPARE(rig.received(), std::string("+cfge\r"));
    }

    void everyTestButtonSendsItsCommand() {
        Rig rig;
        CONNECT(rig);
        QTRY_COMPARE(rig.received(), std::string("+cfge\r"));
        rig.select(ids::vhfTestChannelList, 4);
        rig.select(ids::mfTestChannelList, 2);
        rig.type(ids::mfToneField, QStringLiteral("2500"));
        const struct {
            int id;
            std::string command;
        } presses[] = {
            {4015, cmdTest()}, {4028, cmdVers()}, {4055, cmdPwrt()},       {4020, cmdChannel(5)},
            {4027, cmdTxmd()}, {4054, cmdVswr()}, {4022, cmdSing("1000")}, {4026, cmdRxmd()},
            {4016, cmdRssi()}, {4098, cmdT1ph()}, {4097, cmdT1pl()},       {4014, cmdMfChannel(2)},
            {4092, cmdTxmk()}, {4093, cmdVswk()}, {4089, cmdSink("2500")}, {4091, cmdRxmk()},
            {4071, cmdRssk()}, {4100, cmdT2ph()}, {4099, cmdT2pl()},
        };
        std::string expected = "+cfge\r";
        for (const auto& press : presses) {
            rig.pressAndSlideOff(press.id);  // sends nothing
            rig.press(press.id);
            expected += press.command;
        }
        QTRY_COMPARE(rig.received(), expected);
        QVERIFY(rig.messages.empty());
    }

    void saveAndOpenFilesWithTheChooser() {
        Rig rig;
        const std::filesystem::path file = rig.dir / "settings.cfg";
        rig.select(ids::vp3List, 2);
        rig.type(ids::htField, QStringLiteral("42"));
        rig.files.answer(file);
        rig.press(ids::saveFileButton);
        const Mset saved = rig.configurator.mset();
        QCOMPARE(saved.HT, std::uint16_t{42});
        std::ifstream in(file, std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
        QCOMPARE(content.size(), std::size_t{1024});
        QCOMPARE(content.substr(0, msetsize), imageBytes(saved));
        QCOMPARE(content.substr(msetsize), std::string(1024 - msetsize, '\0'));

        rig.select(ids::vp3List, 0);
        rig.type(ids::htField, QStringLiteral("7"));
        rig.files.answer(file);
        rig.press(ids::openFileButton);
        QCOMPARE(rig.selected(ids::vp3List), 2);
        QCOMPARE(qobject_cast<QLineEdit*>(rig.configurator.dialog().control(ids::htField))->text(),
                 QStringLiteral("42"));

        // Cancelled: no error, and the operator's choice since stays.
        rig.select(ids::vp3List, 1);
        rig.press(ids::openFileButton);
        QVERIFY(rig.messages.empty());
        QCOMPARE(rig.selected(ids::vp3List), 1);
        QCOMPARE(rig.files.asked(),
                 (std::vector<FileDialogKind>{FileDialogKind::Save, FileDialogKind::Load,
                                              FileDialogKind::Load}));
        QCOMPARE(rig.received(), std::string());  // files are no business of the modem
    }

    void closingWhileConnectedSendsNothingAndExitsWithZero() {
        test::TempDir dir;
        const std::filesystem::path log = dir / "traffic.log";
        test::SimProcess sim({"--baud", "0", "--log", log.string()});
        StartOptions options;
        options.source = PortSource::Fixed;
        options.port = sim.path();
        bool wasConnected = false;
        bool commandArrived = false;
        const int code = runModemcfg(options, [&](MainDialog& dialog) {
            test::clickCentreOf(*dialog.control(ids::connectButton));
            wasConnected =
                qobject_cast<QAbstractButton*>(dialog.control(ids::connectButton))->text() ==
                QStringLiteral("Disconnect");
            // Closing the port drops what the modem has not read yet: wait for
            // the connect's command, so that anything after it would show.
            commandArrived =
                QTest::qWaitFor([&] { return receivedBySim(log) == "+cfge\r"; }, 10000);
            dialog.close();
        });
        QCOMPARE(code, 0);
        QVERIFY(wasConnected);
        QVERIFY(commandArrived);
        sim.stop();  // everything it received is in the log now
        QCOMPARE(receivedBySim(log), std::string("+cfge\r"));
    }

    // Unplugged, the simulated modem comes back on a fresh terminal; the
    // demo's next connect finds it there, as discovery finds a real modem.
    void demoConnectFollowsTheSimulatorToItsNewTerminal() {
        DemoModem demo;
        const auto failed = demo.start(QString::fromStdString(test::SimProcess::executable()),
                                       {QStringLiteral("--baud"), QStringLiteral("0")});
        QVERIFY2(!failed, failed ? qPrintable(*failed) : "");
        const std::string first = demo.portPath().toStdString();
        test::RecordingMessageBox messages;
        test::ScriptedFileChooser files;
        Configurator configurator(ConfiguratorSeams{std::make_unique<DemoPortFinder>(demo),
                                                    makeSystemSerialPort, &messages, &files});
        configurator.show();
        QVERIFY(QTest::qWaitForWindowExposed(&configurator.dialog()));
        auto* connect =
            qobject_cast<QAbstractButton*>(configurator.dialog().control(ids::connectButton));
        const auto answers = [&] {
            const std::string pane = configurator.pane().snapshot();
            std::size_t count = 0;
            for (std::size_t at = pane.find("Config mode on"); at != std::string::npos;
                 at = pane.find("Config mode on", at + 1)) {
                ++count;
            }
            return count;
        };

        test::clickCentreOf(*connect);
        QTRY_COMPARE(answers(), std::size_t{1});
        QVERIFY(configurator.pane().snapshot().find("device found on " + first) !=
                std::string::npos);

        {
            // Held open, the old terminal keeps its number from the new one.
            const int held = ::open(first.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
            QVERIFY(held >= 0);
            QCOMPARE(::kill(static_cast<pid_t>(demo.processId()), SIGUSR1), 0);
            QTRY_VERIFY(demo.portPath().toStdString() != first);
            QTRY_COMPARE(connect->text(), QStringLiteral("Connect"));  // the hang-up was seen
            ::close(held);
        }
        const std::string second = demo.portPath().toStdString();
        test::clickCentreOf(*connect);
        QCOMPARE(connect->text(), QStringLiteral("Disconnect"));
        QVERIFY(configurator.pane().snapshot().find("device found on " + second) !=
                std::string::npos);
        QTRY_COMPARE(answers(), std::size_t{2});
        QVERIFY(messages.empty());
    }

    void logOptionCombinesWithTheOthers() {
        const struct {
            QStringList arguments;
            PortSource source;
            const char* port;
            const char* log;
            const char* error;  // empty: accepted
        } cases[] = {
            {{"--log", "t.log"}, PortSource::Discovery, "", "t.log", ""},
            {{"--port", "/dev/x", "--log", "t.log"}, PortSource::Fixed, "/dev/x", "t.log", ""},
            {{"--log=t.log", "--demo"}, PortSource::Demo, "", "t.log", ""},
            {{"--demo", "--log"}, PortSource::Discovery, "", "", "--log needs a file"},
            {{"--log", ""}, PortSource::Discovery, "", "", "--log needs a file"},
        };
        for (const auto& c : cases) {
            const auto parsed = parseArguments(c.arguments);
            if (*c.error != '\0') {
                QVERIFY(std::holds_alternative<UsageError>(parsed));
                QCOMPARE(std::get<UsageError>(parsed).message, std::string(c.error));
                continue;
            }
            QVERIFY(std::holds_alternative<StartOptions>(parsed));
            const auto& options = std::get<StartOptions>(parsed);
            QCOMPARE(options.source, c.source);
            QCOMPARE(options.port, std::string(c.port));
            QCOMPARE(options.log, std::string(c.log));
        }
    }

    void theLogOptionRecordsTheDialogsExchange() {
        test::TempDir dir;
        const std::filesystem::path toolLog = dir / "tool.log";
        test::SimProcess sim({"--baud", "0"});
        const auto parsed =
            parseArguments({QStringLiteral("--port"), QString::fromStdString(sim.path()),
                            QStringLiteral("--log"), QString::fromStdString(toolLog.string())});
        QVERIFY(std::holds_alternative<StartOptions>(parsed));
        const int code = runModemcfg(std::get<StartOptions>(parsed), [&](MainDialog& dialog) {
            auto* button = qobject_cast<QAbstractButton*>(dialog.control(ids::connectButton));
            test::clickCentreOf(*button);
            dialog.close();
        });
        QCOMPARE(code, 0);

        std::ifstream in(toolLog, std::ios::binary);
        std::string sent;
        std::vector<std::string> status;
        for (std::string line; std::getline(in, line);) {
            const auto entry = parseTrafficEntry(line);
            QVERIFY2(entry.has_value(), line.c_str());
            const std::string bytes(entry->bytes.begin(), entry->bytes.end());
            if (entry->direction == TrafficDirection::ToModem) {
                sent += bytes;
            } else if (entry->direction == TrafficDirection::Status) {
                status.push_back(bytes);
            }
        }
        QCOMPARE(sent, std::string("+cfge\r"));
        QCOMPARE(status,
                 (std::vector<std::string>{"device found on " + sim.path(), "device connecting"}));
    }
};

QTEST_MAIN(ButtonsSimTest)
#include "buttons_sim_test.moc"
