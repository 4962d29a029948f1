#include "cli/cli_support.h"

#include <cerrno>
#include <exception>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>
#include <system_error>

#include "cli/mset_json.h"
#include "settings/mset_fields.h"
#include "settings/settings_file.h"
#include "settings/utf8_path.h"
#include "ui/cp1251.h"

namespace modem::cli {

namespace {

enum class ReadFailure { None, CannotOpen, CannotRead };

struct ReadOutcome {
    std::string content;
    ReadFailure failure = ReadFailure::None;
    std::string reason;  // for people, when failed
};

std::string systemReason(int error) {
    return error != 0 ? std::generic_category().message(error) : std::string("unknown error");
}

// Everything `in` holds. The stream's own failures are caught here: reading
// a folder, for one, fails inside the library with a text meant for programmers.
ReadOutcome readStream(std::istream& in) {
    ReadOutcome outcome;
    char buffer[65536];
    try {
        errno = 0;
        while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
            outcome.content.append(buffer, static_cast<std::size_t>(in.gcount()));
        }
        if (in.bad()) {
            outcome.failure = ReadFailure::CannotRead;
            outcome.reason = systemReason(errno);
        }
    } catch (const std::exception&) {
        outcome.failure = ReadFailure::CannotRead;
        outcome.reason = systemReason(errno);
    }
    return outcome;
}

ReadOutcome readNamed(std::string_view name, Streams io) {
    if (name == standardStreamName) {
        return readStream(io.in);
    }
    const std::filesystem::path path = pathFromUtf8(name);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        return {{}, ReadFailure::CannotOpen, "is a folder"};
    }
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        return {{}, ReadFailure::CannotOpen, systemReason(errno)};
    }
    return readStream(in);
}

// The name as the messages show it.
std::string shown(std::string_view name) {
    return name == standardStreamName ? std::string("standard input") : std::string(name);
}

void failureLine(Streams io, const std::string& what, std::string_view reason) {
    io.err << "modemctl: " << what << ": " << reason << '\n';
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

std::optional<std::string> readInput(std::string_view name, Streams io) {
    ReadOutcome read = readNamed(name, io);
    switch (read.failure) {
        case ReadFailure::None:
            return std::move(read.content);
        case ReadFailure::CannotOpen:
            failureLine(io, shown(name), "cannot open: " + read.reason);
            break;
        case ReadFailure::CannotRead:
            failureLine(io, shown(name), "cannot read: " + read.reason);
            break;
    }
    return std::nullopt;
}

bool readSettingsInput(std::string_view name, Mset& mset, Streams io) {
    // The dialog's own words for the two failures, then the reason.
    const ReadOutcome read = readNamed(name, io);
    if (read.failure == ReadFailure::CannotOpen) {
        failureLine(io, shown(name), std::string(fileMessages::couldNotLoad) + ": " + read.reason);
        return false;
    }
    if (read.failure == ReadFailure::CannotRead) {
        failureLine(io, shown(name), std::string(fileMessages::couldNotRead) + ": " + read.reason);
        return false;
    }
    return settingsFromBytes(name, read.content, mset, io);
}

bool settingsFromBytes(std::string_view name, std::string_view bytes, Mset& mset, Streams io) {
    // Only a whole image is taken, as the dialog takes it; the rest of the
    // 1024 bytes is not looked at.
    if (bytes.size() < msetsize) {
        failureLine(io, shown(name),
                    std::string(fileMessages::couldNotRead) + ": " + std::to_string(bytes.size()) +
                        " bytes, shorter than the " + std::to_string(msetsize) +
                        "-byte settings image");
        return false;
    }
    MsetImage image{};
    std::copy_n(bytes.begin(), msetsize, image.begin());
    mset = fromImage(image);
    return true;
}

bool jsonSettingsFromText(std::string_view name, const std::string& text, Mset& mset, Streams io) {
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        // The library's own text is for programmers; the place is what a person needs.
        failureLine(io, shown(name),
                    text.find_first_not_of(" \t\r\n") == std::string::npos
                        ? std::string("not valid JSON: the text is empty")
                        : "not valid JSON: error at byte " + std::to_string(e.byte));
        return false;
    }
    if (const std::string refusal = msetFromJson(doc, mset); !refusal.empty()) {
        failureLine(io, shown(name), refusal);
        return false;
    }
    return true;
}

bool readJsonSettingsInput(std::string_view name, Mset& mset, Streams io) {
    const auto text = readInput(name, io);
    return text && jsonSettingsFromText(name, *text, mset, io);
}

bool outputWritten(Streams io) {
    io.out.flush();
    if (io.out) {
        return true;
    }
    // The stream keeps no reason; the failed write's is the last one made on
    // this thread, and the callers clear errno before they print.
    failureLine(io, "standard output", "cannot write: " + systemReason(errno));
    return false;
}

int writeSettingsOutput(const Mset& mset, const std::optional<std::string>& outName, Streams io) {
    errno = 0;
    if (!outName) {
        printSettingsJson(msetToJson(mset), io.out);
        return outputWritten(io) ? 0 : 1;
    }
    if (*outName == standardStreamName) {
        std::string file(settingsFileSize, '\0');
        const MsetImage image = toImage(mset);
        std::copy(image.begin(), image.end(), file.begin());
        io.out.write(file.data(), static_cast<std::streamsize>(file.size()));
        return outputWritten(io) ? 0 : 1;
    }
    const FileStatus status = saveSettingsFile(pathFromUtf8(*outName), mset);
    if (!status) {
        failureLine(io, *outName,
                    std::string(status.message) +
                        (status.detail.empty() ? std::string() : ": " + status.detail));
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

std::string_view reportProblem(ReportState state) {
    switch (state) {
        case ReportState::Absent:
            return "no settings report (no line starts with \"Modem\")";
        case ReportState::Incomplete:
            return "the settings report is incomplete (it ends before the even-path list)";
        case ReportState::Damaged:
            return "the settings report is damaged (a value is not where the modem puts it)";
        case ReportState::Complete:
            break;
    }
    return "the settings report is complete";
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
