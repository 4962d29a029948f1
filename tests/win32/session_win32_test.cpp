// modemcfg.exe against the simulated modem, driven from outside by window
// messages as an operator's clicks and typing would drive it: connect, read
// and copy the report, change a field, write the settings, read them back,
// disconnect, close. The form's texts and the bytes the simulator received
// (its traffic log) are checked, and the program's own traffic log, kept in a
// Cyrillic folder under a Cyrillic name, holds what the modem received.
//
// Run by the Windows test script, which starts modem-sim with a log, maps its
// terminal to a COM port and names the three in MODEMCFG_EXE, MODEMCFG_PORT
// and MODEM_SIM_LOG (a path this process can open).

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "settings/mset.h"
#include "tests/support/temp_dir.h"
#include "tests/win32/dialog_harness.h"
#include "ui/action_texts.h"
#include "ui/control_table.h"
#include "win32/wide_text.h"
#include "win32/win32_platform.h"

namespace modem::test {
namespace {

std::wstring envWide(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return {};
    }
    const std::string s(value);
    return {s.begin(), s.end()};
}

struct FoundDialog {
    DWORD process;
    HWND window = nullptr;
};

BOOL CALLBACK findDialog(HWND window, LPARAM param) {
    auto* found = reinterpret_cast<FoundDialog*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t cls[32] = {};
    GetClassNameW(window, cls, 32);
    if (process == found->process && std::wstring(cls) == L"firstClass" &&
        IsWindowVisible(window)) {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

class Session : public ::testing::Test {
protected:
    void SetUp() override {
        m_exe = envWide("MODEMCFG_EXE");
        m_port = envWide("MODEMCFG_PORT");
        m_log = envWide("MODEM_SIM_LOG");
        if (m_exe.empty() || m_port.empty() || m_log.empty()) {
            GTEST_SKIP() << "MODEMCFG_EXE, MODEMCFG_PORT and MODEM_SIM_LOG name the program, "
                            "the simulator's port and its log";
        }
        // The log is shared with whatever used the modem before.
        m_receivedBefore = receivedBySim(m_log);
        std::filesystem::create_directory(m_ownLog.parent_path());
        std::wstring command =
            L"\"" + m_exe + L"\" --port " + m_port + L" --log \"" + m_ownLog.wstring() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &m_process));
        FoundDialog found{m_process.dwProcessId};
        ASSERT_TRUE(waitFor(
            [&] {
                EnumWindows(findDialog, reinterpret_cast<LPARAM>(&found));
                return found.window != nullptr;
            },
            std::chrono::seconds(20)))
            << "no dialog";
        m_dialog = found.window;
    }

    void TearDown() override {
        if (m_process.hProcess != nullptr) {
            if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(m_process.hProcess, 99);
            }
            CloseHandle(m_process.hThread);
            CloseHandle(m_process.hProcess);
        }
    }

    HWND control(int id) const { return GetDlgItem(m_dialog, id); }

    // As a click does: the action runs to its end before the call returns.
    void press(int id) {
        DWORD_PTR result = 0;
        ASSERT_NE(SendMessageTimeoutW(control(id), BM_CLICK, 0, 0, SMTO_NORMAL, 20000, &result), 0)
            << "button " << id << " did not finish";
    }

