#include "cli/mset_json.h"

#include <algorithm>
#include <cstdint>

#include "settings/mset_fields.h"

namespace modem::cli {

namespace {

using nlohmann::json;

std::string rowName(std::size_t row) {
    return "CH[" + std::to_string(row) + "]";
}

// A key or value quoted safely onto one line, cut short if it is long.
std::string shown(const json& value) {
    std::string text = value.dump(-1, ' ', false, json::error_handler_t::replace);
    constexpr std::size_t limit = 40;
    if (text.size() > limit) {
        text = text.substr(0, limit) + "...";
    }
    return text;
}

std::string shownKey(const std::string& key) {
    std::string text = shown(json(key));
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = text.substr(1, text.size() - 2);
    }
    return text;
}

// Reads one field's value; empty on success, else the message naming `name`.
std::string readValue(const json& value, const std::string& name, std::size_t width,
                      std::uint32_t& out) {
    // Booleans and floats are JSON numbers of a sort; neither is a field value.
    if (!value.is_number_integer()) {
        return name + ": " + shown(value) + " is not an integer";
    }
    const std::string bits = std::to_string(8 * width) + " bits";
    if (value.is_number_unsigned()) {
        const auto v = value.get<std::uint64_t>();
        if (v > fieldMax(width)) {
            return name + ": " + std::to_string(v) + " does not fit " + bits;
        }
        out = static_cast<std::uint32_t>(v);
        return {};
    }
    const auto v = value.get<std::int64_t>();
    if (v < 0 || static_cast<std::uint64_t>(v) > fieldMax(width)) {
        return name + ": " + std::to_string(v) + " does not fit " + bits;
    }
    out = static_cast<std::uint32_t>(v);
    return {};
}

// Every key of `object` must be one of `fields`; reports the first that is not.
template <std::size_t N>
std::string unknownKey(const json& object, const std::array<FieldInfo, N>& fields,
                       std::initializer_list<std::string_view> extra, const std::string& prefix) {
    for (const auto& item : object.items()) {
        const std::string& key = item.key();
        const bool known = std::any_of(fields.begin(), fields.end(),
                                       [&](const auto& f) { return f.name == key; }) ||
                           std::find(extra.begin(), extra.end(), key) != extra.end();
        if (!known) {
            return prefix + shownKey(key) + ": unknown key";
        }
    }
    return {};
}

}  // namespace

json msetToJson(const Mset& mset) {
    const MsetImage image = toImage(mset);
    json result = json::object();
    json rows = json::array();
    for (std::size_t row = 0; row < channelCount; ++row) {
        json entry = json::object();
        for (const FieldInfo& f : channelFields) {
            entry[std::string(f.name)] =
                readField(image, offsets::CH + row * offsets::channelSize + f.offset, f.width);
        }
        rows.push_back(std::move(entry));
    }
    result["CH"] = std::move(rows);
    for (const FieldInfo& f : scalarFields) {
        result[std::string(f.name)] = readField(image, f.offset, f.width);
    }
    json reserved = json::array();
    for (std::size_t off : offsets::reserved) {
        reserved.push_back(readField(image, off, 1));
    }
    result["reserved"] = std::move(reserved);
    return result;
}

std::string msetFromJson(const json& doc, Mset& mset) {
    if (!doc.is_object()) {
        return "settings: not a JSON object";
    }
    if (auto bad = unknownKey(doc, scalarFields, {"CH", "reserved"}, ""); !bad.empty()) {
        return bad;
    }
    // Built in a scratch image so that a refusal leaves `mset` untouched.
    MsetImage image{};
    std::uint32_t value = 0;

    const auto ch = doc.find("CH");
    if (ch == doc.end()) {
        return "CH: missing";
    }
    if (!ch->is_array() || ch->size() != channelCount) {
        return "CH: not an array of " + std::to_string(channelCount) + " objects";
    }
    for (std::size_t row = 0; row < channelCount; ++row) {
        const auto& entry = (*ch)[row];
        const std::string prefix = rowName(row);
        if (!entry.is_object()) {
            return prefix + ": not an object";
        }
        if (auto bad = unknownKey(entry, channelFields, {}, prefix + "."); !bad.empty()) {
            return bad;
        }
        for (const FieldInfo& f : channelFields) {
            const std::string name = prefix + "." + std::string(f.name);
            const auto it = entry.find(std::string(f.name));
            if (it == entry.end()) {
                return name + ": missing";
            }
            if (auto bad = readValue(*it, name, f.width, value); !bad.empty()) {
                return bad;
            }
            writeField(image, offsets::CH + row * offsets::channelSize + f.offset, f.width, value);
        }
    }

    for (const FieldInfo& f : scalarFields) {
        const std::string name(f.name);
        const auto it = doc.find(name);
        if (it == doc.end()) {
            return name + ": missing";
        }
        if (auto bad = readValue(*it, name, f.width, value); !bad.empty()) {
            return bad;
        }
        writeField(image, f.offset, f.width, value);
    }

    const auto reserved = doc.find("reserved");
    if (reserved == doc.end()) {
        return "reserved: missing";
    }
    if (!reserved->is_array() || reserved->size() != offsets::reserved.size()) {
        return "reserved: not an array of " + std::to_string(offsets::reserved.size()) +
               " integers";
    }
    for (std::size_t i = 0; i < offsets::reserved.size(); ++i) {
        const std::string name = "reserved[" + std::to_string(i) + "]";
        if (auto bad = readValue((*reserved)[i], name, 1, value); !bad.empty()) {
            return bad;
        }
        writeField(image, offsets::reserved[i], 1, value);
    }

    mset = fromImage(image);
    return {};
}

}  // namespace modem::cli
