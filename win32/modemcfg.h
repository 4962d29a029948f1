#pragma once

// The program modemcfg.exe: its command line and its start-up.

#include "win32/windows_api.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "ui/translations.h"

namespace modem {

struct StartOptions {
    std::string port;  // UTF-8; empty: the modem is looked for on every connect
    std::string log;   // --log FILE, UTF-8: the traffic log; empty for none
    // --quit-when-shown: close as soon as the dialog is shown, for scripts
    // that check that the program starts.
    bool quitWhenShown = false;
    // --lang ru|en; without it the system's language decides.
    std::optional<Language> language;
};

// --help or --version: the text is shown and the program ends with status 0.
enum class Information { Help, Version };

struct UsageError {
    std::string message;  // UTF-8
};

using ParsedArguments = std::variant<StartOptions, Information, UsageError>;

// `arguments` are UTF-8, without the program name.
[[nodiscard]] ParsedArguments parseArguments(const std::vector<std::string>& arguments);

// The process's command line as UTF-8, without the program name.
[[nodiscard]] std::vector<std::string> commandLineArguments();

[[nodiscard]] const char* usageText();

// The dialog's window class "firstClass": the system dialog class with the
// program's instance and icon 8001. False when it cannot be read or registered.
[[nodiscard]] bool registerDialogClass(HINSTANCE instance);

// Common controls, the dialog's window class "firstClass" with icon 8001, then
// the modal dialog. Returns the exit code: the dialog's result (0 after a
// close, -1 when it cannot be created), 0 when the class cannot be made, 1
// when the traffic log cannot be opened (said in a message box).
[[nodiscard]] int runModemcfg(HINSTANCE instance, const StartOptions& options);

// The whole program after its command line: the dialog, or the help, the
// version or the usage error in a message box (a program with windows has no
// console to print on). Returns the exit code: 2 after a usage error.
[[nodiscard]] int startModemcfg(HINSTANCE instance, const ParsedArguments& parsed);

}  // namespace modem
