#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/program_arguments.h"
#include "cli/standard_streams.h"

int main(int argc, char** argv) {
    const modem::cli::StandardStreams streams;
    const std::vector<std::string> arguments = modem::cli::programArguments(argc, argv);
    std::vector<const char*> pointers;
    pointers.reserve(arguments.size());
    for (const std::string& a : arguments) {
        pointers.push_back(a.c_str());
    }
    // Each command flushes and checks its own output.
    return modem::cli::runModemctl(static_cast<int>(pointers.size()), pointers.data(), std::cout,
                                   std::cerr);
}
