#pragma once

// The command line as the program's own text: UTF-8, the program's name first.

#include <string>
#include <vector>

namespace modem::cli {

// `argc` and `argv` are main's; where the system keeps the command line in
// another form, that form is read instead.
[[nodiscard]] std::vector<std::string> programArguments(int argc, char** argv);

}  // namespace modem::cli
