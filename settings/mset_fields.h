#pragma once

// The image's fields as data: name, offset and width, in the order they are
// exported. JSON export and import and the field-by-field diff all walk these
// tables so that they can never disagree on a name or a place.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/mset.h"

namespace modem {

struct FieldInfo {
    std::string_view name;
    std::size_t offset;  // bytes; within the image, or within a channel row
    std::size_t width;   // bytes: 1, 2 or 4
};

// The four fields of one channel row, in row order.
inline constexpr std::array<FieldInfo, 4> channelFields{{
    {"RXF", offsets::RXF, 4},
    {"TXF", offsets::TXF, 4},
    {"THR", offsets::THR, 2},
    {"PWR", offsets::PWR, 2},
}};

// Every field after the channel table, in export order (reserved bytes aside).
inline constexpr std::array<FieldInfo, 28> scalarFields{{
    {"VP1", offsets::VP1, 4},     {"VP2", offsets::VP2, 4},     {"VP3", offsets::VP3, 4},
    {"VP4", offsets::VP4, 4},     {"IDB", offsets::IDB, 2},     {"IDRX1", offsets::IDRX1, 4},
    {"IDTX1", offsets::IDTX1, 4}, {"IDRX2", offsets::IDRX2, 4}, {"IDTX2", offsets::IDTX2, 4},
    {"MP", offsets::MP, 1},       {"MP2", offsets::MP2, 1},     {"CHS1", offsets::CHS1, 2},
    {"CHL1", offsets::CHL1, 4},   {"CHS2", offsets::CHS2, 2},   {"CHL2", offsets::CHL2, 4},
    {"HT", offsets::HT, 2},       {"WT", offsets::WT, 2},       {"REP", offsets::REP, 1},
    {"GPWR", offsets::GPWR, 1},   {"GCH", offsets::GCH, 1},     {"MOD", offsets::MOD, 1},
    {"PS", offsets::PS, 1},       {"GRSSI", offsets::GRSSI, 2}, {"BAND", offsets::BAND, 1},
    {"VMODE", offsets::VMODE, 1}, {"GMODE", offsets::GMODE, 1}, {"RSDLY", offsets::RSDLY, 1},
    {"MARK", offsets::MARK, 4},
}};

// Unsigned little-endian value of `width` bytes at `offset`.
[[nodiscard]] std::uint32_t readField(std::span<const std::uint8_t> image, std::size_t offset,
                                      std::size_t width);
// Stores the low `width` bytes of `value` at `offset`.
void writeField(std::span<std::uint8_t> image, std::size_t offset, std::size_t width,
                std::uint32_t value);

// Largest value a field of `width` bytes holds.
[[nodiscard]] constexpr std::uint32_t fieldMax(std::size_t width) {
    return width >= 4 ? 0xFFFFFFFFu : (std::uint32_t{1} << (8 * width)) - 1;
}

struct FieldDiff {
    std::string name;  // "CH[3].RXF" (row index from 0), "VP1", "reserved[2]"
    std::uint32_t before = 0;
    std::uint32_t after = 0;

    friend bool operator==(const FieldDiff&, const FieldDiff&) = default;
};

// The fields whose values differ, in export order.
[[nodiscard]] std::vector<FieldDiff> diffFields(const Mset& before, const Mset& after);

}  // namespace modem
