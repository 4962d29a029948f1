#pragma once

// Makes the process's standard streams carry bytes unchanged, for as long as
// the object lives: the modem's report goes out with its CR LF line ends and a
// pane's text comes in with them, and the JSON is the same on every system.
// What goes to a file or a pipe is UTF-8; where a stream is a console that
// does not take UTF-8 as bytes, std::cout and std::cerr are shown there as
// text, without changing the console's settings.

#include <memory>

namespace modem::cli {

class StandardStreams {
public:
    StandardStreams();
    ~StandardStreams();
    StandardStreams(const StandardStreams&) = delete;
    StandardStreams& operator=(const StandardStreams&) = delete;

private:
    struct Consoles;  // the platform's stand-ins for the streams; null when none
    std::unique_ptr<Consoles> m_consoles;
};

// Whether standard error is a terminal that redraws a line in place (the
// escape sequences that move the cursor up and clear a line).
[[nodiscard]] bool standardErrorRedraws();

}  // namespace modem::cli
