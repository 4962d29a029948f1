#include "cli/cli_support.h"

#include <fstream>
#include <ostream>

#include "cli/mset_json.h"
#include "settings/mset_fields.h"
#include "settings/settings_file.h"
#include "ui/cp1251.h"

namespace modem::cli {

namespace {

void printStatus(std::ostream& err, const std::filesystem::path& path, const FileStatus& status) {
    err << path.string() << ": " << status.message;
    if (!status.detail.empty()) {
        err << " (" << status.detail << ")";
    }
    err << '\n';
}

// nlohmann::json keeps keys sorted; people read the fields in image order, one
// channel row per line, so the layout is written out here from the field tables.
void printSettingsJson(const nlohmann::json& j, std::ostream& out) {
    out << "{\n  \"CH\": [\n";
    const auto& rows = j.at("CH");
    for (std::size_t row = 0; row < rows.size(); ++row) {
        out << "    {";
        for (std::size_t i = 0; i < channelFields.size(); ++i) {
            const std::string name(channelFields[i].name);
            out << (i ? ", " : "") << '"' << name << "\": " << rows[row].at(name).dump();
        }
        out << '}' << (row + 1 < rows.size() ? "," : "") << '\n';
    }
    out << "  ],\n";
    for (const FieldInfo& f : scalarFields) {
        const std::string name(f.name);
        out << "  \"" << name << "\": " << j.at(name).dump() << ",\n";
    }
    out << "  \"reserved\": [";
    const auto& reserved = j.at("reserved");
    for (std::size_t i = 0; i < reserved.size(); ++i) {
        out << (i ? ", " : "") << reserved[i].dump();
    }
    out << "]\n}\n";
}

}  // namespace

bool readSettingsInput(const std::filesystem::path& path, Mset& mset, Streams io) {
    const FileStatus status = loadSettingsFile(path, mset);
    if (!status) {
        printStatus(io.err, path, status);
        return false;
    }
    return true;
}

bool readJsonSettingsInput(const std::filesystem::path& path, Mset& mset, Streams io) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        io.err << path.string() << ": cannot open\n";
        return false;
    }
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(in);
    } catch (const nlohmann::json::exception& e) {
        // what() is "[json.exception.parse_error.101] parse error at ..."; keep the part after the
        // tag.
        const std::string what = e.what();
        const auto tagEnd = what.find("] ");
        io.err << path.string() << ": not valid JSON: "
               << (tagEnd == std::string::npos ? what : what.substr(tagEnd + 2)) << '\n';
        return false;
    }
    if (const std::string refusal = msetFromJson(doc, mset); !refusal.empty()) {
        io.err << path.string() << ": " << refusal << '\n';
        return false;
    }
    return true;
}

int writeSettingsOutput(const Mset& mset, const std::optional<std::filesystem::path>& outPath,
                        Streams io) {
    if (!outPath) {
        printSettingsJson(msetToJson(mset), io.out);
        return io.out ? 0 : 1;
    }
    const FileStatus status = saveSettingsFile(*outPath, mset);
    if (!status) {
        printStatus(io.err, *outPath, status);
        return 1;
    }
    return 0;
}

std::string forTerminal(std::string_view cp1251) {
    const std::string text = cp1251ToUtf8(cp1251);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out += text[i];
    }
    return out;
}

}  // namespace modem::cli
