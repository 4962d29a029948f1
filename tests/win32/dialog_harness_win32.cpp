#include "tests/win32/dialog_harness.h"

#include <vector>

#include "link/serial_port.h"
#include "win32/modemcfg.h"
#include "win32/win32_form.h"

namespace modem::test {

std::string NoModemFinder::findModemPort(TerminalPane& pane) {
    pane.logLine("no device found");
    return {};
}

RunningDialog::RunningDialog() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    static const bool registered = registerDialogClass(instance);
    (void)registered;
    m_dialog = std::make_unique<MainDialog>(std::make_unique<NoModemFinder>(),
                                            [] { return std::unique_ptr<SerialPort>(); });
    std::future<HWND> ready = m_ready.get_future();
    m_thread = std::thread([this, instance] {
        m_threadId = GetCurrentThreadId();
        bool shown = false;
        m_exitCode = m_dialog->run(instance, [this, &shown](HWND dialog) {
            shown = true;
            m_ready.set_value(dialog);
        });
        if (!shown) {
            m_ready.set_value(nullptr);
        }
        m_finished = true;
    });
    m_window = ready.get();
    if (m_window != nullptr) {
        SetForegroundWindow(m_window);
        // Input goes to the dialog only once it is shown; a dialog that never
        // shows leaves every input test to fail on its own.
        (void)waitFor([this] { return IsWindowVisible(m_window) != FALSE; });
    }
}

RunningDialog::~RunningDialog() {
    close();
}

namespace {

BOOL CALLBACK cancelOthers(HWND window, LPARAM dialog) {
    if (window != reinterpret_cast<HWND>(dialog) && IsWindowVisible(window)) {
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    }
    return TRUE;
}

}  // namespace

int RunningDialog::close() {
    if (m_thread.joinable()) {
        if (IsWindow(m_window)) {
            PostMessageW(m_window, WM_CLOSE, 0, 0);
        }
        // A chooser or message box keeps its own loop running on the dialog's
        // thread until it is answered.
        (void)waitFor([this] {
            EnumThreadWindows(m_threadId, cancelOthers, reinterpret_cast<LPARAM>(m_window));
            return m_finished.load();
        });
        m_thread.join();
    }
    return m_exitCode;
}

HWND RunningDialog::focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(m_threadId, &info) ? info.hwndFocus : nullptr;
}

void RunningDialog::runOnDialogThread(std::function<void()> task) {
    std::promise<void> ran;
    m_dialog->dispatcher().post([&] {
        task();
        ran.set_value();
    });
    ran.get_future().wait();
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        Sleep(2);
    }
    return true;
}

namespace {

INPUT key(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return in;
}

void send(std::vector<INPUT> inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

}  // namespace

void pressKey(WORD vk, bool ctrl, bool shift) {
    std::vector<INPUT> inputs;
    if (ctrl) {
        inputs.push_back(key(VK_CONTROL, false));
    }
    if (shift) {
        inputs.push_back(key(VK_SHIFT, false));
    }
    inputs.push_back(key(vk, false));
    inputs.push_back(key(vk, true));
    if (shift) {
        inputs.push_back(key(VK_SHIFT, true));
    }
    if (ctrl) {
        inputs.push_back(key(VK_CONTROL, true));
    }
    send(std::move(inputs));
}

void typeText(std::u16string_view text) {
    std::vector<INPUT> inputs;
    for (const char16_t c : text) {
        for (const bool up : {false, true}) {
            INPUT in{};
            in.type = INPUT_KEYBOARD;
            in.ki.wScan = static_cast<WORD>(c);
            in.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(in);
        }
    }
    send(std::move(inputs));
}

namespace {

// Every mouse event carries its absolute place (0 to 65535 across the primary
// screen): a button event that took the cursor's last place could meet a
// display driver that has not taken the move yet.
INPUT mouseAt(POINT at, DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return in;
}

}  // namespace

void mouseButton(bool down, POINT at) {
    send({mouseAt(at, down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP)});
}

void mouseWheel(int notches, POINT at) {
    INPUT in = mouseAt(at, MOUSEEVENTF_WHEEL);
    in.mi.mouseData = static_cast<DWORD>(notches * WHEEL_DELTA);
    send({in});
}

std::u16string textOf(HWND window) {
    return wideWindowText(window);
}

namespace {

struct TitleSearch {
    std::u16string_view title;
    HWND found = nullptr;
};

BOOL CALLBACK matchTitle(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TitleSearch*>(param);
    if (IsWindowVisible(window) && textOf(window) == search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND windowOfThread(DWORD thread, std::u16string_view title) {
    TitleSearch search{title};
    EnumThreadWindows(thread, matchTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

POINT centreOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

}  // namespace modem::test
