#include <QApplication>
#include <cstdio>
#include <variant>

#include "app/main_dialog.h"
#include "app/modemcfg.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
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
