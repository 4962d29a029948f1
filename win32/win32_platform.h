#pragma once

// The platform seams over the window API: the message box, the file chooser,
// timer 1 of the dialog and the posted message that carries work to the
// user-interface thread.

#include "win32/windows_api.h"

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string_view>

#include "platform/dispatcher.h"
#include "platform/file_chooser.h"
#include "platform/message_box.h"
#include "platform/timer.h"

namespace modem {

// Messages of the dialog beyond the system's.
inline constexpr UINT dispatchMessage = WM_APP + 1;  // run the posted tasks
inline constexpr UINT paneChangedMessage = WM_APP + 2;

// A message with one OK button and no owner window; `text` and `caption` are
// UTF-8, `icon` one of the MB_ICON... flags (0 for none).
void showMessage(std::string_view text, std::string_view caption, UINT icon);

// No owner window: the dialog stays usable and keeps receiving meanwhile.
class Win32MessageBox : public MessageBox {
public:
    void show(std::string_view text, std::string_view caption, MessageIcon icon) override;
    [[nodiscard]] Answer ask(std::string_view text, std::string_view caption) override;
};

// Titles "Save" / "Load", one filter for ".cfg" files, ".cfg" appended to a
// bare name, a question before replacing a file, never a preset name; owned by
// the active window, which it keeps from taking input. Paths are wide.
class Win32FileChooser : public FileChooser {
public:
    [[nodiscard]] std::optional<std::filesystem::path> choose(FileDialogKind kind) override;
};

// Timer 1 of the dialog, single-shot.
class Win32Timer : public Timer {
public:
    static constexpr UINT_PTR timerId = 1;

    void attach(HWND dialog) { m_dialog = dialog; }
    void start(std::chrono::milliseconds delay, std::function<void()> onExpired) override;
    void stop() override;
    [[nodiscard]] bool isActive() const override { return m_active; }

    // The dialog's WM_TIMER for timerId.
    void expired();

private:
    HWND m_dialog = nullptr;
    bool m_active = false;
    std::function<void()> m_onExpired;
};

// Queues the task and posts dispatchMessage to the dialog, whose handling runs
// the queue in order.
class Win32Dispatcher : public Dispatcher {
public:
    void attach(HWND dialog) { m_dialog.store(dialog); }
    void post(std::function<void()> task) override;

    // The dialog's dispatchMessage: runs every task queued so far.
    void runPending();

private:
    std::atomic<HWND> m_dialog{nullptr};
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_tasks;
};

}  // namespace modem
