#pragma once

// Runs modemctl in-process and keeps what it printed.

#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace modem::test {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// `input` is what the program reads as standard input.
inline CliRun modemctl(const std::vector<std::string>& args, const std::string& input = {}) {
    std::vector<const char*> argv{"modemctl"};
    for (const auto& a : args)
        argv.push_back(a.c_str());
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    CliRun run;
    run.status =
        cli::runModemctl(static_cast<int>(argv.size()), argv.data(), cli::Streams{in, out, err});
    run.out = out.str();
    run.err = err.str();
    return run;
}

inline std::size_t lineCount(const std::string& text) {
    std::size_t n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

}  // namespace modem::test
