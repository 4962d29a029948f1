#include "cli/units_csv.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/mset_fields.h"
#include "ui/channel_notation.h"

namespace modem::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<std::vector<std::string>> cellsOf(const std::string& text, std::string& error) {
    std::vector<std::vector<std::string>> cells;
    if (const auto rows = parseCsv(text, error)) {
        for (const CsvRow& row : *rows) {
            cells.push_back(row.cells);
        }
    }
    return cells;
}

TEST(UnitsCsv, ReadsTheFilesSpreadsheetsWrite) {
    struct Case {
        std::string name;
        std::string text;
        std::vector<std::vector<std::string>> cells;
    };
    const std::vector<Case> cases{
        {"plain LF", "serial,GCH\nA1,2\n", {{"serial", "GCH"}, {"A1", "2"}}},
        {"CRLF and no last line end", "serial,GCH\r\nA1,2", {{"serial", "GCH"}, {"A1", "2"}}},
        {"byte order mark", "\xEF\xBB\xBFserial,GCH\r\nA1,2\r\n", {{"serial", "GCH"}, {"A1", "2"}}},
        {"quoted with a comma, a quote and a line break",
         "serial,CHL1\n\"A,1\",\"01-\"\"03\"\n\"B\nC\",x\n",
         {{"serial", "CHL1"}, {"A,1", "01-\"03"}, {"B\nC", "x"}}},
        {"blank lines and blanks around cells",
         "serial , GCH\n\n  A1 ,  2 \n\r\n",
         {{"serial", "GCH"}, {"A1", "2"}}},
        {"empty cells", "serial,GCH,WT\nA1,,\n", {{"serial", "GCH", "WT"}, {"A1", "", ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_EQ(cellsOf(c.text, error), c.cells);
        EXPECT_EQ(error, "");
    }
}

TEST(UnitsCsv, MalformedTextIsRefusedWithItsLine) {
    for (const auto& [text, where] : std::vector<std::pair<std::string, std::string>>{
             {"serial,GCH\nA1,\"2\n", "line 2: a quote is not closed"},
             {"serial,GCH\nA1,2\nA2,\"3\"x\n", "line 3: text after a closing quote"},
         }) {
        std::string error;
        EXPECT_FALSE(parseCsv(text, error).has_value()) << text;
        EXPECT_EQ(error, where);
    }
}

TEST(UnitsCsv, EachRowGetsTheTemplateWithItsValues) {
    const Mset templ = defaultSettings();
    const UnitsTable table = applyUnits(
        "serial,IDRX1,IDTX1,GCH,CH03,CHL1\r\n"
        "A001,0x101,258,2,03-r150.125-t151.250s0400pLo,01-03-05\r\n"
        "A002,,,,,\r\n",
        templ);
    ASSERT_EQ(table.problems, std::vector<std::string>{});
    EXPECT_EQ(table.key, UnitKey::Serial);
    ASSERT_EQ(table.rows.size(), 2U);
    const Mset& first = table.rows[0].settings;
    EXPECT_EQ(table.rows[0].unit, "A001");
    EXPECT_EQ(table.rows[0].line, 2U);
    EXPECT_EQ(first.IDRX1, 0x101U);
    EXPECT_EQ(first.IDTX1, 258U);
    EXPECT_EQ(first.GCH, 2U);
    EXPECT_EQ(first.CH[2].RXF, 150125U);
    EXPECT_EQ(first.CH[2].TXF, 151250U);
    EXPECT_EQ(first.CH[2].THR, 400U);
    EXPECT_EQ(first.CHS1, 3U);
    EXPECT_EQ(first.CHL1, 0x02400000U);
    // What the row leaves alone is the template's.
    EXPECT_EQ(first.CH[1].RXF, templ.CH[1].RXF);
    EXPECT_EQ(first.WT, templ.WT);
    EXPECT_EQ(toImage(table.rows[1].settings), toImage(templ));
}

TEST(UnitsCsv, EveryProblemNamesItsRowAndColumnAndNothingIsKept) {
    struct Case {
        std::string name;
        std::string csv;
        std::string problem;  // a part of the one problem expected
    };
    const std::vector<Case> cases{
        {"first column", "unit,GCH\nA1,1\n",
         "row 1, column 1: \"unit\": the first column is serial or port"},
        {"unknown column", "serial,GCH,FOO\nA1,1,2\n", "row 1, column 3: \"FOO\": unknown column"},
        {"channel beyond 16", "serial,CH17\nA1,x\n", "row 1, column 2: \"CH17\": unknown column"},
        {"column twice", "serial,GCH,GCH\nA1,1,1\n", "row 1, column GCH: given twice"},
        {"unit twice", "serial,GCH\nA1,1\nA2,1\nA1,2\n",
         "row 4, column serial: A1 is in row 2 too"},
        {"empty unit", "port,GCH\n,1\n", "row 2, column port: empty"},
        {"short row", "serial,GCH,WT\nA1,1\n", "row 2: 2 cells, the header has 3"},
        {"not a number", "serial,WT\nA1,12a\n", "row 2 (A1), column WT: \"12a\" is not a number"},
        {"too wide", "serial,REP\nA1,256\n", "row 2 (A1), column REP: 256 does not fit 8 bits"},
        {"out of range for the checker", "serial,GCH\nA1,7\n", "row 2 (A1), column GCH: "},
        {"malformed channel line", "serial,CH04\nA1,04-r155.225-t155.225s330pHi\n",
         "row 2 (A1), column CH04: "},
        {"bad path list", "serial,CHL2\nA1,01-17\n", "row 2 (A1), column CHL2: "},
        {"no units", "serial,GCH\n", "no units: only the header"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const UnitsTable table = applyUnits(c.csv, defaultSettings());
        ASSERT_EQ(table.problems.size(), 1U) << ::testing::PrintToString(table.problems);
        EXPECT_THAT(table.problems.front(), HasSubstr(c.problem));
    }
}

TEST(UnitsCsv, ARowWithoutItsNumberTakesTheColumnsAndAWrongNumberIsAProblem) {
    const UnitsTable plain =
        applyUnits("port,CH05\n/dev/ttyACM0,r150.000-t150.000s0100pHi\n", defaultSettings());
    ASSERT_EQ(plain.problems, std::vector<std::string>{});
    EXPECT_EQ(plain.key, UnitKey::Port);
    EXPECT_EQ(plain.rows.at(0).settings.CH[4].RXF, 150000U);

    const UnitsTable wrong =
        applyUnits("port,CH05\n/dev/ttyACM0,06-r150.000-t150.000s0100pHi\n", defaultSettings());
    EXPECT_THAT(wrong.problems, ElementsAre(HasSubstr("row 2 (/dev/ttyACM0), column CH05: ")));
}

}  // namespace
}  // namespace modem::cli
