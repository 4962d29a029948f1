#include "cli/units_csv.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <map>

#include "settings/mset_fields.h"
#include "ui/channel_notation.h"
#include "ui/control_table.h"
#include "ui/form_init.h"
#include "ui/form_model.h"
#include "ui/settings_check.h"
#include "ui/transfers.h"

namespace modem::cli {

namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view lineBreak = "\r\n";  // between the channel table's lines

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

// What a column of the file replaces.
struct Column {
    enum class Kind { Field, ChannelLine, PathList } kind = Kind::Field;
    std::string name;
    const FieldInfo* field = nullptr;  // Field
    std::size_t index = 0;             // ChannelLine: row from 0; PathList: 0 odd, 1 even
};

std::optional<Column> classify(const std::string& name) {
    if (name == "CHL1" || name == "CHL2") {
        return Column{Column::Kind::PathList, name, nullptr, name == "CHL1" ? 0U : 1U};
    }
    if (name.size() == 4 && name.starts_with("CH") &&
        std::isdigit(static_cast<unsigned char>(name[2])) &&
        std::isdigit(static_cast<unsigned char>(name[3]))) {
        const unsigned number = static_cast<unsigned>((name[2] - '0') * 10 + (name[3] - '0'));
        if (number >= 1 && number <= channelCount) {
            return Column{Column::Kind::ChannelLine, name, nullptr, number - 1};
        }
        return std::nullopt;
    }
    for (const FieldInfo& f : scalarFields) {
        if (f.name == name) {
            return Column{Column::Kind::Field, name, &f, 0};
        }
    }
    return std::nullopt;
}

// A field's value: decimal, or hexadecimal after "0x"; empty when it is neither
// or does not fit the field, with the reason in `error`.
std::optional<std::uint32_t> fieldValue(const std::string& text, std::size_t width,
                                        std::string& error) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string_view digits = hex ? std::string_view(text).substr(2) : std::string_view(text);
    if (digits.empty() || digits.size() > 20) {
        error = "\"" + text + "\" is not a number";
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : digits) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            error = "\"" + text + "\" is not a number";
            return std::nullopt;
        }
        value = value * (hex ? 16 : 10) + digit;
        if (value > fieldMax(width)) {
            error = text + " does not fit " + std::to_string(8 * width) + " bits";
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(value);
}

std::vector<std::string> splitLines(const std::string& table) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (;;) {
        const auto end = table.find(lineBreak, at);
        lines.push_back(table.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos) {
            return lines;
        }
        at = end + lineBreak.size();
    }
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += (i ? std::string(lineBreak) : std::string()) + lines[i];
    }
    return text;
}

// A channel line as the operator writes it in the table, its number in front;
// a cell without the number gets the column's.
std::string channelLine(const std::string& cell, std::size_t row) {
    const bool numbered = cell.size() >= 3 && std::isdigit(static_cast<unsigned char>(cell[0])) &&
                          std::isdigit(static_cast<unsigned char>(cell[1])) && cell[2] == '-';
    if (numbered) {
        return cell;
    }
    const std::string number = (row + 1 < 10 ? "0" : "") + std::to_string(row + 1);
    return number + "-" + cell;
}

void setFormCell(FormModel& form, const Column& column, const std::string& cell) {
    constexpr std::size_t everything = std::numeric_limits<std::size_t>::max();
    if (column.kind == Column::Kind::ChannelLine) {
        std::vector<std::string> lines = splitLines(form.readText(ids::channelTable, everything));
        if (column.index < lines.size()) {
            lines[column.index] = channelLine(cell, column.index);
        }
        form.replaceText(ids::channelTable, everything, joinLines(lines));
    } else {
        form.replaceText(column.index == 0 ? ids::oddPathField : ids::evenPathField, everything,
                         cell);
    }
}

// The problems of `now` that `before` did not have.
Problems added(const Problems& before, const Problems& now) {
    Problems result;
    for (const std::string& p : now) {
        if (std::find(before.begin(), before.end(), p) == before.end()) {
            result.push_back(p);
        }
    }
    return result;
}

}  // namespace

std::optional<std::vector<CsvRow>> parseCsv(std::string_view text, std::string& error) {
    if (text.starts_with(byteOrderMark)) {
        text.remove_prefix(byteOrderMark.size());
    }
    std::vector<CsvRow> rows;
    CsvRow row{1, {}};
    std::string cell;
    std::size_t line = 1;
    bool quoted = false;      // inside a quoted field
    bool wasQuoted = false;   // the current field was quoted and is closed
    bool rowHasText = false;  // anything on the row so far, an empty quoted field too
    const auto endCell = [&] {
        row.cells.push_back(wasQuoted ? cell : trimmed(cell));
        cell.clear();
        wasQuoted = false;
    };
    const auto endRow = [&] {
        endCell();
        if (rowHasText) {
            rows.push_back(std::move(row));
        }
        row = CsvRow{line + 1, {}};
        rowHasText = false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    cell += '"';
                    ++i;
                } else {
                    quoted = false;
                    wasQuoted = true;
                }
            } else {
                line += c == '\n';
                cell += c;
            }
            continue;
        }
        if (c == '"' && trimmed(cell).empty() && !wasQuoted) {
            cell.clear();
            quoted = true;
            rowHasText = true;
        } else if (c == ',') {
            endCell();
            rowHasText = true;
        } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            i += c == '\r';
            endRow();
            ++line;
        } else if (wasQuoted && c != ' ' && c != '\t') {
            error = "line " + std::to_string(line) + ": text after a closing quote";
            return std::nullopt;
        } else {
            cell += c;
            rowHasText = rowHasText || (c != ' ' && c != '\t' && c != '\r');
        }
    }
    if (quoted) {
        error = "line " + std::to_string(row.line) + ": a quote is not closed";
        return std::nullopt;
    }
    if (rowHasText || !cell.empty()) {
        endRow();
    }
    return rows;
}

