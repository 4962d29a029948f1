#include "win32/modemcfg.h"
#include "win32/windows_api.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
    return modem::startModemcfg(instance, modem::parseArguments(modem::commandLineArguments()));
}
