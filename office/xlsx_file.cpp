// The .xlsx reader of the file's records: sheet names and states, active
// sheet, date system, consolidation settings, each cell's number format,
// each formula's text and stored result (over xlsx_package.h).
#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <map>
#include <set>
#include <utility>

#include "office/excel_values.h"
#include "office/file_records.h"
#include "office/xlsx_package.h"

namespace office {
namespace {

using namespace xlsx;  // NOLINT(google-build-using-namespace): the package layer of this reader

// ECMA-376 function names → Excel's XlConsolidationFunction codes.
constexpr std::array<std::pair<std::string_view, long>, 11> kFunctions = {{{"average", -4106},
                                                                           {"count", -4112},
                                                                           {"countNums", -4113},
                                                                           {"max", -4136},
                                                                           {"min", -4139},
                                                                           {"product", -4149},
                                                                           {"stdDev", -4155},
                                                                           {"stdDevp", -4156},
                                                                           {"sum", -4157},
                                                                           {"var", -4164},
                                                                           {"varp", -4165}}};

long FunctionCode(const XmlScanner& x, const std::string& name) {
  for (const auto& [functionName, code] : kFunctions) {
    if (name == functionName) return code;
  }
  x.Fail("unknown consolidation function '" + name + "'");
}

// One <dataRef>: "'Sheet'!$A$2:$B$5" for sheet and ref, the name for a name.
std::string ReadSource(const XmlScanner& x, const std::string& ownSheet) {
  if (x.Attribute("id", kRelationshipNamespaces))
    x.Fail("consolidation sources in another workbook are not supported");
  const std::optional<std::string> sheet = x.Attribute("sheet");
  if (const std::optional<std::string> ref = x.Attribute("ref")) {
    const std::size_t colon = ref->find(':');
    long top = 0;
    long left = 0;
    long bottom = 0;
    long right = 0;
    const std::string_view view = *ref;
    if (!ReadCell(view.substr(0, colon), top, left) ||
        !ReadCell(colon == std::string_view::npos ? view : view.substr(colon + 1), bottom, right)) {
      x.Fail("bad consolidation reference '" + *ref + "'");
    }
    return QualifiedReference(sheet.value_or(ownSheet), std::min(top, bottom), std::min(left, right),
                              std::max(top, bottom), std::max(left, right));
  }
  if (const std::optional<std::string> name = x.Attribute("name")) {
    return sheet ? QuotedSheet(*sheet) + "!" + *name : *name;
  }
  x.Fail("a consolidation source without ref or name");
}

// The worksheet's first <dataConsolidate>, if any.
std::optional<Consolidation> ReadConsolidation(std::string_view xml, const std::string& part,
                                               const std::string& sheet) {
  std::optional<Consolidation> consolidation;
  std::size_t seen = 0;
  XmlScanner x(xml, part);
  while (x.Next()) {
    if (!x.IsStart()) continue;
    if (x.Depth() == 2 && x.Local() == "dataConsolidate" && ++seen == 1) {
      consolidation.emplace();
      consolidation->function = FunctionCode(x, x.Attribute("function").value_or("sum"));
      consolidation->topRow = ReadBoolean(x, x.Attribute("topLabels"));
      consolidation->leftColumn = ReadBoolean(x, x.Attribute("leftLabels"));
      consolidation->createLinks = ReadBoolean(x, x.Attribute("link"));
    } else if (seen == 1 && x.Depth() == 4 && x.Local() == "dataRef" && x.Ancestor(3) == "dataRefs" &&
               x.Ancestor(2) == "dataConsolidate") {
      consolidation->sources.push_back(ReadSource(x, sheet));
    }
  }
  return consolidation;
}

// The number format text of each cell style (cellXfs), from the styles
// part: its own <numFmt> or a built-in one.
std::vector<std::optional<std::string>> ReadCellFormats(std::string_view xml, const std::string& part) {
  std::map<std::size_t, std::string> own;
  std::vector<std::size_t> ofStyle;
  XmlScanner x(xml, part);
  while (x.Next()) {
    if (!x.IsStart() || x.Depth() != 3) continue;
    if (x.Local() == "numFmt" && x.Ancestor(2) == "numFmts") {
      const std::optional<std::string> id = x.Attribute("numFmtId");
      if (!id) x.Fail("a numFmt without numFmtId");
      own[ReadIndex(x, *id)] = x.Attribute("formatCode").value_or("");
    } else if (x.Local() == "xf" && x.Ancestor(2) == "cellXfs") {
      ofStyle.push_back(ReadIndex(x, x.Attribute("numFmtId").value_or("0")));
    }
  }
  std::vector<std::optional<std::string>> formats;
  formats.reserve(ofStyle.size());
  for (const std::size_t id : ofStyle) {
    if (const auto found = own.find(id); found != own.end()) {
      formats.emplace_back(found->second);
    } else if (const std::string_view builtIn = BuiltInNumberFormat(
                   static_cast<unsigned>(std::min<std::size_t>(id, std::numeric_limits<unsigned>::max())));
               !builtIn.empty()) {
      formats.emplace_back(std::string(builtIn));
    } else {
      formats.emplace_back(std::nullopt);
    }
  }
  return formats;
}

// A stored result <v> of type `type` (the cell's t attribute).
StoredValue ReadResult(const XmlScanner& x, std::string_view type, const std::string& text) {
  if (type == "str" || type == "inlineStr") return {StoredValue::Kind::kText, 0, text};
  if (type == "b") return {StoredValue::Kind::kBoolean, text == "1" || text == "true" ? 1.0 : 0.0, {}};
  if (type == "e") return {StoredValue::Kind::kError, 0, text};
  if (type != "n" && !type.empty()) x.Fail("a formula result of type " + std::string(type));
  double number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size())
    x.Fail("a formula result that is no number: " + text);
  return {StoredValue::Kind::kNumber, number, {}};
}

// Every <c> of a worksheet's <sheetData>: its format, and a formula's
// stored result.
void ReadCells(std::string_view xml, const std::string& part,
               const std::vector<std::optional<std::string>>& formats,
               std::map<CellPosition, StoredCell>& cells) {
  XmlScanner x(xml, part);
  long row = -1;
  long column = -1;
  std::string type;
  StoredCell* cell = nullptr;
  struct Shared {
    std::string text;
    long row;
    long column;
  };
  std::map<std::string, Shared> shared;  // by si, from the cell that holds the text
  std::string formulaKind;
  std::string sharedIndex;
  while (x.Next()) {
    if (!x.IsStart()) {
      if (x.Depth() == 3) cell = nullptr;  // the end of <c>
      if (cell != nullptr && x.Depth() == 4 && x.Local() == "f") {
        std::string text = x.Text();
        if (formulaKind == "shared") {
          if (!text.empty()) {
            shared[sharedIndex] = {text, row, column};
          } else if (const auto master = shared.find(sharedIndex); master != shared.end()) {
            text =
                ShiftFormula(master->second.text, row - master->second.row, column - master->second.column);
          }
        }
        // A data table's cells hold no formula of their own in Excel.
        if (formulaKind != "dataTable") cell->formulaText = std::move(text);
      } else if (cell != nullptr && x.Depth() == 4 && x.Local() == "v" && cell->formula) {
        cell->result = ReadResult(x, type, x.Text());
      }
      continue;
    }
    if (x.Depth() == 3 && x.Local() == "row" && x.Ancestor(2) == "sheetData") {
      const std::optional<std::string> r = x.Attribute("r");
      row = r ? static_cast<long>(ReadIndex(x, *r)) - 1 : row + 1;
      column = -1;
    } else if (x.Depth() == 4 && x.Local() == "c" && x.Ancestor(3) == "row") {
      if (const std::optional<std::string> r = x.Attribute("r")) {
        long cellRow = 0;
        if (!ReadCell(*r, cellRow, column)) x.Fail("a cell named " + *r);
        row = cellRow - 1;
        --column;
      } else {
        ++column;
      }
      if (row < 0) x.Fail("a cell before its row");
      cell = &cells[{row, column}];
      const std::size_t style = ReadIndex(x, x.Attribute("s").value_or("0"));
      cell->numberFormat = style < formats.size() ? formats[style] : std::nullopt;
      type = x.Attribute("t").value_or("n");
    } else if (cell != nullptr && x.Depth() == 5 && x.Local() == "f") {
      cell->formula = true;
      formulaKind = x.Attribute("t").value_or("normal");
      sharedIndex = x.Attribute("si").value_or("");
    }
  }
}
}  // namespace

