#pragma once

// SHA-256 of a byte string: what a unit's record keeps of the image it was
// sent, so that two records can be compared without the images themselves.

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace modem {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    void update(std::span<const std::uint8_t> bytes);
    // Ends the hash; the object is spent afterwards.
    [[nodiscard]] Sha256Digest finish();

private:
    void block(const std::uint8_t* data);

    std::array<std::uint32_t, 8> m_state;
    std::array<std::uint8_t, 64> m_buffer{};
    std::size_t m_buffered = 0;  // bytes in m_buffer
    std::uint64_t m_length = 0;  // bytes hashed so far
};

[[nodiscard]] Sha256Digest sha256(std::span<const std::uint8_t> bytes);

// 64 lower-case hexadecimal digits.
[[nodiscard]] std::string hexDigest(const Sha256Digest& digest);

}  // namespace modem
