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
#include <sstream>
#include <string>

#include "settings/mset.h"
#include "tests/support/temp_dir.h"
#include "tests/win32/dialog_harness.h"
#include "traffic/traffic_format.h"
#include "ui/control_table.h"
#include "win32/wide_text.h"

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

// The simulator's log: "<time> << <bytes>" for what it received, with \r, \n,
// \\ and \xHH escapes.
// What the modem received, in order: the bytes of a traffic log's '>' entries.
std::string receivedBytes(const std::filesystem::path& logPath) {
    std::ifstream in(logPath, std::ios::binary);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        const auto entry = parseTrafficEntry(line);
        if (entry && entry->direction == TrafficDirection::ToModem) {
            out.append(entry->bytes.begin(), entry->bytes.end());
        }
    }
    return out;
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
        m_receivedBefore = receivedBytes(m_log);
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
    const std::string received = receivedBytes(m_log).substr(m_receivedBefore.size());
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
    EXPECT_EQ(receivedBytes(m_ownLog), received.substr(connect)) << "the program's log";
}

}  // namespace
}  // namespace modem::test
