#include <iostream>

#include "cli/commands.h"
#include "cli/standard_streams.h"

int main(int argc, char** argv) {
    const modem::cli::StandardStreams streams;
    return modem::cli::runModemctl(argc, argv, std::cout, std::cerr);
}
