#include "cli/settings_diff.h"

#include <cstdio>
#include <optional>
#include <string_view>

#include "settings/mset_fields.h"
#include "ui/channel_notation.h"
#include "ui/control_table.h"

namespace modem::cli {

namespace {

std::string decimal(std::uint32_t v) {
    return std::to_string(v);
}

std::string hex(std::uint32_t v, const char* format) {
    char text[16];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(v));
    return text;
}

// The lists whose selection index is the field's value.
std::optional<int> indexListOf(std::string_view field) {
    struct Entry {
        std::string_view field;
        int list;
    };
    static constexpr Entry lists[] = {
        {"MOD", ids::modList},   {"GCH", ids::gchList},     {"MP", ids::mpList},
        {"MP2", ids::mp2List},   {"VMODE", ids::vmodeList}, {"GMODE", ids::gmodeList},
        {"GPWR", ids::gpwrList},
    };
    for (const Entry& e : lists) {
        if (e.field == field) {
            return e.list;
        }
    }
    return std::nullopt;
}

bool isCanId(std::string_view field) {
    return field == "IDTX1" || field == "IDRX1" || field == "IDTX2" || field == "IDRX2";
}

// One field after the channel table, as its control shows it.
std::string shownScalar(std::string_view field, std::uint32_t v) {
    if (isCanId(field)) {
        return hex(v, "%x");
    }
    if (field == "MARK") {
        return hex(v, "0x%04x");
    }
    if (field == "IDB" && (v == 11 || v == 29)) {
        return decimal(v) + "-bit";
    }
    if (const auto list = indexListOf(field)) {
        const ListTemplate* items = findList(*list);
        if (items != nullptr && v < items->items.size()) {
            const std::string& item = items->items[v];
            // Some items are padded with blanks for the drop-down's look.
            const auto first = item.find_first_not_of(' ');
            return first == std::string::npos ? item : item.substr(first);
        }
    }
    // Speeds, packet sizes, times, counts: the number itself.
    return decimal(v);
}

// A raw value, for the rare difference the form's texts do not show.
std::string raw(std::string_view field, std::uint32_t v) {
    if (field.starts_with("CHL") || isCanId(field) || field == "MARK") {
        return hex(v, "0x%X");
    }
    return decimal(v);
}

std::string channelLine(const Mset& m, std::size_t row) {
    const std::string table = renderChannelTable(m.CH);
    std::size_t begin = 0;
    for (std::size_t i = 0; i < row; ++i) {
        begin = table.find("\r\n", begin) + 2;
    }
    return table.substr(begin, table.find("\r\n", begin) - begin);
}

std::string pathList(unsigned count, std::uint32_t packed) {
    const std::string text = renderPathList(count, packed);
    return text.empty() ? "(no list)" : text;
}

// The name a difference is shown under: a channel row's fields together, a
// path list's count and items together, every other field on its own.
std::string groupOf(const std::string& field) {
    if (field.starts_with("CH[")) {
        return field.substr(0, field.find('.'));
    }
    if (field == "CHS1" || field == "CHL1") {
        return "CHS1/CHL1";
    }
    if (field == "CHS2" || field == "CHL2") {
        return "CHS2/CHL2";
    }
    return field;
}

std::string shownGroup(const std::string& group, const Mset& m, std::uint32_t value) {
    if (group.starts_with("CH[")) {
        return channelLine(m, std::stoul(group.substr(3)));
    }
    if (group == "CHS1/CHL1") {
        return pathList(m.CHS1, m.CHL1);
    }
    if (group == "CHS2/CHL2") {
        return pathList(m.CHS2, m.CHL2);
    }
    return shownScalar(group, value);
}

}  // namespace

std::vector<ShownDifference> showDifferences(const Mset& a, const Mset& b) {
    const std::vector<FieldDiff> fields = diffFields(a, b);
    std::vector<ShownDifference> shown;
    for (std::size_t i = 0; i < fields.size();) {
        const std::string group = groupOf(fields[i].name);
        std::size_t end = i + 1;
        while (end < fields.size() && groupOf(fields[end].name) == group) {
            ++end;
        }
        ShownDifference d{group, shownGroup(group, a, fields[i].before),
                          shownGroup(group, b, fields[i].after)};
        if (d.a == d.b) {
            std::string rawA;
            std::string rawB;
            for (std::size_t k = i; k < end; ++k) {
                std::string field = fields[k].name;
                if (field.starts_with("CH[")) {
                    field = field.substr(field.find('.') + 1);
                }
                rawA += (k == i ? "" : ", ") + field + " " + raw(field, fields[k].before);
                rawB += (k == i ? "" : ", ") + field + " " + raw(field, fields[k].after);
            }
            d.a += " [" + rawA + "]";
            d.b += " [" + rawB + "]";
        }
        shown.push_back(std::move(d));
        i = end;
    }
    return shown;
}

}  // namespace modem::cli
