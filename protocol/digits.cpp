#include "protocol/digits.h"

namespace modem {

namespace {

constexpr std::size_t maxDigits = 16;

char charAt(std::string_view text, std::size_t pos) {
    return pos < text.size() ? text[pos] : '\0';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

std::uint32_t decValue(std::string_view text, std::size_t pos) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < maxDigits; ++i) {
        const char c = charAt(text, pos + i);
        if (c < '0' || c > '9')
            break;
        value = value * 10u + static_cast<std::uint32_t>(c - '0');
    }
    return value;
}

std::uint32_t digitValue(std::string_view text, std::size_t pos) {
    const char c = charAt(text, pos);
    return (c >= '0' && c <= '9') ? static_cast<std::uint32_t>(c - '0') : 0u;
}

std::uint32_t hexValue(std::string_view text, std::size_t pos) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < maxDigits; ++i) {
        const int d = hexDigit(charAt(text, pos + i));
        if (d < 0)
            break;
        value = value * 16u + static_cast<std::uint32_t>(d);
    }
    return value;
}

}  // namespace modem
