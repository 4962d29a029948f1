#pragma once

// The program modemcfg: its three ways to start and its run.

#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "ui/translations.h"

namespace modem {

class MainDialog;

enum class PortSource {
    Discovery,  // no arguments: the modem is looked for on every connect
    Fixed,      // --port PATH
    Demo,       // --demo: modem-sim on a pseudo-terminal, used as --port
};

struct StartOptions {
    PortSource source = PortSource::Discovery;
    std::string port;  // for Fixed
    std::string log;   // --log FILE: the traffic log; empty for none
    // --quit-when-shown: close as soon as the dialog has first been drawn, for
    // scripts that check that the installed program starts.
    bool quitWhenShown = false;
    // --lang ru|en; without it the system's language decides.
    std::optional<Language> language;
};

struct UsageError {
    std::string message;
};

// `arguments` without the program name (and without the toolkit's own options,
// which QApplication has taken out).
[[nodiscard]] std::variant<StartOptions, UsageError> parseArguments(const QStringList& arguments);

[[nodiscard]] const char* usageText();

// Runs the dialog until it is closed; returns the exit code (0 after a
// normal close). `onShown` runs once, when the dialog has first been drawn;
// without it, --quit-when-shown prints the dialog's title and closes it there.
// Needs a QApplication.
[[nodiscard]] int runModemcfg(const StartOptions& options,
                              const std::function<void(MainDialog&)>& onShown = {});

}  // namespace modem
