#pragma once

// The modem's settings image: what is uploaded after "+cfwr\r", what a ".cfg"
// file holds, what the report parser fills and what the form shows.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace modem {

inline constexpr std::size_t msetsize = 264;
inline constexpr std::size_t channelCount = 16;

using MsetImage = std::array<std::uint8_t, msetsize>;

struct ChannelEntry {
    std::uint32_t RXF = 0;  // receive frequency, kHz
    std::uint32_t TXF = 0;  // transmit frequency, kHz
    std::uint16_t THR = 0;  // RSSI threshold, 0..1000
    std::uint16_t PWR = 0;  // 10 = "Hi", 5 = "Lo"

    friend bool operator==(const ChannelEntry&, const ChannelEntry&) = default;
};

// Field names are the modem's own. A value-initialised Mset is all zeros, like
// the image before the dialog sets the defaults.
struct Mset {
    std::array<ChannelEntry, channelCount> CH{};
    std::uint32_t VP1 = 0;    // P1-RS232 speed, bit/s
    std::uint32_t VP2 = 0;    // P2-RS232 speed, bit/s
    std::uint32_t VP3 = 0;    // P3-RS485 speed, bit/s
    std::uint32_t VP4 = 0;    // P4-CAN bit rate, bit/s
    std::uint16_t IDB = 0;    // CAN identifier width: 11 or 29
    std::uint32_t IDRX1 = 0;  // CAN receive id, VHF radio
    std::uint32_t IDTX1 = 0;  // CAN transmit id, VHF radio
    std::uint32_t IDRX2 = 0;  // CAN receive id, MF radio
    std::uint32_t IDTX2 = 0;  // CAN transmit id, MF radio
    std::uint8_t MP = 0;      // port of the VHF radio: 0 P1 .. 3 P4, 4 USB
    std::uint8_t MP2 = 0;     // port of the MF radio, same coding
    std::uint16_t CHS1 = 0;   // odd-path list length, 1..8
    std::uint32_t CHL1 = 0;   // odd-path list, (channel - 1) per nibble from the top
    std::uint16_t CHS2 = 0;   // even-path list length, 1..8
    std::uint32_t CHL2 = 0;   // even-path list, packed as CHL1
    std::uint16_t HT = 0;     // interference duration, ms
    std::uint16_t WT = 0;     // response wait time, ms
    std::uint8_t REP = 0;     // repeat count
    std::uint8_t GPWR = 0;    // MF power: 0 normal, 1 reduced
    std::uint8_t GCH = 0;     // MF channel: 0 2.140, 1 2.130, 2 2.150 MHz
    std::uint8_t MOD = 0;     // data rate: 0 normal, 1 half
    std::uint8_t PS = 0;      // packet size: 8 or 20
    std::uint16_t GRSSI = 0;  // MF RSSI threshold
    std::uint8_t BAND = 0;    // 0 VHF, 1 MF, 2 both
    std::uint8_t VMODE = 0;   // index into the VHF mode list
    std::uint8_t GMODE = 0;   // index into the MF mode list
    std::uint8_t RSDLY = 0;   // RS-485 response delay, ms
    std::uint32_t MARK = 0;   // 0x1234 by default; carried, never checked
    // The alignment gaps at 210, 211, 238, 239 and 253, in offset order. Never
    // set by the tool; carried unchanged from a loaded file.
    std::array<std::uint8_t, 5> reserved{};

    friend bool operator==(const Mset&, const Mset&) = default;
};

// Sets every field to its default; the reserved bytes are left as they are.
void setDefaults(Mset& mset);
[[nodiscard]] Mset defaultSettings();

[[nodiscard]] MsetImage toImage(const Mset& mset);
[[nodiscard]] Mset fromImage(std::span<const std::uint8_t, msetsize> image);

// Byte offsets in the image.
namespace offsets {
inline constexpr std::size_t CH = 0;
inline constexpr std::size_t channelSize = 12;
inline constexpr std::size_t RXF = 0;  // within a channel row
inline constexpr std::size_t TXF = 4;
inline constexpr std::size_t THR = 8;
inline constexpr std::size_t PWR = 10;
inline constexpr std::size_t VP1 = 192;
inline constexpr std::size_t VP2 = 196;
inline constexpr std::size_t VP3 = 200;
inline constexpr std::size_t VP4 = 204;
inline constexpr std::size_t IDB = 208;
inline constexpr std::size_t IDRX1 = 212;
inline constexpr std::size_t IDTX1 = 216;
inline constexpr std::size_t IDRX2 = 220;
inline constexpr std::size_t IDTX2 = 224;
inline constexpr std::size_t MP = 228;
inline constexpr std::size_t MP2 = 229;
inline constexpr std::size_t CHS1 = 230;
inline constexpr std::size_t CHL1 = 232;
inline constexpr std::size_t CHS2 = 236;
inline constexpr std::size_t CHL2 = 240;
inline constexpr std::size_t HT = 244;
inline constexpr std::size_t WT = 246;
inline constexpr std::size_t REP = 248;
inline constexpr std::size_t GPWR = 249;
inline constexpr std::size_t GCH = 250;
inline constexpr std::size_t MOD = 251;
inline constexpr std::size_t PS = 252;
inline constexpr std::size_t GRSSI = 254;
inline constexpr std::size_t BAND = 256;
inline constexpr std::size_t VMODE = 257;
inline constexpr std::size_t GMODE = 258;
inline constexpr std::size_t RSDLY = 259;
inline constexpr std::size_t MARK = 260;
inline constexpr std::array<std::size_t, 5> reserved{210, 211, 238, 239, 253};
}  // namespace offsets

}  // namespace modem
