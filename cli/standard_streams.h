#pragma once

// Makes the process's standard streams carry bytes unchanged, for as long as
// the object lives: the modem's report goes out with its CR LF line ends and a
// pane's text comes in with them, and the JSON is the same on every system.
// Where the console needs telling, it is told to show UTF-8, and told back.

namespace modem::cli {

class StandardStreams {
public:
    StandardStreams();
    ~StandardStreams();
    StandardStreams(const StandardStreams&) = delete;
    StandardStreams& operator=(const StandardStreams&) = delete;

private:
    unsigned m_savedOutputCodePage = 0;  // 0: nothing to restore
};

}  // namespace modem::cli
