#pragma once

// The program modemcfg.exe: its command line and its start-up.

#include "win32/windows_api.h"

#include <string>
#include <variant>
#include <vector>

namespace modem {

struct StartOptions {
    std::wstring port;  // empty: the modem is looked for on every connect
};

struct UsageError {
    std::string message;
};

// `arguments` without the program name.
[[nodiscard]] std::variant<StartOptions, UsageError> parseArguments(
    const std::vector<std::wstring>& arguments);

[[nodiscard]] const char* usageText();

// The dialog's window class "firstClass": the system dialog class with the
// program's instance and icon 8001. False when it cannot be read or registered.
[[nodiscard]] bool registerDialogClass(HINSTANCE instance);

// Common controls, the dialog's window class "firstClass" with icon 8001, then
// the modal dialog. Returns the exit code: the dialog's result (0 after a
// close, -1 when it cannot be created), or 0 when the class cannot be made.
[[nodiscard]] int runModemcfg(HINSTANCE instance, const StartOptions& options);

}  // namespace modem
