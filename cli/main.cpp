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
    const int status = modem::cli::runModemctl(static_cast<int>(pointers.size()), pointers.data(),
                                               std::cout, std::cerr);
    std::cout.flush();
    return status;
}
