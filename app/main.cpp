#include <QApplication>
#include <cstdio>
#include <cstring>
#include <variant>

#include "app/main_dialog.h"
#include "app/modemcfg.h"
#include "version/version.h"

int main(int argc, char** argv) {
    // Answered before the toolkit starts, so that they need no display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("modemcfg %s\n", modem::versionText());
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(modem::usageText(), stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    QApplication app(argc, argv);
    // Desktop shells match the window to its menu entry, and so to its icon, by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.modemcfg.modemcfg"));
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    const auto parsed = modem::parseArguments(arguments);
    if (const auto* error = std::get_if<modem::UsageError>(&parsed)) {
        std::fprintf(stderr, "modemcfg: %s\n%s", error->message.c_str(), modem::usageText());
        return 2;
    }
    modem::applyDialogStyle();
    return modem::runModemcfg(std::get<modem::StartOptions>(parsed));
}
