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
    long top = 0;
    long left = 0;
    long bottom = 0;
    long right = 0;
    if (!ReadRange(*ref, top, left, bottom, right)) x.Fail("bad consolidation reference '" + *ref + "'");
    return QualifiedReference(sheet.value_or(ownSheet), top, left, bottom, right);
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
  if (type != "n" && !type.empty()) x.Fail("a value of type " + std::string(type));
  // An XML Schema double: white space around it is allowed.
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  const std::size_t last = text.find_last_not_of(" \t\r\n");
  const std::string_view digits = first == std::string::npos
                                      ? std::string_view{}
                                      : std::string_view(text).substr(first, last + 1 - first);
  double number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
    x.Fail("a value that is no number: " + text);
  return {StoredValue::Kind::kNumber, number, {}};
}

// Days from 1899-12-30 to a proleptic Gregorian date (Excel's serials after
// February 1900).
long SerialDay(long year, long month, long day) {
  year -= month <= 2 ? 1 : 0;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const long yearOfEra = year - era * 400;
  const long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468 + 25569;  // 25569: 1970-01-01
}

// A t="d" cell's ISO 8601 date ("2002-01-01", "2002-01-01T12:00:00") as
// the serial Excel shows for it in the workbook's date system.
double IsoSerial(const XmlScanner& x, const std::string& text, bool date1904) {
  long parts[6] = {0, 0, 0, 0, 0, 0};
  std::size_t at = 0;
  for (std::size_t i = 0; i < 6 && at < text.size(); ++i) {
    const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), parts[i]);
    if (error != std::errc()) x.Fail("a date that is not ISO 8601: " + text);
    at = static_cast<std::size_t>(end - text.data()) + 1;  // skips '-', 'T' or ':'
  }
  if (parts[1] < 1 || parts[1] > 12 || parts[2] < 1 || parts[2] > 31 || parts[0] < 1900 || parts[0] > 9999)
    x.Fail("a date out of Excel's range: " + text);
  auto serial = static_cast<double>(SerialDay(parts[0], parts[1], parts[2]));
  if (date1904) {
    serial -= 1462;  // serial 0 is 1904-01-01
  } else if (serial < 61) {
    serial -= 1;  // Excel counts a 29 February 1900
  }
  return serial + static_cast<double>(parts[3] * 3600 + parts[4] * 60 + parts[5]) / 86400.0;
}

// A constant <v> of type `type`.
StoredValue ReadConstant(const XmlScanner& x, std::string_view type, const std::string& text,
                         const std::vector<std::string>& sharedStrings, bool date1904) {
  if (type == "s") {
    const std::size_t index = ReadIndex(x, text);
    if (index >= sharedStrings.size()) x.Fail("shared string " + text + " does not exist");
    return {StoredValue::Kind::kText, 0, sharedStrings[index]};
  }
  if (type == "d") return {StoredValue::Kind::kNumber, IsoSerial(x, text, date1904), {}};
  return ReadResult(x, type, text);
}

// "TABLE(E5,D5)": a data table's formula as Excel shows it in each of its
// cells, its row input first, then its column input.
std::string TableFormula(const XmlScanner& x) {
  const std::string first = x.Attribute("r1").value_or("");
  if (ReadBoolean(x, x.Attribute("dt2D")))
    return "TABLE(" + first + "," + x.Attribute("r2").value_or("") + ")";
  return ReadBoolean(x, x.Attribute("dtr")) ? "TABLE(" + first + ",)" : "TABLE(," + first + ")";
}

// Every <c> of a worksheet's <sheetData>: its format, its constant value,
// and a formula's text, kind and stored result.
void ReadCells(std::string_view xml, const std::string& part,
               const std::vector<std::optional<std::string>>& formats,
               const std::vector<std::string>& sharedStrings, bool date1904,
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
  std::string inlineText;
  while (x.Next()) {
    if (!x.IsStart()) {
      if (cell != nullptr && x.Depth() == 3) {  // the end of <c>
        if (type == "inlineStr" && !cell->formula) cell->result = {StoredValue::Kind::kText, 0, inlineText};
        cell = nullptr;
      } else if (cell != nullptr && x.Depth() == 4 && x.Local() == "f") {
        std::string text = x.Text();
        if (formulaKind == "shared") {
          if (!text.empty()) {
            shared[sharedIndex] = {text, row, column};
          } else if (const auto master = shared.find(sharedIndex); master != shared.end()) {
            text =
                ShiftFormula(master->second.text, row - master->second.row, column - master->second.column);
          }
        }
        if (formulaKind != "dataTable") cell->formulaText = std::move(text);
      } else if (cell != nullptr && x.Depth() == 4 && x.Local() == "v") {
        cell->result = cell->formula ? ReadResult(x, type, x.Text())
                                     : ReadConstant(x, type, x.Text(), sharedStrings, date1904);
      } else if (cell != nullptr && x.Local() == "t" && x.Ancestor(5) == "is" && !x.Inside("rPh")) {
        inlineText += x.Text();
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
      inlineText.clear();
    } else if (cell != nullptr && x.Depth() == 5 && x.Local() == "f") {
      cell->formula = true;
      formulaKind = x.Attribute("t").value_or("normal");
      sharedIndex = x.Attribute("si").value_or("");
      // ca: Excel computes the cell again whenever it calculates.
      cell->recalculated = ReadBoolean(x, x.Attribute("ca"));
      if (formulaKind == "array" || formulaKind == "dataTable") {
        cell->block = x.Attribute("ref").value_or("");
        cell->dataTable = formulaKind == "dataTable";
        if (cell->dataTable) cell->formulaText = TableFormula(x);
      }
    }
  }
}

// The shared strings' texts, in order: each <si>'s text runs, without
// their phonetic guides.
std::vector<std::string> ReadSharedStrings(std::string_view xml, const std::string& part) {
  std::vector<std::string> strings;
  XmlScanner x(xml, part);
  while (x.Next()) {
    if (x.IsStart() && x.Depth() == 2 && x.Local() == "si") {
      strings.emplace_back();
    } else if (!x.IsStart() && x.Local() == "t" && !strings.empty() && x.Depth() >= 2 &&
               x.Ancestor(2) == "si" && !x.Inside("rPh")) {
      strings.back() += x.Text();
    }
  }
  return strings;
}
}  // namespace

FileRecords ReadXlsxRecords(std::string_view bytes) { return xlsx::ReadRecords(xlsx::ZipArchive(bytes)); }

FileRecords xlsx::ReadRecords(const ZipArchive& zip) {
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
    } else if (x.Local() == "calcPr" && x.Depth() == 2) {
      records.calculateOnLoad = ReadBoolean(x, x.Attribute("fullCalcOnLoad"));
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
  if (const std::optional<std::string> part = RelatedPart(relationships, workbookPart, "/styles")) {
    if (const std::optional<std::string> styles = ReadPart(zip, *part))
      formats = ReadCellFormats(*styles, *part);
  }
  std::vector<std::string> sharedStrings;
  if (const std::optional<std::string> part = RelatedPart(relationships, workbookPart, "/sharedStrings")) {
    if (const std::optional<std::string> strings = ReadPart(zip, *part))
      sharedStrings = ReadSharedStrings(*strings, *part);
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
    ReadCells(*xml, part, formats, sharedStrings, records.date1904, records.cells[sheet]);
    records.sheetParts[sheet] = part;
  }
  return records;
}

}  // namespace office