    // A control's text through the window API, as the form's bytes.
    std::string text(int id) const {
        wchar_t buffer[4096] = {};
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(control(id), WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer),
                            SMTO_NORMAL, 5000, &copied);
        const std::wstring wide(buffer);
        return wideToBytes(std::u16string(wide.begin(), wide.end()));
    }

    void setText(int id, std::string_view cp1251) {
        const std::u16string shown = bytesToWide(cp1251);
        const std::wstring wide(shown.begin(), shown.end());
        SendMessageW(control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    }

    bool paneHas(std::string_view piece) const {
        return text(ids::terminalPane).find(piece) != std::string::npos;
    }

    // "Считать" and then the whole report, read from the pane as it is shown.
    // A mark typed into the pane first tells the new report from the last one:
    // the read clears the pane, mark and all.
    void readReport() {
        setText(ids::terminalPane, "(mark)");
        press(ids::readSettingsButton);
        ASSERT_TRUE(waitFor([&] { return !paneHas("(mark)") && reportArrived(); },
                            std::chrono::seconds(20)))
            << text(ids::terminalPane);
    }

    // The text after `label` in the report on the pane, up to the next blank
    // (or the line's end when `toLineEnd`).
    std::string reported(std::string_view label, bool toLineEnd = false) const {
        const std::string pane = text(ids::terminalPane);
        std::size_t at = pane.find(label);
        if (at == std::string::npos) {
            return {};
        }
        at = pane.find_first_not_of(' ', at + label.size());
        const std::size_t end = pane.find_first_of(toLineEnd ? "\r" : " \r", at);
        return pane.substr(at, end - at);
    }

    // As a click that may open a message box: the test goes on at once.
    void click(int id) { PostMessageW(control(id), BM_CLICK, 0, 0); }

    DWORD dialogThread() const { return GetWindowThreadProcessId(m_dialog, nullptr); }

    // The message box titled `caption` (UTF-8) the program shows.
    HWND messageBox(std::string_view caption) const {
        HWND box = nullptr;
        (void)waitFor(
            [&] { return (box = windowOfThread(dialogThread(), utf8ToWide(caption))) != nullptr; },
            std::chrono::seconds(20));
        return box;
    }

    // Answers `box` and waits until the action that opened it has ended: a
    // message sent after the box has gone is handled once the action returns.
    void answer(HWND box, int button) {
        PostMessageW(box, WM_COMMAND, button, 0);
        ASSERT_TRUE(waitFor([&] { return !IsWindow(box); }));
        DWORD_PTR result = 0;
        ASSERT_NE(SendMessageTimeoutW(m_dialog, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &result), 0);
    }

    // Enter in the box answers No.
    static bool noIsTheDefault(HWND box) {
        const auto style = [&](int id) {
            return GetWindowLongW(GetDlgItem(box, id), GWL_STYLE) & 0x0F;
        };
        return style(IDNO) == BS_DEFPUSHBUTTON && style(IDYES) != BS_DEFPUSHBUTTON;
    }

    // Every text the operator can edit in the form, by control.
    std::map<int, std::string> formTexts() const {
        std::map<int, std::string> texts;
        for (const ControlTemplate& ctl : dialogControls()) {
            if (ctl.kind == ControlKind::NumberField || ctl.kind == ControlKind::TextField ||
                ctl.id == ids::channelTable) {
                texts[ctl.id] = text(ctl.id);
            }
        }
        return texts;
    }

    // What the modem received since the test began.
    std::string receivedNow() const { return receivedBySim(m_log).substr(m_receivedBefore.size()); }

    void connect() {
        press(ids::connectButton);
        ASSERT_TRUE(waitFor([&] { return paneHas("device connecting"); }))
            << text(ids::terminalPane);
    }

    bool reportArrived() const {
        const std::string pane = text(ids::terminalPane);
        const std::size_t even = pane.find("Even ");
        return even != std::string::npos && pane.find("\r\n", even) != std::string::npos;
    }

    std::wstring m_exe;
    std::wstring m_port;
    std::wstring m_log;
    TempDir m_dir;
    std::filesystem::path m_ownLog = m_dir.path() / L"Журналы" / L"обмен с модемом.log";
    std::string m_receivedBefore;
    PROCESS_INFORMATION m_process{};
    HWND m_dialog = nullptr;
};

