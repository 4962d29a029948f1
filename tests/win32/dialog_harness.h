#pragma once

// The real dialog on a thread of its own, driven from the test's thread by
// window messages and by input through the window manager.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "tests/support/sim_traffic.h"
#include "win32/main_dialog.h"
#include "win32/windows_api.h"

namespace modem::test {

// Logs "no device found" and gives no port, as discovery does without a modem.
class NoModemFinder : public PortFinder {
public:
    [[nodiscard]] std::string findModemPort(TerminalPane& pane) override;
};

class RunningDialog {
public:
    // Without a port every connect finds no modem; with one (a COM port's
    // name) it opens that port. The dialog speaks `language`.
    explicit RunningDialog(const std::string& port = {}, Language language = Language::Russian);
    ~RunningDialog();
    RunningDialog(const RunningDialog&) = delete;
    RunningDialog& operator=(const RunningDialog&) = delete;

    [[nodiscard]] HWND window() const { return m_window; }
    [[nodiscard]] HWND control(int id) const { return GetDlgItem(m_window, id); }
    [[nodiscard]] MainDialog& dialog() { return *m_dialog; }
    [[nodiscard]] DWORD threadId() const { return m_threadId; }
    // Runs `task` on the dialog's thread between two of its messages and
    // waits until it has run.
    void runOnDialogThread(std::function<void()> task);
    // The control with the keyboard focus on the dialog's thread.
    [[nodiscard]] HWND focus() const;
    // Ends the dialog as its close box does, after cancelling any chooser or
    // message box a failed test left open; the dialog's exit code.
    int close();

private:
    std::unique_ptr<MainDialog> m_dialog;
    std::promise<HWND> m_ready;
    std::thread m_thread;
    HWND m_window = nullptr;
    std::atomic<DWORD> m_threadId{0};
    std::atomic<bool> m_finished{false};
    int m_exitCode = -2;
};

// Polls `condition` until it holds or `limit` passes: the dialog's thread
// handles input on its own schedule and has nothing to signal it with.
[[nodiscard]] bool waitFor(const std::function<bool()>& condition,
                           std::chrono::milliseconds limit = std::chrono::seconds(5));

// Real input, as a keyboard and a mouse would give it.
void pressKey(WORD vk, bool ctrl = false, bool shift = false);
void typeText(std::u16string_view text);
void mouseButton(bool down, POINT at);   // screen coordinates
void mouseWheel(int notches, POINT at);  // positive: away from the operator, up

[[nodiscard]] std::u16string textOf(HWND window);
// The text of a message box: its static control, 0xFFFF.
[[nodiscard]] std::u16string messageOf(HWND box);
// A visible top-level window of `thread` titled `title`; null when there is none.
[[nodiscard]] HWND windowOfThread(DWORD thread, std::u16string_view title);
[[nodiscard]] POINT centreOf(HWND window);  // screen coordinates

// Waits for the file chooser titled `title` on `thread`, checks its filter,
// names `path` in it and confirms.
void chooseFile(DWORD thread, std::u16string_view title, const std::wstring& path);

// Pulls the simulated modem's cable with the command MODEM_SIM_UNPLUG names;
// false when there is none or it could not start.
[[nodiscard]] bool unplugSimulator();

}  // namespace modem::test
