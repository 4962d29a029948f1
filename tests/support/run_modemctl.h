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

inline CliRun modemctl(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"modemctl"};
    for (const auto& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out;
    std::ostringstream err;
    CliRun run;
    run.status = cli::runModemctl(static_cast<int>(argv.size()), argv.data(), out, err);
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
