// Drives modemcfg.exe for scripts/screenshot-windows: starts it on a port,
// connects, reads and copies the modem's report, saves the dialog's window as
// a 24-bit BMP, and closes the dialog.
// Usage: modemcfg_screenshot.exe MODEMCFG_EXE PORT OUTPUT.bmp [ru|en]

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ui/control_table.h"
#include "win32/wide_text.h"
#include "win32/windows_api.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Search {
    DWORD process;
    HWND window = nullptr;
};

BOOL CALLBACK findDialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t cls[32] = {};
    GetClassNameW(window, cls, 32);
    if (process == search->process && std::wstring(cls) == L"firstClass" &&
        IsWindowVisible(window)) {
        search->window = window;
        return FALSE;
    }
    return TRUE;
}

bool press(HWND dialog, int id) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(GetDlgItem(dialog, id), BM_CLICK, 0, 0, SMTO_NORMAL, 20000,
                               &result) != 0;
}

std::string paneText(HWND dialog) {
    wchar_t buffer[4096] = {};
    SendMessageW(GetDlgItem(dialog, modem::ids::terminalPane), WM_GETTEXT, 4096,
                 reinterpret_cast<LPARAM>(buffer));
    const std::wstring wide(buffer);
    return modem::wideToBytes(std::u16string(wide.begin(), wide.end()));
}

// Polls: the dialog runs in another process and signals nothing.
template <typename Condition>
bool waitFor(Condition condition, std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void putLe(std::vector<char>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

bool saveWindow(HWND window, const wchar_t* path) {
    RECT r{};
    GetWindowRect(window, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as the file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<char> pixels(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
    const int lines = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info,
                                DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (lines != height) {
        return false;
    }

    std::vector<char> file;
    file.push_back('B');
    file.push_back('M');
    putLe(file, static_cast<std::uint32_t>(54 + pixels.size()), 4);
    putLe(file, 0, 4);
    putLe(file, 54, 4);
    putLe(file, 40, 4);
    putLe(file, static_cast<std::uint32_t>(width), 4);
    putLe(file, static_cast<std::uint32_t>(height), 4);
    putLe(file, 1, 2);
    putLe(file, 24, 2);
    putLe(file, 0, 4);
    putLe(file, static_cast<std::uint32_t>(pixels.size()), 4);
    putLe(file, 3780, 4);  // 96 dpi in pixels per metre
    putLe(file, 3780, 4);
    putLe(file, 0, 4);
    putLe(file, 0, 4);
    file.insert(file.end(), pixels.begin(), pixels.end());
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
    return out.good();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4 && argc != 5) {
        std::fputs("usage: modemcfg_screenshot MODEMCFG_EXE PORT OUTPUT.bmp [ru|en]\n", stderr);
        return 2;
    }
    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\" --port " + argv[2];
    if (argc == 5) {
        command += L" --lang " + std::wstring(argv[4]);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fputs("cannot start modemcfg\n", stderr);
        return 1;
    }
    Search search{process.dwProcessId};
    const bool shown = waitFor(
        [&] {
            EnumWindows(findDialog, reinterpret_cast<LPARAM>(&search));
            return search.window != nullptr;
        },
        std::chrono::seconds(20));
    int code = 1;
    if (!shown) {
        std::fputs("no dialog\n", stderr);
    } else if (!press(search.window, modem::ids::connectButton) ||
               !press(search.window, modem::ids::readSettingsButton)) {
        std::fputs("a button did not answer\n", stderr);
    } else if (!waitFor(
                   [&] {
                       const std::string pane = paneText(search.window);
                       const std::size_t even = pane.find("Even ");
                       return even != std::string::npos &&
                              pane.find("\r\n", even) != std::string::npos;
                   },
                   std::chrono::seconds(20))) {
        std::fputs("no report arrived\n", stderr);
    } else if (!press(search.window, modem::ids::copyReportButton)) {
        std::fputs("copying did not answer\n", stderr);
    } else {
        // The focus where an operator's last click left it, the caret out of sight.
        SetForegroundWindow(search.window);
        RedrawWindow(search.window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the window manager's frame
        code = saveWindow(search.window, argv[3]) ? 0 : 1;
    }
    if (search.window != nullptr) {
        PostMessageW(search.window, WM_CLOSE, 0, 0);
    }
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}
