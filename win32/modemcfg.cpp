#include "win32/modemcfg.h"

#include <commctrl.h>

#include <memory>

#include "link/discovery.h"
#include "link/serial_port.h"
#include "ui/control_table.h"
#include "win32/main_dialog.h"
#include "win32/wide_text.h"

namespace modem {

namespace {

constexpr wchar_t portPrefix[] = L"--port=";

std::string narrow(const std::wstring& text) {
    std::string out;
    for (const wchar_t c : text) {
        out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

std::unique_ptr<PortFinder> makeFinder(const StartOptions& options) {
    if (options.port.empty()) {
        return makeSystemPortFinder();
    }
    return std::make_unique<FixedPortFinder>(narrow(options.port));
}

}  // namespace

bool registerDialogClass(HINSTANCE instance) {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof(cls);
    // The system dialog class, atom 32770.
    if (!GetClassInfoExW(nullptr, MAKEINTATOM(32770), &cls)) {
        return false;
    }
    const std::u16string name = utf8ToWide(dialogTemplate().windowClass);
    static const std::wstring className(name.begin(), name.end());
    cls.hInstance = instance;
    cls.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(ids::icon));
    cls.lpszClassName = className.c_str();
    return RegisterClassExW(&cls) != 0;
}

const char* usageText() {
    return "usage: modemcfg [--port NAME]\n"
           "  (no option)  find the modem by its USB identifiers on every connect\n"
           "  --port NAME  use the serial port NAME (e.g. COM3) instead\n";
}

std::variant<StartOptions, UsageError> parseArguments(const std::vector<std::wstring>& arguments) {
    StartOptions options;
    if (arguments.empty()) {
        return options;
    }
    const std::wstring& first = arguments.front();
    if (first == L"--port" && arguments.size() == 2 && !arguments[1].empty()) {
        options.port = arguments[1];
        return options;
    }
    const std::size_t prefixLength = std::size(portPrefix) - 1;
    if (first.starts_with(portPrefix) && arguments.size() == 1 && first.size() > prefixLength) {
        options.port = first.substr(prefixLength);
        return options;
    }
    if (first == L"--port" && arguments.size() == 1) {
        return UsageError{"--port needs a name"};
    }
    std::wstring all;
    for (const std::wstring& a : arguments) {
        all += (all.empty() ? L"" : L" ") + a;
    }
    return UsageError{"unexpected argument: " + narrow(all)};
}

int runModemcfg(HINSTANCE instance, const StartOptions& options) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = 0xFF;  // list view to animation, the classes the system had at first
    InitCommonControlsEx(&controls);
    if (!registerDialogClass(instance)) {
        return 0;
    }
    MainDialog dialog(makeFinder(options), makeSystemSerialPort);
    return dialog.run(instance);
}

}  // namespace modem
