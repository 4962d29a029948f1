#pragma once

// The per-unit values of a batch write: a CSV file whose first column names
// the unit (`serial` or `port`) and whose other columns each replace one
// thing of the template: a field as export names it (a decimal number, or
// hexadecimal after "0x"), a channel line CH01..CH16 in the channel table's
// notation, or a path list CHL1/CHL2 as the form shows it ("01-03-05"). An
// empty cell keeps the template's value.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/mset.h"

namespace modem::cli {

// The cells of a CSV text, row by row: fields separated by commas, quoted
// fields with "" for a quote and line breaks inside them, LF or CR LF line
// ends, a UTF-8 byte order mark at the start skipped; blank lines are left
// out. Each row keeps the line it began on. On a malformed text (a quote left
// open, text after a closing quote) `error` says where and nothing is returned.
struct CsvRow {
    std::size_t line = 0;  // from 1
    std::vector<std::string> cells;
};
[[nodiscard]] std::optional<std::vector<CsvRow>> parseCsv(std::string_view text,
                                                          std::string& error);

enum class UnitKey { Serial, Port };

struct UnitRow {
    std::size_t line = 0;  // where the row begins in the file
    std::string unit;      // the serial number or port, as written
    Mset settings;         // the template with the row applied, as the form reads it
};

struct UnitsTable {
    UnitKey key = UnitKey::Serial;
    std::vector<UnitRow> rows;
    // One entry per problem, naming the row and the column; nothing is
    // written while there is any.
    std::vector<std::string> problems;
};

// Applies every row of `csv` to `templ` and checks the result as the form
// and the settings checker do. A unit named twice, an unknown or repeated
// column, a value that does not fit its field or that the checker refuses is
// a problem.
[[nodiscard]] UnitsTable applyUnits(std::string_view csv, const Mset& templ);

}  // namespace modem::cli
