#include "settings/mset_fields.h"

#include "settings/byte_order.h"

namespace modem {

std::uint32_t readField(std::span<const std::uint8_t> image, std::size_t offset,
                        std::size_t width) {
    switch (width) {
        case 1:
            return getU8(image, offset);
        case 2:
            return getU16(image, offset);
        default:
            return getU32(image, offset);
    }
}

void writeField(std::span<std::uint8_t> image, std::size_t offset, std::size_t width,
                std::uint32_t value) {
    switch (width) {
        case 1:
            putU8(image, offset, static_cast<std::uint8_t>(value));
            break;
        case 2:
            putU16(image, offset, static_cast<std::uint16_t>(value));
            break;
        default:
            putU32(image, offset, value);
            break;
    }
}

std::vector<FieldDiff> diffFields(const Mset& before, const Mset& after) {
    const MsetImage a = toImage(before);
    const MsetImage b = toImage(after);
    std::vector<FieldDiff> diffs;
    auto compare = [&](std::string name, std::size_t offset, std::size_t width) {
        const std::uint32_t x = readField(a, offset, width);
        const std::uint32_t y = readField(b, offset, width);
        if (x != y) {
            diffs.push_back({std::move(name), x, y});
        }
    };
    for (std::size_t row = 0; row < channelCount; ++row) {
        for (const FieldInfo& f : channelFields) {
            compare("CH[" + std::to_string(row) + "]." + std::string(f.name),
                    offsets::CH + row * offsets::channelSize + f.offset, f.width);
        }
    }
    for (const FieldInfo& f : scalarFields) {
        compare(std::string(f.name), f.offset, f.width);
    }
    for (std::size_t i = 0; i < offsets::reserved.size(); ++i) {
        compare("reserved[" + std::to_string(i) + "]", offsets::reserved[i], 1);
    }
    return diffs;
}

}  // namespace modem
