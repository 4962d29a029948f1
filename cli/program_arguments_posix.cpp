#include "cli/program_arguments.h"

namespace modem::cli {

// The bytes as given: file names are the system's bytes, UTF-8 in practice.
std::vector<std::string> programArguments(int argc, char** argv) {
    return {argv, argv + argc};
}

}  // namespace modem::cli
