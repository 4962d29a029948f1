#pragma once

// Cuts a stream of UTF-8 bytes into pieces that each end where a character
// ends, so that each piece can be converted on its own: a write may stop in
// the middle of a letter, and the rest of it comes with the next write.

#include <string>
#include <string_view>

namespace modem::cli {

class Utf8Chunks {
public:
    // Everything up to the last whole character of what has come so far; the
    // bytes of a character still incomplete wait for the next call.
    [[nodiscard]] std::string take(std::string_view more);
    // What is left, whole or not: at the end nothing more will complete it.
    [[nodiscard]] std::string rest();

private:
    std::string m_tail;
};

}  // namespace modem::cli
