#include "tests/win32/dialog_harness.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "link/discovery.h"
#include "link/serial_port.h"
#include "traffic/traffic_format.h"
#include "win32/modemcfg.h"
#include "win32/win32_form.h"

namespace modem::test {

std::string NoModemFinder::findModemPort(TerminalPane& pane) {
    pane.logLine("no device found");
    return {};
}

RunningDialog::RunningDialog(const std::string& port, Language language) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    static const bool registered = registerDialogClass(instance);
    (void)registered;
    if (port.empty()) {
        m_dialog = std::make_unique<MainDialog>(
            std::make_unique<NoModemFinder>(), [] { return std::unique_ptr<SerialPort>(); },
            nullptr, language);
    } else {
        m_dialog = std::make_unique<MainDialog>(std::make_unique<FixedPortFinder>(port),
                                                makeSystemSerialPort, nullptr, language);
    }
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
        // A question has no Cancel: No is its way out.
        PostMessageW(window, WM_COMMAND, GetDlgItem(window, IDNO) != nullptr ? IDNO : IDCANCEL, 0);
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

std::u16string messageOf(HWND box) {
    return textOf(GetDlgItem(box, 0xFFFF));
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

namespace {

// The file name box of the chooser: the edit of cmb13 (an extended or plain
// combo box, or an edit itself), else edt1.
HWND fileNameBox(HWND chooser) {
    const HWND box = GetDlgItem(chooser, 0x47C);
    if (box == nullptr) {
        return GetDlgItem(chooser, 0x480);
    }
    wchar_t name[32] = {};
    GetClassNameW(box, name, 32);
    if (lstrcmpiW(name, L"ComboBoxEx32") == 0) {
        return reinterpret_cast<HWND>(SendMessageW(box, CBEM_GETEDITCONTROL, 0, 0));
    }
    if (lstrcmpiW(name, L"Edit") == 0) {
        return box;
    }
    return FindWindowExW(box, nullptr, L"Edit", nullptr);
}

}  // namespace

void chooseFile(DWORD thread, std::u16string_view title, const std::wstring& path) {
    HWND chooser = nullptr;
    ASSERT_TRUE(waitFor([&] { return (chooser = windowOfThread(thread, title)) != nullptr; }));
    wchar_t filter[64] = {};
    SendDlgItemMessageW(chooser, 0x470, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(filter));
    EXPECT_STREQ(filter, L"Modem cfg Files (*.cfg)");
    const HWND name = fileNameBox(chooser);
    ASSERT_NE(name, nullptr);
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageW(chooser, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(waitFor([&] { return !IsWindow(chooser); }));
}

bool unplugSimulator() {
    const char* command = std::getenv("MODEM_SIM_UNPLUG");
    if (command == nullptr || *command == '\0') {
        return false;
    }
    std::wstring line(command, command + std::char_traits<char>::length(command));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    // The command is a Linux program: Wine hands it to the system and gives
    // back no process to wait for, so success is its having started.
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        return false;
    }
    if (started.hThread != nullptr) {
        CloseHandle(started.hThread);
    }
    if (started.hProcess != nullptr) {
        CloseHandle(started.hProcess);
    }
    return true;
}

}  // namespace modem::test
