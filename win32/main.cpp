#include "win32/windows_api.h"

#include <cstdio>
#include <string>
#include <variant>
#include <vector>

#include "win32/modemcfg.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.emplace_back(argv[i]);
    }
    LocalFree(argv);
    const auto parsed = modem::parseArguments(arguments);
    if (const auto* error = std::get_if<modem::UsageError>(&parsed)) {
        std::fprintf(stderr, "modemcfg: %s\n%s", error->message.c_str(), modem::usageText());
        return 2;
    }
    return modem::runModemcfg(instance, std::get<modem::StartOptions>(parsed));
}
