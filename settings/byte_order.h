#pragma once

// Little-endian accessors by offset. The settings image is little-endian on the
// wire and on disk whatever the host, so fields are never copied as structs.

#include <cstddef>
#include <cstdint>
#include <span>

namespace modem {

inline std::uint8_t getU8(std::span<const std::uint8_t> b, std::size_t off) {
    return b[off];
}

inline std::uint16_t getU16(std::span<const std::uint8_t> b, std::size_t off) {
    return static_cast<std::uint16_t>(b[off] | (b[off + 1] << 8));
}

inline std::uint32_t getU32(std::span<const std::uint8_t> b, std::size_t off) {
    return static_cast<std::uint32_t>(b[off]) | (static_cast<std::uint32_t>(b[off + 1]) << 8) |
           (static_cast<std::uint32_t>(b[off + 2]) << 16) |
           (static_cast<std::uint32_t>(b[off + 3]) << 24);
}

inline void putU8(std::span<std::uint8_t> b, std::size_t off, std::uint8_t v) {
    b[off] = v;
}

inline void putU16(std::span<std::uint8_t> b, std::size_t off, std::uint16_t v) {
    b[off] = static_cast<std::uint8_t>(v);
    b[off + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline void putU32(std::span<std::uint8_t> b, std::size_t off, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) {
        b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

}  // namespace modem
