// The few records that LibreOffice does not import, read directly from the
// file: the active sheet of an .xls, and every sheet's consolidation
// settings (.xls and .xlsx). One small reader per format.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
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

struct FileRecords {
  std::vector<std::string> sheetNames;                  // every sheet, in the workbook's order
  std::optional<std::size_t> activeSheet;               // index into sheetNames
  std::map<std::string, Consolidation> consolidations;  // by sheet name
  // Chart sheets, which LibreOffice reads as ordinary sheets holding a chart.
  std::set<std::string> chartSheets;
  // The sheets that are not visible, by name.
  std::map<std::string, SheetState> hiddenSheets;
};

// bytes: a whole .xls (BIFF8 in an OLE2 compound file).
[[nodiscard]] FileRecords ReadXlsRecords(std::string_view bytes);
// bytes: a whole .xlsx (Office Open XML in a zip archive).
[[nodiscard]] FileRecords ReadXlsxRecords(std::string_view bytes);

// "'Semestre 1'!$A$2:$B$5": a sheet-qualified absolute A1 reference, the
// sheet name quoted when Excel would quote it.
[[nodiscard]] std::string QualifiedReference(std::string_view sheet, long top, long left, long bottom,
                                             long right);

}  // namespace office
