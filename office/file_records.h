// The records that LibreOffice does not import, or imports otherwise than
// Excel shows them, read directly from the file: the active sheet of an
// .xls, every sheet's consolidation settings, sheet states, the date
// system, and each cell's number format text and stored formula result
// (.xls and .xlsx). One small reader per format.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace office {

// A file the readers cannot make sense of; the message says what is wrong.
class FileFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A sheet's consolidation settings as Excel's Worksheet members give them.
struct Consolidation {
  // ConsolidationSources: "'Semestre 1'!$A$2:$B$5", "Data!$A$1:$C$9", in
  // the file's order; the sheet name is quoted as Excel quotes it.
  std::vector<std::string> sources;
  long function = -4157;     // ConsolidationFunction: Excel's code (xlSum)
  bool topRow = false;       // ConsolidationOptions(1)
  bool leftColumn = false;   // ConsolidationOptions(2)
  bool createLinks = false;  // ConsolidationOptions(3)
  bool operator==(const Consolidation&) const = default;
};

// A sheet's visibility (Excel's Visible: xlSheetVisible, xlSheetHidden,
// xlSheetVeryHidden). LibreOffice knows no very hidden sheet.
enum class SheetState { kVisible, kHidden, kVeryHidden };

// A formula's result as Excel stored it in the file.
struct StoredValue {
  enum class Kind { kNone, kNumber, kText, kBoolean, kError };
  Kind kind = Kind::kNone;
  double number = 0;  // kNumber; kBoolean: 1 for TRUE
  std::string text;   // kText; kError: "#DIV/0!" …
  bool operator==(const StoredValue&) const = default;
};

// A cell as the file records it.
struct StoredCell {
  bool formula = false;
  // Excel recalculates it on opening (a volatile function: the .xls
  // fAlwaysCalc flag).
  bool recalculated = false;
  // A formula's stored result; in an .xlsx also a constant's value.
  StoredValue result;
  // The formula's text as the file stores it, without "=" (.xlsx; a
  // shared formula's text made for this cell); empty when not stored.
  std::string formulaText;
  // The text of the cell's number format ("General" included); none when
  // the file does not say.
  std::optional<std::string> numberFormat;
  // .xlsx: the block ("B16:D18") of the array formula or data table whose
  // first cell this is; its formula text is the block's ("TABLE(E5,D5)"
  // for a data table).
  std::string block;
  bool dataTable = false;
};

// 0-based row and column.
using CellPosition = std::pair<long, long>;

struct FileRecords {
  std::vector<std::string> sheetNames;                  // every sheet, in the workbook's order
  std::optional<std::size_t> activeSheet;               // index into sheetNames
  std::map<std::string, Consolidation> consolidations;  // by sheet name
  // Chart sheets, which LibreOffice reads as ordinary sheets holding a chart.
  std::set<std::string> chartSheets;
  // The sheets that are not visible, by name.
  std::map<std::string, SheetState> hiddenSheets;
  // The 1904 date system (Excel for the Mac's default): serial 0 is
  // 1904-01-01.
  bool date1904 = false;
  // An Excel 5.0/95 workbook (BIFF5, a Book stream).
  bool excel95 = false;
  // .xlsx: each worksheet's part in the package, by sheet name.
  std::map<std::string, std::string> sheetParts;
  // .xlsx: Excel computes every formula again on opening (fullCalcOnLoad).
  bool calculateOnLoad = false;
  // Every cell the file records, by sheet name.
  std::map<std::string, std::map<CellPosition, StoredCell>> cells;
};

// Excel's built-in number format `id` as Range.NumberFormat gives it
// (English), "" for an id without one.
[[nodiscard]] std::string_view BuiltInNumberFormat(unsigned id);

// bytes: a whole .xls (BIFF8, or Excel 5.0/95's BIFF5, in an OLE2
// compound file).
[[nodiscard]] FileRecords ReadXlsRecords(std::string_view bytes);
// bytes: a whole .xlsx (Office Open XML in a zip archive).
[[nodiscard]] FileRecords ReadXlsxRecords(std::string_view bytes);

// A sheet name as a reference writes it: quoted ("'Semestre 1'") when
// Excel would quote it.
[[nodiscard]] std::string QuotedSheet(std::string_view sheet);

// "'Semestre 1'!$A$2:$B$5": a sheet-qualified absolute A1 reference, the
// sheet name quoted when Excel would quote it; 1-based.
[[nodiscard]] std::string QualifiedReference(std::string_view sheet, long top, long left, long bottom,
                                             long right);

// "'Trimestre 1'!R32C1:R77C4": a block as a pivot table's SourceData gives
// it; 1-based.
[[nodiscard]] std::string QualifiedR1C1(std::string_view sheet, long top, long left, long bottom, long right);

}  // namespace office
