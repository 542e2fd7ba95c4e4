// Values as Excel gives them, where LibreOffice's reading differs: Excel's
// calendar, the formulas Excel recalculates when it opens a workbook, and
// the text of a 3-D reference to one cell.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "office/file_records.h"

namespace office {

// "YYYY-MM-DD" for a serial counted from 1899-12-30 (VB's and
// LibreOffice's calendar), within VB's dates.
[[nodiscard]] std::string IsoDate(double serial);

// The date Excel shows for the whole serial `serial` of a workbook in the
// 1900 date system (1 is 1900-01-01, and 60 the 29 February 1900 that
// Excel counts but that never was: nullopt) or in the 1904 one (0 is
// 1904-01-01).
[[nodiscard]] std::optional<std::string> ExcelDate(double serial, bool date1904);

// Whether a formula (LibreOffice's API syntax, English function names)
// calls a function whose result Excel computes anew whenever it opens the
// workbook: TODAY, NOW, RAND, RANDBETWEEN.
[[nodiscard]] bool CallsVolatileFunction(std::string_view formula);

// A block of cells a formula refers to; 0-based, inclusive.
struct CellBlock {
  std::string sheet;
  long top = 0;
  long left = 0;
  long bottom = 0;
  long right = 0;
  bool operator==(const CellBlock&) const = default;
};

// The cell references of a formula in LibreOffice's API syntax ("=A1+B2",
// "=SUM($Data.$A$1:$A$9)", "='Two words'.B3"); unqualified ones are on
// `sheet`. Defined names are not followed.
[[nodiscard]] std::vector<CellBlock> References(std::string_view formula, const std::string& sheet);

using SheetCell = std::pair<std::string, CellPosition>;

// The formula cells whose value Excel recomputes on opening: those in
// `seeds` and every formula that refers, directly or through others, to
// one of them. `formulas`: each sheet's formula cells with their texts.
[[nodiscard]] std::set<SheetCell> RecalculatedCells(
    const std::map<std::string, std::map<CellPosition, std::string>>& formulas, std::set<SheetCell> seeds);

// The text of a shared formula (Excel's A1 syntax, as an .xlsx stores it)
// for a cell `rows` below and `columns` right of the cell that holds it:
// relative references move by as much, absolute ones ($) stay. Texts in
// quotes, sheet names and names that are not references are kept.
[[nodiscard]] std::string ShiftFormula(std::string_view formula, long rows, long columns);

// 0-based row and column → "B7".
[[nodiscard]] std::string CellName(long row, long column);

// Whether a text is one of Excel's seven error values ("#N/A" …).
[[nodiscard]] bool IsExcelError(std::string_view text);

// Whether a number format shows a date (day, month or year codes outside
// quotes, escapes and brackets; "h:mm" and "mm:ss" are times, not dates).
[[nodiscard]] bool IsDateFormat(std::string_view format);

// Excel's truth literals bare: "TRUE()" and "FALSE()" (as LibreOffice
// writes them) become TRUE and FALSE; texts in quotes are kept.
[[nodiscard]] std::string ExcelTruthLiterals(const std::string& formula);

// Excel's text for a 3-D reference to one cell: "Sheet1:Sheet4!C1" where
// LibreOffice prints "Sheet1:Sheet4!C1:C1". Texts in quotes are kept.
[[nodiscard]] std::string SingleCell3d(const std::string& formula);

}  // namespace office