FileRecords ReadXlsxRecords(std::string_view bytes) {
  const ZipArchive zip(bytes);
  // The workbook part is the package's officeDocument relationship.
  std::string workbookPart = "xl/workbook.xml";
  if (const std::optional<std::string> rels = ReadPart(zip, "_rels/.rels")) {
    for (const auto& [id, relationship] : ReadRelationships(*rels, "_rels/.rels")) {
      if (!relationship.external && relationship.type.ends_with("/officeDocument")) {
        workbookPart = ResolveTarget("", relationship.target);
        break;
      }
    }
  }
  const std::optional<std::string> workbook = ReadPart(zip, workbookPart);
  if (!workbook) Fail(workbookPart + " is missing");

  FileRecords records;
  std::vector<std::string> sheetIds;
  std::size_t activeTab = 0;
  bool viewSeen = false;
  XmlScanner x(*workbook, workbookPart);
  while (x.Next()) {
    if (!x.IsStart() || x.Depth() < 2 || x.Depth() > 3) continue;
    if (x.Depth() == 3 && x.Local() == "sheet" && x.Ancestor(2) == "sheets") {
      std::optional<std::string> name = x.Attribute("name");
      std::optional<std::string> id = x.Attribute("id", kRelationshipNamespaces);
      if (!name || !id) x.Fail("a sheet without name or r:id");
      const std::string state = x.Attribute("state").value_or("visible");
      if (state == "hidden") records.hiddenSheets[*name] = SheetState::kHidden;
      if (state == "veryHidden") records.hiddenSheets[*name] = SheetState::kVeryHidden;
      records.sheetNames.push_back(std::move(*name));
      sheetIds.push_back(std::move(*id));
    } else if (x.Local() == "workbookPr" && x.Depth() == 2) {
      records.date1904 = ReadBoolean(x, x.Attribute("date1904"));
    } else if (x.Depth() == 3 && x.Local() == "workbookView" && x.Ancestor(2) == "bookViews" && !viewSeen) {
      viewSeen = true;
      if (const std::optional<std::string> tab = x.Attribute("activeTab")) activeTab = ReadIndex(x, *tab);
    }
  }
  if (records.sheetNames.empty()) x.Fail("no sheet");
  if (activeTab >= records.sheetNames.size())
    x.Fail("the active sheet " + std::to_string(activeTab) + " does not exist");
  records.activeSheet = activeTab;

  const std::string relsPart = std::string(Folder(workbookPart)) + "_rels/" +
                               workbookPart.substr(Folder(workbookPart).size()) + ".rels";
  const std::optional<std::string> rels = ReadPart(zip, relsPart);
  if (!rels) Fail(relsPart + " is missing");
  const std::map<std::string, Relationship> relationships = ReadRelationships(*rels, relsPart);
  std::vector<std::optional<std::string>> formats;
  for (const auto& [id, relationship] : relationships) {
    if (relationship.external || !relationship.type.ends_with("/styles")) continue;
    const std::string part = ResolveTarget(workbookPart, relationship.target);
    if (const std::optional<std::string> styles = ReadPart(zip, part))
      formats = ReadCellFormats(*styles, part);
    break;
  }
  std::set<std::string> partsRead;  // so that no part is inflated twice
  for (std::size_t i = 0; i < sheetIds.size(); ++i) {
    const std::string& sheet = records.sheetNames[i];
    const auto relationship = relationships.find(sheetIds[i]);
    if (relationship == relationships.end())
      Fail(std::string(relsPart)
               .append(": no relationship ")
               .append(sheetIds[i])
               .append(" for sheet ")
               .append(sheet));
    // Chart sheets have no consolidation settings.
    if (relationship->second.type.ends_with("/chartsheet")) records.chartSheets.insert(sheet);
    if (relationship->second.external || relationship->second.type.ends_with("/chartsheet")) continue;
    const std::string part = ResolveTarget(workbookPart, relationship->second.target);
    if (!partsRead.insert(Lower(part)).second) Fail("two sheets share " + part);
    const std::optional<std::string> xml = ReadPart(zip, part);
    if (!xml) Fail(part + " is missing");
    if (std::optional<Consolidation> consolidation = ReadConsolidation(*xml, part, sheet)) {
      records.consolidations.emplace(sheet, std::move(*consolidation));
    }
    ReadCells(*xml, part, formats, records.cells[sheet]);
  }
  return records;
}

}  // namespace office