UnitsTable applyUnits(std::string_view csv, const Mset& templ) {
    UnitsTable table;
    std::string error;
    const auto rows = parseCsv(csv, error);
    if (!rows) {
        table.problems.push_back(error);
        return table;
    }
    if (rows->empty()) {
        table.problems.push_back("no header: the first row names the columns");
        return table;
    }
    const std::vector<std::string>& header = rows->front().cells;
    if (header.front() == "serial") {
        table.key = UnitKey::Serial;
    } else if (header.front() == "port") {
        table.key = UnitKey::Port;
    } else {
        table.problems.push_back("row 1, column 1: \"" + header.front() +
                                 "\": the first column is serial or port");
    }
    std::vector<Column> columns;
    for (std::size_t c = 1; c < header.size(); ++c) {
        const auto column = classify(header[c]);
        if (!column) {
            table.problems.push_back("row 1, column " + std::to_string(c + 1) + ": \"" + header[c] +
                                     "\": unknown column");
        } else if (std::find(header.begin() + 1, header.begin() + static_cast<std::ptrdiff_t>(c),
                             header[c]) != header.begin() + static_cast<std::ptrdiff_t>(c)) {
            table.problems.push_back("row 1, column " + header[c] + ": given twice");
        }
        columns.push_back(column.value_or(Column{}));
    }
    if (!table.problems.empty()) {
        return table;
    }
    if (rows->size() == 1) {
        table.problems.push_back("no units: only the header");
        return table;
    }

    const Problems templateSettings = checkSettings(templ);
    std::map<std::string, std::size_t> seen;  // unit -> its row's line
    for (std::size_t r = 1; r < rows->size(); ++r) {
        const CsvRow& row = (*rows)[r];
        const std::string where = "row " + std::to_string(row.line);
        if (row.cells.size() != header.size()) {
            table.problems.push_back(where + ": " + std::to_string(row.cells.size()) +
                                     " cells, the header has " + std::to_string(header.size()));
            continue;
        }
        const std::string& unit = row.cells.front();
        const std::string atKey = where + ", column " + header.front();
        if (unit.empty()) {
            table.problems.push_back(atKey + ": empty");
            continue;
        }
        if (const auto earlier = seen.find(unit); earlier != seen.end()) {
            table.problems.push_back(atKey + ": " + unit + " is in row " +
                                     std::to_string(earlier->second) + " too");
            continue;
        }
        seen.emplace(unit, row.line);
        const std::string named = where + " (" + unit + ")";
        const std::size_t problemsBefore = table.problems.size();

        // The fields first. A problem is the row's when the whole row has it;
        // it is named by the column that brings it on its own, if one does.
        MsetImage image = toImage(templ);
        std::vector<std::pair<std::string, Problems>> alone;  // column, its problems alone
        for (std::size_t c = 1; c < header.size(); ++c) {
            const Column& column = columns[c - 1];
            const std::string& cell = row.cells[c];
            if (column.kind != Column::Kind::Field || cell.empty()) {
                continue;
            }
            const auto value = fieldValue(cell, column.field->width, error);
            if (!value) {
                table.problems.push_back(named + ", column " + column.name + ": " + error);
                continue;
            }
            MsetImage single = toImage(templ);
            writeField(single, column.field->offset, column.field->width, *value);
            alone.emplace_back(column.name,
                               added(templateSettings, checkSettings(fromImage(single))));
            writeField(image, column.field->offset, column.field->width, *value);
        }
        const auto attribute = [&](const Problems& problems) {
            for (const std::string& p : problems) {
                const auto by = std::find_if(alone.begin(), alone.end(), [&](const auto& a) {
                    return std::find(a.second.begin(), a.second.end(), p) != a.second.end();
                });
                table.problems.push_back(
                    named + (by == alone.end() ? "" : ", column " + by->first) + ": " + p);
            }
        };
        Mset settings = fromImage(image);
        const Problems fieldProblems = added(templateSettings, checkSettings(settings));
        attribute(fieldProblems);

        // Then the texts, in the form as the dialog reads them.
        FormModel form;
        Mset unused{};
        initialiseForm(form, unused);
        settingsToForm(settings, form);
        const Problems formBefore = checkForm(form);
        alone.clear();
        for (std::size_t c = 1; c < header.size(); ++c) {
            const Column& column = columns[c - 1];
            const std::string& cell = row.cells[c];
            if (column.kind == Column::Kind::Field || cell.empty()) {
                continue;
            }
            FormModel single = form;
            setFormCell(single, column, cell);
            alone.emplace_back(column.name, added(formBefore, checkForm(single)));
            setFormCell(form, column, cell);
        }
        attribute(added(formBefore, checkForm(form)));
        formToSettings(form, settings);
        if (table.problems.size() == problemsBefore) {
            for (const std::string& p : added(templateSettings, checkSettings(settings))) {
                table.problems.push_back(named + ": " + p);
            }
        }
        table.rows.push_back({row.line, unit, settings});
    }
    return table;
}

}  // namespace modem::cli