TEST_F(Session, ConnectReadCopyWriteReadBackDisconnect) {
    press(ids::connectButton);
    EXPECT_EQ(text(ids::connectButton), "Disconnect");
    EXPECT_TRUE(waitFor([&] { return paneHas("device connecting"); })) << text(ids::terminalPane);

    // Copying replaces what the form shows with the modem's report (whatever
    // the modem holds: other programs may have written to it before).
    setText(ids::htField, "");
    setText(ids::oddPathField, "");
    ASSERT_NO_FATAL_FAILURE(readReport());
    EXPECT_EQ(text(ids::terminalPane).find("device connecting"), std::string::npos)
        << "the pane was not cleared before reading";
    const std::string reportedHt = reported("HT ");
    ASSERT_FALSE(reportedHt.empty()) << text(ids::terminalPane);
    press(ids::copyReportButton);
    EXPECT_EQ(text(ids::htField), reportedHt);
    EXPECT_EQ(text(ids::oddPathField), reported("Odd ", true));

    // An edited field goes to the modem and comes back from it.
    const int editedHt = (std::stoi(reportedHt) + 23) % 1000;
    setText(ids::htField, std::to_string(editedHt));
    setText(ids::evenPathField, "01-02");
    press(ids::writeSettingsButton);
    setText(ids::htField, "9");
    ASSERT_NO_FATAL_FAILURE(readReport());
    press(ids::copyReportButton);
    EXPECT_EQ(text(ids::htField), std::to_string(editedHt));
    EXPECT_EQ(text(ids::evenPathField), "01-02");

    press(ids::connectButton);
    EXPECT_TRUE(waitFor([&] { return paneHas("device disconnected"); })) << text(ids::terminalPane);
    EXPECT_EQ(text(ids::connectButton), "Connect");

    PostMessageW(m_dialog, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(m_process.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(m_process.hProcess, &code);
    EXPECT_EQ(code, 0U);

    // What the modem received in this session, in order: the image between
    // "+cfwr\r" and the next read carries the edited value.
    const std::string received = receivedBySim(m_log).substr(m_receivedBefore.size());
    const std::size_t connect = received.find("+cfge\r");
    const std::size_t firstRead = received.find("+view\r", connect);
    const std::size_t write = received.find("+cfwr\r", firstRead);
    const std::size_t secondRead = received.find("+view\r", write);
    const std::size_t disconnect = received.find("+cfgd\r", secondRead);
    ASSERT_NE(connect, std::string::npos) << received;
    ASSERT_NE(firstRead, std::string::npos) << received;
    ASSERT_NE(write, std::string::npos) << received;
    ASSERT_NE(secondRead, std::string::npos) << received;
    ASSERT_NE(disconnect, std::string::npos) << received;
    const std::size_t image = write + 6;
    ASSERT_EQ(secondRead - image, msetsize) << "the image is not whole";
    const auto byteAt = [&](std::size_t offset) {
        return static_cast<unsigned char>(received[image + offset]);
    };
    EXPECT_EQ(byteAt(offsets::HT) | (byteAt(offsets::HT + 1) << 8), editedHt);

    // The program's log saw the same bytes go out, from the connect on.
    EXPECT_EQ(receivedBySim(m_ownLog), received.substr(connect)) << "the program's log";
}

// A slip in the channel table: "Настроить" names the line, asks, and No (the
// default) writes nothing and leaves the text for the operator to mend.
TEST_F(Session, ASlipInTheChannelTableIsNamedAndNothingIsWritten) {
    ASSERT_NO_FATAL_FAILURE(connect());
    const std::string table = text(ids::channelTable);
    const std::size_t line4 = table.find("\r\n04-") + 2;
    const std::size_t end4 = table.find("\r\n", line4);
    ASSERT_NE(end4, std::string::npos) << table;
    const std::size_t threshold = table.find('s', line4) + 1;
    struct Slip {
        const char* what;
        std::string table;
    };
    const std::vector<Slip> slips = {
        {"a threshold of three digits", table.substr(0, threshold) + table.substr(threshold + 1)},
        {"Hi or Lo deleted", table.substr(0, end4 - 2) + table.substr(end4)},
        {"two lines joined", table.substr(0, end4) + table.substr(end4 + 2)},
    };
    for (const Slip& slip : slips) {
        SCOPED_TRACE(slip.what);
        setText(ids::channelTable, slip.table);
        const std::map<int, std::string> before = formTexts();
        click(ids::writeSettingsButton);
        const HWND box = messageBox(actionTexts::checkCaption);
        ASSERT_NE(box, nullptr);
        const std::u16string message = messageOf(box);
        EXPECT_NE(message.find(u"строка 04"), std::u16string::npos);
        EXPECT_NE(message.find(utf8ToWide(actionTexts::writeAnyway)), std::u16string::npos);
        EXPECT_TRUE(noIsTheDefault(box));
        ASSERT_NO_FATAL_FAILURE(answer(box, IDNO));
        EXPECT_EQ(formTexts(), before);
    }
    press(ids::connectButton);
    ASSERT_TRUE(waitFor([&] { return paneHas("device disconnected"); }));
    const std::string received = receivedNow();
    EXPECT_NE(received.find("+cfge\r"), std::string::npos) << "the log shows no connect";
    EXPECT_EQ(received.find("+cfwr"), std::string::npos) << "settings were written";
}

// "Скопир." takes only a whole report: one still arriving, one with letters
// typed into it and one an unplug cut short each give a message and leave the
// form as it was.
TEST_F(Session, CopyTakesOnlyAWholeReport) {
    ASSERT_NO_FATAL_FAILURE(connect());
    setText(ids::htField, "5");
    const std::map<int, std::string> before = formTexts();
    const auto copyIsRefused = [&](std::string_view because) {
        click(ids::copyReportButton);
        const HWND box = messageBox(actionTexts::reportCaption);
        ASSERT_NE(box, nullptr) << because;
        EXPECT_FALSE(messageOf(box).empty());
        ASSERT_NO_FATAL_FAILURE(answer(box, IDOK));
        EXPECT_EQ(formTexts(), before) << because;
    };

    // Half a second into the report's second at 9600 bit/s.
    click(ids::readSettingsButton);
    ASSERT_TRUE(
        waitFor([&] { return paneHas("Modem") && paneHas("HT "); }, std::chrono::seconds(20)))
        << text(ids::terminalPane);
    ASSERT_FALSE(reportArrived()) << "the report arrived before the copy";
    ASSERT_NO_FATAL_FAILURE(copyIsRefused("still arriving"));

    // Two letters typed before the value of HT.
    ASSERT_TRUE(waitFor([&] { return reportArrived(); }, std::chrono::seconds(20)));
    const std::string pane = text(ids::terminalPane);
    const std::size_t value = pane.find_first_not_of(' ', pane.find("HT ") + 3);
    SendMessageW(control(ids::terminalPane), EM_SETSEL, value, value);
    for (const wchar_t letter : {L'q', L'w'}) {
        PostMessageW(control(ids::terminalPane), WM_CHAR, letter, 1);
    }
    ASSERT_TRUE(waitFor([&] { return paneHas("qw"); })) << text(ids::terminalPane);
    ASSERT_NO_FATAL_FAILURE(copyIsRefused("letters typed"));

    if (std::getenv("MODEM_SIM_UNPLUG") == nullptr) {
        GTEST_SKIP() << "MODEM_SIM_UNPLUG names no way to unplug the simulator";
    }
    click(ids::readSettingsButton);
    ASSERT_TRUE(
        waitFor([&] { return paneHas("Modem") && paneHas("HT "); }, std::chrono::seconds(20)))
        << text(ids::terminalPane);
    ASSERT_TRUE(unplugSimulator());
    ASSERT_TRUE(waitFor([&] { return paneHas("device disconnected"); }, std::chrono::seconds(20)))
        << text(ids::terminalPane);
    ASSERT_NO_FATAL_FAILURE(copyIsRefused("cut short"));
    EXPECT_EQ(text(ids::connectButton), "Connect");
}

// "Открыть" on 1024 random bytes lists their problems and asks; No (the
// default) loads nothing. A cancelled chooser loads nothing either: the
// operator's edits stay.
TEST_F(Session, OpenAnsweredNoOrCancelledKeepsTheEdits) {
    const std::filesystem::path noise = m_dir.path() / L"шум.cfg";
    {
        std::mt19937 random(1024);
        std::ofstream out(noise, std::ios::binary);
        for (int i = 0; i < 1024; ++i) {
            out.put(static_cast<char>(random() & 0xFF));
        }
    }
    setText(ids::htField, "5");
    setText(ids::oddPathField, "03-04");
    const std::map<int, std::string> before = formTexts();

    click(ids::openFileButton);
    ASSERT_NO_FATAL_FAILURE(chooseFile(dialogThread(), u"Load", noise.wstring()));
    const HWND box = messageBox(actionTexts::checkCaption);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(messageOf(box).find(utf8ToWide(actionTexts::loadAnyway)), std::u16string::npos);
    EXPECT_TRUE(noIsTheDefault(box));
    ASSERT_NO_FATAL_FAILURE(answer(box, IDNO));
    EXPECT_EQ(formTexts(), before);

    click(ids::openFileButton);
    HWND chooser = nullptr;
    ASSERT_TRUE(
        waitFor([&] { return (chooser = windowOfThread(dialogThread(), u"Load")) != nullptr; }));
    ASSERT_NO_FATAL_FAILURE(answer(chooser, IDCANCEL));
    EXPECT_EQ(formTexts(), before);
}

// With no port open the pane keeps the last report and every button that
// sends says "not connected" on a line of its own; nothing reaches the modem.
TEST_F(Session, WithNoPortOpenTheButtonsSayNotConnected) {
    ASSERT_NO_FATAL_FAILURE(connect());
    ASSERT_NO_FATAL_FAILURE(readReport());
    press(ids::connectButton);
    ASSERT_TRUE(waitFor([&] { return paneHas("device disconnected"); }));
    const std::string lastReport = text(ids::terminalPane);
    const std::size_t receivedConnected = receivedNow().size();
    const std::map<int, std::string> before = formTexts();

    // The two reads first: connected, they would clear the pane.
    std::vector<int> sending = {ids::readSettingsButton, ids::readProfileButton};
    for (const ControlTemplate& ctl : dialogControls()) {
        if (ctl.kind == ControlKind::Button && ctl.id != ids::connectButton &&
            ctl.id != ids::copyReportButton && ctl.id != ids::checkButton &&
            ctl.id != ids::openFileButton && ctl.id != ids::saveFileButton &&
            ctl.id != ids::readSettingsButton && ctl.id != ids::readProfileButton) {
            sending.push_back(ctl.id);
        }
    }
    ASSERT_GE(sending.size(), 20U);
    const auto notConnectedLines = [&] {
        const std::string pane = text(ids::terminalPane);
        std::size_t count = 0;
        for (auto at = pane.find(actionTexts::notConnected); at != std::string::npos;
             at = pane.find(actionTexts::notConnected, at + 1)) {
            count += at == 0 || pane.compare(at - 2, 2, "\r\n") == 0 ? 1 : 0;
        }
        return count;
    };
    for (std::size_t i = 0; i < sending.size(); ++i) {
        press(sending[i]);
        // The pane is drawn on its own schedule.
        ASSERT_TRUE(waitFor([&] { return notConnectedLines() == i + 1; }))
            << "button " << sending[i] << ": " << text(ids::terminalPane);
        if (i >= 2) {
            continue;
        }
        // The pane keeps 24 lines: the report's first ones leave as status
        // lines come, but no line of it is cleared or replaced.
        std::string kept = text(ids::terminalPane);
        const std::string status = std::string(actionTexts::notConnected) + "\r\n";
        for (auto at = kept.find(status); at != std::string::npos; at = kept.find(status)) {
            kept.erase(at, status.size());
        }
        ASSERT_NE(kept.find("Even "), std::string::npos) << "button " << sending[i];
        ASSERT_TRUE(lastReport.ends_with(kept)) << "button " << sending[i] << ": " << kept;
    }
    EXPECT_EQ(formTexts(), before);
    EXPECT_EQ(text(ids::connectButton), "Connect");
    EXPECT_EQ(receivedNow().size(), receivedConnected) << receivedNow().substr(receivedConnected);
}

// A failed write shows its message; an unplug handled inside that message's
// loop takes the link down, and the button says "Connect" once the message has
// gone. The dialog runs here, against the simulator's port, so that the press
// can wait until the unplug is known to the dialog's thread.
TEST(SessionUnplug, AnUnplugDuringAFailedWritesMessageLeavesTheLinkDown) {
    const char* port = std::getenv("MODEMCFG_PORT");
    if (port == nullptr || std::getenv("MODEM_SIM_UNPLUG") == nullptr) {
        GTEST_SKIP() << "MODEMCFG_PORT and MODEM_SIM_UNPLUG name the simulator's port and its "
                        "unplugging";
    }
    RunningDialog d(port);
    ASSERT_NE(d.window(), nullptr);
    PostMessageW(d.control(ids::connectButton), BM_CLICK, 0, 0);
    ASSERT_TRUE(waitFor([&] { return textOf(d.control(ids::connectButton)) == u"Disconnect"; }));

    // Answers the write's message once the unplug has been handled inside its
    // loop (or after five seconds).
    std::u16string captionInTheLoop;
    bool messageShown = false;
    std::thread answerer([&] {
        HWND box = nullptr;
        messageShown =
            waitFor([&] { return (box = windowOfThread(d.threadId(), u"Error")) != nullptr; },
                    std::chrono::seconds(10));
        if (messageShown) {
            (void)waitFor([&] { return textOf(d.control(ids::connectButton)) == u"Connect"; });
            captionInTheLoop = textOf(d.control(ids::connectButton));
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    });
    bool unplugSeen = false;
    d.runOnDialogThread([&] {
        if (!unplugSimulator()) {
            return;
        }
        // The receive thread posts the hang-up; it waits in the queue, behind
        // this task, so "Disconnect" writes to a port that is gone.
        MSG queued{};
        unplugSeen = waitFor(
            [&] {
                return PeekMessageW(&queued, d.window(), dispatchMessage, dispatchMessage,
                                    PM_NOREMOVE) != FALSE;
            },
            std::chrono::seconds(10));
        if (unplugSeen) {
            SendMessageW(d.window(), WM_COMMAND, MAKEWPARAM(ids::connectButton, BN_CLICKED),
                         reinterpret_cast<LPARAM>(d.control(ids::connectButton)));
        }
    });
    answerer.join();
    ASSERT_TRUE(unplugSeen) << "the dialog never heard of the unplug";
    ASSERT_TRUE(messageShown) << "the write to the unplugged port did not fail";
    EXPECT_EQ(captionInTheLoop, u"Connect");
    // Later presses find the link down: the close timer of a link that is gone
    // would bring nothing back.
    PostMessageW(d.control(ids::readSettingsButton), BM_CLICK, 0, 0);
    EXPECT_TRUE(waitFor(
        [&] { return d.dialog().pane().snapshot().find("not connected") != std::string::npos; }));
    EXPECT_EQ(textOf(d.control(ids::connectButton)), u"Connect");
    EXPECT_EQ(d.close(), 0);
}

}  // namespace
}  // namespace modem::test
