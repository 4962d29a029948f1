#include <iostream>

#include "cli/commands.h"

int main(int argc, char** argv) {
    return modem::cli::runModemctl(argc, argv, std::cout, std::cerr);
}
