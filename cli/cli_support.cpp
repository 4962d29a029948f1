#include "cli/cli_support.h"

#include <fstream>
#include <ostream>

#include "cli/mset_json.h"
#include "settings/mset_fields.h"
#include "settings/settings_file.h"
#include "settings/utf8_path.h"
#include "ui/cp1251.h"

namespace modem::cli {

namespace {

void printStatus(std::ostream& err, std::string_view name, const FileStatus& status) {
    err << name << ": " << status.message;
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

bool readSettingsInput(std::string_view name, Mset& mset, Streams io) {
    const FileStatus status = loadSettingsFile(pathFromUtf8(name), mset);
    if (!status) {
        printStatus(io.err, name, status);
        return false;
    }
    return true;
}

bool readJsonSettingsInput(std::string_view name, Mset& mset, Streams io) {
    std::ifstream in(pathFromUtf8(name), std::ios::binary);
    if (!in.is_open()) {
        io.err << name << ": cannot open\n";
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
        io.err << name << ": not valid JSON: "
               << (tagEnd == std::string::npos ? what : what.substr(tagEnd + 2)) << '\n';
        return false;
    }
    if (const std::string refusal = msetFromJson(doc, mset); !refusal.empty()) {
        io.err << name << ": " << refusal << '\n';
        return false;
    }
    return true;
}

int writeSettingsOutput(const Mset& mset, const std::optional<std::string>& outName, Streams io) {
    if (!outName) {
        printSettingsJson(msetToJson(mset), io.out);
        return io.out ? 0 : 1;
    }
    const FileStatus status = saveSettingsFile(pathFromUtf8(*outName), mset);
    if (!status) {
        printStatus(io.err, *outName, status);
        return 1;
    }
    return 0;
}

CLI::Validator existingFile() {
    return CLI::Validator(
        [](const std::string& name) -> std::string {
            std::error_code error;
            const auto status = std::filesystem::status(pathFromUtf8(name), error);
            if (error || !std::filesystem::exists(status)) {
                return "File does not exist: " + name;
            }
            if (std::filesystem::is_directory(status)) {
                return "File is actually a directory: " + name;
            }
            return {};
        },
        "FILE");
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
