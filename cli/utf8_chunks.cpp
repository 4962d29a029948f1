#include "cli/utf8_chunks.h"

#include <utility>

namespace modem::cli {

namespace {

// Bytes of the sequence a lead byte starts; 0 for a byte that starts none.
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Where the text stops being whole: before a lead byte among the last three
// whose sequence runs past the end. Anything not UTF-8 counts as whole, for
// the converter to show as it can.
std::size_t wholeLength(std::string_view text) {
    const std::size_t size = text.size();
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(text[size - back]);
        if (isContinuation(byte)) {
            continue;
        }
        const std::size_t length = sequenceLength(byte);
        return length > back ? size - back : size;
    }
    return size;
}

}  // namespace

std::string Utf8Chunks::take(std::string_view more) {
    m_tail.append(more);
    const std::size_t whole = wholeLength(m_tail);
    std::string out = m_tail.substr(0, whole);
    m_tail.erase(0, whole);
    return out;
}

std::string Utf8Chunks::rest() {
    return std::exchange(m_tail, {});
}

}  // namespace modem::cli
