#include "win32/modemcfg.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <mutex>

#include "link/discovery.h"
#include "link/serial_port.h"
#include "link/utf8_win32.h"
#include "settings/utf8_path.h"
#include "traffic/traffic_log.h"
#include "ui/control_table.h"
#include "ui/system_language.h"
#include "version/version.h"
#include "win32/main_dialog.h"
#include "win32/wide_text.h"

namespace modem {

namespace {

constexpr std::string_view portPrefix = "--port=";
constexpr std::string_view logPrefix = "--log=";
constexpr std::string_view langPrefix = "--lang=";
constexpr char programName[] = "modemcfg";

std::unique_ptr<PortFinder> makeFinder(const StartOptions& options) {
    if (options.port.empty()) {
        return makeSystemPortFinder();
    }
    return std::make_unique<FixedPortFinder>(options.port);
}

// The traffic log fails on its writer thread; the dialog's thread says so. The
// dialog comes after the log and goes before it, so the way there is guarded.
class LogFailureRelay {
public:
    void attach(Dispatcher* dialog) {
        const std::lock_guard lock(m_mutex);
        m_dialog = dialog;
    }
    void report(std::string_view message) {
        const std::lock_guard lock(m_mutex);
        if (m_dialog != nullptr) {
            m_dialog->post(
                [text = std::string(message)] { showMessage(text, "Error", MB_ICONWARNING); });
        }
    }

private:
    std::mutex m_mutex;
    Dispatcher* m_dialog = nullptr;
};

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
    return "usage: modemcfg [--port NAME] [--lang ru|en] [--log FILE] [--quit-when-shown]\n"
           "       modemcfg --help | --version\n"
           "  (no option)        find the modem by its USB identifiers on every connect\n"
           "  --port NAME        use the serial port NAME (e.g. COM3) instead\n"
           "  --lang ru|en       the dialog in Russian or English; without it English only\n"
           "                     where the Windows display language is English, Russian\n"
           "                     otherwise\n"
           "  --log FILE         append every byte sent and received, and the status lines, to "
           "FILE\n"
           "  --quit-when-shown  close once the dialog has been shown (start-up check)\n"
           "  --help             show this text\n"
           "  --version          show the version\n";
}

std::vector<std::string> commandLineArguments() {
    int count = 0;
    const std::unique_ptr<LPWSTR, decltype(&LocalFree)> argv(
        CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
    std::vector<std::string> arguments;
    for (int i = 1; argv && i < count; ++i) {
        arguments.push_back(narrowUtf8(argv.get()[i], wcslen(argv.get()[i])));
    }
    return arguments;
}

ParsedArguments parseArguments(const std::vector<std::string>& allArguments) {
    if (allArguments.size() == 1 && allArguments.front() == "--help") {
        return Information::Help;
    }
    if (allArguments.size() == 1 && allArguments.front() == "--version") {
        return Information::Version;
    }
    StartOptions options;
    // --log, --lang and the start-up check combine with any of the others, so
    // they are taken out first.
    std::vector<std::string> arguments;
    int quitFlags = 0;
    for (std::size_t i = 0; i < allArguments.size(); ++i) {
        const std::string& a = allArguments[i];
        if (a == "--lang" || a.starts_with(langPrefix)) {
            if (options.language) {
                return UsageError{"--lang given more than once"};
            }
            std::string name;
            if (a == "--lang") {
                if (i + 1 >= allArguments.size()) {
                    return UsageError{"--lang needs ru or en"};
                }
                name = allArguments[++i];
            } else {
                name = a.substr(langPrefix.size());
            }
            options.language = languageNamed(name);
            if (!options.language) {
                return UsageError{"--lang takes ru or en, not '" + name + "'"};
            }
        } else if (a == "--log") {
            if (i + 1 >= allArguments.size() || allArguments[i + 1].empty()) {
                return UsageError{"--log needs a file"};
            }
            options.log = allArguments[++i];
        } else if (a.starts_with(logPrefix) && a.size() > logPrefix.size()) {
            options.log = a.substr(logPrefix.size());
        } else if (a == "--quit-when-shown") {
            ++quitFlags;
        } else {
            arguments.push_back(a);
        }
    }
    if (quitFlags > 1) {
        return UsageError{"--quit-when-shown given more than once"};
    }
    options.quitWhenShown = quitFlags == 1;
    if (arguments.empty()) {
        return options;
    }
    const std::string& first = arguments.front();
    if (first == "--port" && arguments.size() == 2 && !arguments[1].empty()) {
        options.port = arguments[1];
        return options;
    }
    if (first.starts_with(portPrefix) && arguments.size() == 1 &&
        first.size() > portPrefix.size()) {
        options.port = first.substr(portPrefix.size());
        return options;
    }
    if (first == "--port" && arguments.size() == 1) {
        return UsageError{"--port needs a name"};
    }
    std::string all;
    for (const std::string& a : arguments) {
        all += (all.empty() ? "" : " ") + a;
    }
    return UsageError{"unexpected argument: " + all};
}

int runModemcfg(HINSTANCE instance, const StartOptions& options) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = 0xFF;  // list view to animation, the classes the system had at first
    InitCommonControlsEx(&controls);
    if (!registerDialogClass(instance)) {
        return 0;
    }
    LogFailureRelay failures;
    std::unique_ptr<TrafficLog> log;  // outlives the dialog's link
    if (!options.log.empty()) {
        OpenedTrafficLog opened = TrafficLog::open(
            pathFromUtf8(options.log),
            {.onFailure = [&failures](std::string_view message) { failures.report(message); }});
        if (!opened.log) {
            showMessage(opened.error, "Error", MB_ICONWARNING);
            return 1;
        }
        log = std::move(opened.log);
    }
    MainDialog dialog(makeFinder(options), makeSystemSerialPort, log.get(),
                      options.language.value_or(systemLanguage()));
    failures.attach(&dialog.dispatcher());
    std::function<void(HWND)> onShown;
    if (options.quitWhenShown) {
        onShown = [](HWND window) {
            std::printf("%s: dialog shown\n", programName);
            std::fflush(stdout);
            PostMessageW(window, WM_CLOSE, 0, 0);
        };
    }
    const int code = dialog.run(instance, onShown);
    failures.attach(nullptr);
    return code;
}

int startModemcfg(HINSTANCE instance, const ParsedArguments& parsed) {
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        showMessage(std::string(programName) + ": " + error->message + "\n\n" + usageText(),
                    programName, MB_ICONERROR);
        return 2;
    }
    if (const auto* information = std::get_if<Information>(&parsed)) {
        showMessage(*information == Information::Help
                        ? std::string(usageText())
                        : std::string(programName) + " " + versionText(),
                    programName, MB_ICONINFORMATION);
        return 0;
    }
    return runModemcfg(instance, std::get<StartOptions>(parsed));
}

}  // namespace modem
