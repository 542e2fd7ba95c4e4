#include "office/xlsx_workbook.h"

#include <nettle/base64.h>
#include <nettle/nettle-meta.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <map>
#include <set>
#include <utility>

#include "office/digest.h"
#include "office/excel_values.h"
#include "office/file_records.h"
#include "office/xlsx_package.h"

namespace office {
namespace {

using namespace xlsx;  // NOLINT(google-build-using-namespace): the package layer of this reader
using nlohmann::json;

// Excel 2003's sheet: 256 columns (IV), 65,536 rows.
constexpr long kExcel2003Columns = 256;
constexpr long kExcel2003Rows = 65536;
// The most cells all the array formulas and data tables of a sheet cover.
constexpr std::size_t kMaxBlockCells = std::size_t{1} << 20U;

std::string A1(long row, long column) { return CellName(row, column); }

// A block's reference as Excel writes it ("B16:D18", "B16" for one cell).
struct Block {
  long top = 0;
  long left = 0;
  long bottom = 0;
  long right = 0;
  [[nodiscard]] std::string Text() const {
    return top == bottom && left == right ? A1(top, left) : A1(top, left) + ":" + A1(bottom, right);
  }
};

// 0-based.
std::optional<Block> ReadBlock(std::string_view text) {
  Block block;
  if (!ReadRange(text, block.top, block.left, block.bottom, block.right)) return std::nullopt;
  return Block{block.top - 1, block.left - 1, block.bottom - 1, block.right - 1};
}

// Excel's error values; any other text stored as an error reads as #VALUE!.
json ErrorJson(const std::string& text) { return json{{"error", IsExcelError(text) ? text : "#VALUE!"}}; }

// How one sheet's cells become the document's "cells" and "arrays".
class SheetCells {
 public:
  SheetCells(const std::map<CellPosition, StoredCell>& cells, bool date1904)
      : cells_(cells), date1904_(date1904) {}

  [[nodiscard]] const std::optional<std::string>& FirstDropped() const { return firstDropped_; }

  void Write(json& out) {
    json cells = json::object();
    json arrays = json::array();
    json tables = json::array();
    // The cells of the blocks, which the blocks' entries hold. Blocks may
    // not overlap, so their cells are at most a sheet's; a bound below that
    // keeps a hostile file from making a giant document.
    std::set<CellPosition> inBlocks;
    std::size_t area = 0;
    for (const auto& [position, cell] : cells_) {
      if (cell.block.empty()) continue;
      const std::optional<Block> block = ReadBlock(cell.block);
      if (!block || block->top != position.first || block->left != position.second) continue;
      if (block->bottom >= kExcel2003Rows || block->right >= kExcel2003Columns) continue;
      area += static_cast<std::size_t>(block->bottom - block->top + 1) *
              static_cast<std::size_t>(block->right - block->left + 1);
      if (area > kMaxBlockCells)
        Fail("array formulas and data tables over more than 1,048,576 cells of one sheet");
      json rows = json::array();
      for (long r = block->top; r <= block->bottom; ++r) {
        json line = json::array();
        for (long c = block->left; c <= block->right; ++c) {
          const auto found = cells_.find({r, c});
          line.push_back(found == cells_.end() ? json(nullptr) : Value(found->second));
          if (found != cells_.end()) inBlocks.insert(found->first);
        }
        rows.push_back(std::move(line));
      }
      json entry = {{"range", block->Text()},
                    {"formula", ExcelTruthLiterals("=" + cell.formulaText)},
                    {"values", std::move(rows)}};
      (cell.dataTable ? tables : arrays).push_back(std::move(entry));
    }
    for (const auto& [position, cell] : cells_) {
      const auto [row, column] = position;
      if (inBlocks.contains(position) || (!cell.formula && cell.result.kind == StoredValue::Kind::kNone))
        continue;
      // Excel 2003 opens such a file without the cells beyond its sheet.
      if (row >= kExcel2003Rows || column >= kExcel2003Columns) {
        if (!firstDropped_) firstDropped_ = A1(row, column);
        continue;
      }
      json entry = json::object();
      if (cell.formula) entry["formula"] = ExcelTruthLiterals("=" + cell.formulaText);
      if (json value = Value(cell); !value.is_null()) entry["value"] = std::move(value);
      if (cell.numberFormat && *cell.numberFormat != "General" &&
          cell.result.kind != StoredValue::Kind::kBoolean &&
          !(*cell.numberFormat == "m/d/yyyy" && IsDateFormat(*cell.numberFormat))) {
        entry["numberFormat"] = *cell.numberFormat;
      }
      cells[A1(row, column)] = entry.size() == 1 && entry.contains("value") ? entry["value"] : entry;
    }
    for (json& table : tables) arrays.push_back(std::move(table));
    if (!cells.empty()) out["cells"] = std::move(cells);
    if (!arrays.empty()) out["arrays"] = std::move(arrays);
  }

 private:
  // A cell's value as Excel gives it: a number in a date format as the date
  // Excel shows for it.
  [[nodiscard]] json Value(const StoredCell& cell) const {
    const StoredValue& value = cell.result;
    switch (value.kind) {
      case StoredValue::Kind::kNone:
        return nullptr;
      case StoredValue::Kind::kBoolean:
        return value.number != 0;
      case StoredValue::Kind::kText:
        return value.text;
      case StoredValue::Kind::kError:
        return ErrorJson(value.text);
      case StoredValue::Kind::kNumber:
        break;
    }
    if (cell.numberFormat && IsDateFormat(*cell.numberFormat)) {
      if (const std::optional<std::string> date = ExcelDate(value.number, date1904_))
        return json{{"date", *date}};
    }
    return value.number;
  }

  const std::map<CellPosition, StoredCell>& cells_;
  bool date1904_;
  std::optional<std::string> firstDropped_;
};

// Whether Excel would show another value than the stored one for some
// formula: it computes volatile functions and marked cells on opening, and
// everything when the workbook asks for it.
bool NeedsCalculation(const FileRecords& records) {
  if (records.calculateOnLoad) return true;
  for (const auto& [sheet, cells] : records.cells) {
    for (const auto& [position, cell] : cells) {
      if (!cell.formula) continue;
      if (cell.recalculated || cell.result.kind == StoredValue::Kind::kNone ||
          CallsVolatileFunction(cell.formulaText))
        return true;
    }
  }
  return false;
}

// The text of a rich text element (<si>, <text>, <is>): its runs, without
// phonetic guides.
void AddText(const XmlScanner& x, std::string& text) {
  if (!x.IsStart() && x.Local() == "t" && !x.Inside("rPh")) text += x.Text();
}

// Each comment's text by cell.
std::map<std::string, std::string> ReadComments(std::string_view xml, const std::string& part) {
  std::map<std::string, std::string> comments;
  XmlScanner x(xml, part);
  std::string* current = nullptr;
  while (x.Next()) {
    if (x.IsStart() && x.Local() == "comment" && x.Ancestor(2) == "commentList") {
      const std::optional<std::string> ref = x.Attribute("ref");
      if (!ref) x.Fail("a comment without a cell");
      const std::optional<Block> block = ReadBlock(*ref);
      if (!block) x.Fail("a comment on " + *ref);
      current = &comments[A1(block->top, block->left)];
    } else if (current != nullptr && x.Inside("comment")) {
      AddText(x, *current);
    }
  }
  return comments;
}

// What a worksheet part says beyond its cells.
struct SheetExtras {
  std::optional<SheetPassword> protection;
  std::string drawingId;
  std::string legacyDrawingId;
  struct Control {
    long shapeId = 0;
    std::string relationshipId;
    std::string name;
  };
  std::vector<Control> controls;
  json scenarios = json::array();
};

// A scenario's value as Excel keeps it: a number when it reads as one.
json ScenarioValue(const std::string& text) {
  double number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (!text.empty() && error == std::errc() && end == text.data() + text.size()) return number;
  return text;
}

SheetExtras ReadSheetExtras(std::string_view xml, const std::string& part) {
  SheetExtras extras;
  XmlScanner x(xml, part);
  json* scenario = nullptr;
  std::string changing;
  while (x.Next()) {
    if (!x.IsStart()) {
      if (scenario != nullptr && x.Local() == "scenario") {
        (*scenario)["changingCells"] = changing;
        scenario = nullptr;
      }
      continue;
    }
    // Of two alternative contents, the first choice is Excel's own.
    if (x.Inside("Fallback")) continue;
    const std::string_view local = x.Local();
    if (local == "sheetProtection" && x.Depth() == 2) {
      if (!ReadBoolean(x, x.Attribute("sheet"))) continue;
      SheetPassword password;
      password.legacyHash = x.Attribute("password").value_or("");
      password.algorithm = x.Attribute("algorithmName").value_or("");
      password.hash = x.Attribute("hashValue").value_or("");
      password.salt = x.Attribute("saltValue").value_or("");
      password.spinCount = ReadIndex(x, x.Attribute("spinCount").value_or("0"));
      extras.protection = std::move(password);
    } else if (local == "drawing" && x.Depth() == 2) {
      extras.drawingId = x.Attribute("id", kRelationshipNamespaces).value_or("");
    } else if (local == "legacyDrawing" && x.Depth() == 2) {
      extras.legacyDrawingId = x.Attribute("id", kRelationshipNamespaces).value_or("");
    } else if (local == "control" && x.Inside("controls")) {
      extras.controls.push_back({static_cast<long>(ReadIndex(x, x.Attribute("shapeId").value_or("0"))),
                                 x.Attribute("id", kRelationshipNamespaces).value_or(""),
                                 x.Attribute("name").value_or("")});
    } else if (local == "scenario" && x.Ancestor(2) == "scenarios") {
      extras.scenarios.push_back({{"name", x.Attribute("name").value_or("")},
                                  {"changingCells", ""},
                                  {"values", json::array()},
                                  {"comment", x.Attribute("comment").value_or("")},
                                  {"locked", ReadBoolean(x, x.Attribute("locked"))},
                                  {"hidden", ReadBoolean(x, x.Attribute("hidden"))}});
      scenario = &extras.scenarios.back();
      changing.clear();
    } else if (local == "inputCells" && scenario != nullptr) {
      const std::string cell = x.Attribute("r").value_or("");
      if (!ReadBlock(cell)) x.Fail("a scenario's changing cell " + cell);
      changing += (changing.empty() ? "" : ",") + cell;
      (*scenario)["values"].push_back(ScenarioValue(x.Attribute("val").value_or("")));
    }
  }
  return extras;
}

// A shape of the sheet's drawing: its name and drawing id, and whether it
// stands for a VML control (a14's compatibility shape).
struct DrawnShape {
  std::string name;
  long id = 0;
};

// The drawing part's objects, one per anchor (a group is one shape), in
// drawing order.
std::vector<DrawnShape> ReadDrawing(std::string_view xml, const std::string& part) {
  std::vector<DrawnShape> shapes;
  XmlScanner x(xml, part);
  std::size_t anchorDepth = 0;
  bool named = false;
  while (x.Next()) {
    if (!x.IsStart()) {
      if (anchorDepth != 0 && x.Depth() + 1 == anchorDepth) anchorDepth = 0;
      continue;
    }
    if (x.Inside("Fallback")) continue;
    const std::string_view local = x.Local();
    if (anchorDepth == 0 &&
        (local == "twoCellAnchor" || local == "oneCellAnchor" || local == "absoluteAnchor")) {
      anchorDepth = x.Depth();
      named = false;
    } else if (anchorDepth != 0 && !named && local == "cNvPr") {
      named = true;
      shapes.push_back({x.Attribute("name").value_or(""),
                        static_cast<long>(ReadIndex(x, x.Attribute("id").value_or("0")))});
    }
  }
  return shapes;
}

// Excel's value for a control's state: on 1, off -4146, mixed 2.
long ControlState(std::string_view checked) {
  if (checked == "Checked" || checked == "1") return 1;
  if (checked == "Mixed" || checked == "2") return 2;
  return -4146;
}

// A control's kind and state from its ctrlProps part; none for a kind the
// document does not know (a button, a list …).
std::optional<std::pair<std::string, long>> ReadControlProperties(std::string_view xml,
                                                                  const std::string& part) {
  XmlScanner x(xml, part);
  while (x.Next()) {
    if (!x.IsStart() || x.Local() != "formControlPr") continue;
    const std::string type = x.Attribute("objectType").value_or("");
    const long state = ControlState(x.Attribute("checked").value_or(""));
    if (type == "CheckBox") return std::pair<std::string, long>{"checkbox", state};
    if (type == "Radio") return std::pair<std::string, long>{"option", state};
    return std::nullopt;
  }
  return std::nullopt;
}

// A VML object (legacy drawing) other than a comment's note.
struct VmlObject {
  long id = 0;  // from "_x0000_s1025"
  std::string type;
  long state = -4146;
};

std::vector<VmlObject> ReadVml(std::string_view xml, const std::string& part) {
  std::vector<VmlObject> objects;
  XmlScanner x(xml, part);
  long id = 0;
  VmlObject* current = nullptr;
  while (x.Next()) {
    const std::string_view local = x.Local();
    if (x.IsStart() && local == "shape") {
      const std::string name = x.Attribute("id").value_or("");
      const std::size_t digits = name.find_last_not_of("0123456789");
      id = 0;
      if (digits + 1 < name.size()) std::from_chars(name.data() + digits + 1, name.data() + name.size(), id);
    } else if (x.IsStart() && local == "ClientData") {
      const std::string type = x.Attribute("ObjectType").value_or("");
      current = nullptr;
      if (type != "Note") current = &objects.emplace_back(VmlObject{id, type});
    } else if (!x.IsStart() && local == "Checked" && current != nullptr) {
      current->state = ControlState(x.Text());
    }
  }
  return objects;
}

// The sheet's shapes: its drawing's objects with the state of those that
// are form controls, then the controls that only a legacy drawing holds.
json ReadShapes(const ZipArchive& zip, const std::string& sheetPart,
                const std::map<std::string, Relationship>& relationships, const SheetExtras& extras) {
  std::vector<DrawnShape> drawn;
  if (const auto part = PartById(relationships, sheetPart, extras.drawingId)) {
    if (const std::optional<std::string> xml = ReadPart(zip, *part)) drawn = ReadDrawing(*xml, *part);
  }
  json shapes = json::array();
  std::map<long, std::size_t> byId;
  for (const DrawnShape& shape : drawn) {
    byId[shape.id] = shapes.size();
    shapes.push_back(
        {{"name", shape.name.empty() ? "Shape " + std::to_string(shapes.size() + 1) : shape.name}});
  }
  std::set<long> controlled;
  for (const SheetExtras::Control& control : extras.controls) {
    controlled.insert(control.shapeId);
    std::optional<std::pair<std::string, long>> kind;
    if (const auto part = PartById(relationships, sheetPart, control.relationshipId)) {
      if (const std::optional<std::string> xml = ReadPart(zip, *part))
        kind = ReadControlProperties(*xml, *part);
    }
    auto found = byId.find(control.shapeId);
    if (found == byId.end()) {
      found = byId.emplace(control.shapeId, shapes.size()).first;
      shapes.push_back({{"name", control.name}});
    }
    if (kind) {
      shapes[found->second]["control"] = kind->first;
      shapes[found->second]["value"] = kind->second;
    }
  }
  // A workbook of Excel 2007 keeps its form controls in VML only.
  if (const auto part = PartById(relationships, sheetPart, extras.legacyDrawingId)) {
    if (const std::optional<std::string> xml = ReadPart(zip, *part)) {
      for (const VmlObject& object : ReadVml(*xml, *part)) {
        if (controlled.contains(object.id) || byId.contains(object.id)) continue;
        const long number = object.id > 1024 ? object.id % 1024 : object.id;
        json shape;
        if (object.type == "Checkbox") {
          shape = {{"name", "Check Box " + std::to_string(number)},
                   {"control", "checkbox"},
                   {"value", object.state}};
        } else if (object.type == "Radio") {
          shape = {{"name", "Option Button " + std::to_string(number)},
                   {"control", "option"},
                   {"value", object.state}};
        } else {
          shape = {{"name", object.type + " " + std::to_string(number)}};
        }
        shapes.push_back(std::move(shape));
      }
    }
  }
  return shapes;
}

// ECMA-376 data field functions as the document names them.
std::string FunctionName(const std::string& subtotal) {
  if (subtotal == "count" || subtotal == "countNums") return "count";
  if (subtotal == "average" || subtotal == "max" || subtotal == "min" || subtotal == "product")
    return subtotal;
  return "sum";
}

// One pivot table: its definition, and its cache for the source and the
// field names.
json ReadPivotTable(const ZipArchive& zip, const std::string& part, const std::string& ownSheet) {
  const std::optional<std::string> xml = ReadPart(zip, part);
  if (!xml) Fail(part + " is missing");
  json table = {{"name", ""}, {"rowFields", json::array()}, {"columnFields", json::array()}};
  std::vector<long> rows;
  std::vector<long> columns;
  struct DataField {
    std::string name;
    long field;
    std::string subtotal;
  };
  std::vector<DataField> data;
  {
    XmlScanner x(*xml, part);
    while (x.Next()) {
      if (!x.IsStart()) continue;
      if (x.Depth() == 1) {
        table["name"] = x.Attribute("name").value_or("");
      } else if (x.Local() == "field" && x.Depth() == 3) {
        // x = -2 is the data fields' own place in rows or columns.
        const std::string index = x.Attribute("x").value_or("-2");
        if (index.starts_with('-')) continue;
        (x.Ancestor(2) == "rowFields" ? rows : columns).push_back(static_cast<long>(ReadIndex(x, index)));
      } else if (x.Local() == "dataField" && x.Depth() == 3) {
        data.push_back({x.Attribute("name").value_or(""),
                        static_cast<long>(ReadIndex(x, x.Attribute("fld").value_or("0"))),
                        x.Attribute("subtotal").value_or("sum")});
      }
    }
  }
  const auto cachePart = RelatedPart(PartRelationships(zip, part), part, "/pivotCacheDefinition");
  const std::optional<std::string> cache = cachePart ? ReadPart(zip, *cachePart) : std::nullopt;
  if (!cache) Fail(part + ": its pivot cache is missing");
  std::vector<std::string> fields;
  std::string source;
  XmlScanner x(*cache, *cachePart);
  while (x.Next()) {
    if (!x.IsStart()) continue;
    if (x.Local() == "cacheField" && x.Depth() == 3) {
      fields.push_back(x.Attribute("name").value_or(""));
    } else if (x.Local() == "worksheetSource") {
      const std::string sheet = x.Attribute("sheet").value_or(ownSheet);
      if (const std::optional<std::string> ref = x.Attribute("ref")) {
        const std::optional<Block> block = ReadBlock(*ref);
        if (!block) x.Fail("a pivot source " + *ref);
        source = QualifiedR1C1(sheet, block->top + 1, block->left + 1, block->bottom + 1, block->right + 1);
      } else {
        source = x.Attribute("name").value_or("");
      }
    }
  }
  auto fieldName = [&](long index) {
    if (index < 0 || static_cast<std::size_t>(index) >= fields.size())
      Fail(part + ": field " + std::to_string(index) + " is not in its cache");
    return fields[static_cast<std::size_t>(index)];
  };
  table["sourceData"] = source;
  for (const long index : rows) table["rowFields"].push_back(fieldName(index));
  for (const long index : columns) table["columnFields"].push_back(fieldName(index));
  json dataFields = json::array();
  for (const DataField& field : data) {
    const std::string sourceName = fieldName(field.field);
    dataFields.push_back({{"name", field.name.empty() ? sourceName : field.name},
                          {"sourceName", sourceName},
                          {"function", FunctionName(field.subtotal)}});
  }
  table["dataFields"] = std::move(dataFields);
  return table;
}

json ReadPivotTables(const ZipArchive& zip, const std::string& sheetPart,
                     const std::map<std::string, Relationship>& relationships, const std::string& sheet) {
  std::vector<std::string> parts;
  for (const auto& [id, relationship] : relationships) {
    if (!relationship.external && relationship.type.ends_with("/pivotTable"))
      parts.push_back(ResolveTarget(sheetPart, relationship.target));
  }
  std::sort(parts.begin(), parts.end());
  json tables = json::array();
  for (const std::string& part : parts) tables.push_back(ReadPivotTable(zip, part, sheet));
  return tables;
}

// ---------------------------------------------------------------- passwords

// Excel's 16-bit hash of a sheet password (the low byte of each character).
std::uint16_t LegacyHash(const std::u16string& password) {
  std::uint16_t hash = 0;
  // From the last character to the first (no <ranges>: the fuzz build's
  // clang cannot compile libstdc++ 12's).
  for (std::size_t i = password.size(); i-- > 0;) {
    hash = static_cast<std::uint16_t>(((hash >> 14U) & 1U) | ((hash << 1U) & 0x7FFFU));
    hash ^= static_cast<std::uint16_t>(password[i] & 0xFFU);
  }
  hash = static_cast<std::uint16_t>(((hash >> 14U) & 1U) | ((hash << 1U) & 0x7FFFU));
  hash ^= static_cast<std::uint16_t>(password.size());
  return static_cast<std::uint16_t>(hash ^ 0xCE4BU);
}

std::u16string Utf16(const std::string& text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const std::size_t length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
    char32_t code = length == 1 ? byte : byte & (0x3FU >> (length - 1));
    for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
      code = (code << 6U) | (static_cast<unsigned char>(text[i + k]) & 0x3FU);
    i += length;
    if (code >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10U));
      out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FFU));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

std::optional<std::string> Base64(const std::string& text) {
  base64_decode_ctx context;
  base64_decode_init(&context);
  std::string out(BASE64_DECODE_LENGTH(text.size()), '\0');
  std::size_t length = out.size();
  if (base64_decode_update(&context, &length, reinterpret_cast<std::uint8_t*>(out.data()), text.size(),
                           text.data()) == 0 ||
      base64_decode_final(&context) == 0)
    return std::nullopt;
  out.resize(length);
  return out;
}

}  // namespace

json ConsolidationJson(const Consolidation& consolidation) {
  static const std::map<long, const char*> kNames{{-4157, "sum"},     {-4112, "count"}, {-4113, "count"},
                                                  {-4106, "average"}, {-4136, "max"},   {-4139, "min"},
                                                  {-4149, "product"}};
  const auto name = kNames.find(consolidation.function);
  return {{"sources", consolidation.sources},
          {"function", name == kNames.end() ? json(consolidation.function) : json(name->second)},
          {"options", {consolidation.topRow, consolidation.leftColumn, consolidation.createLinks}}};
}

bool PasswordOpens(const SheetPassword& protection, const std::string& password) {
  const std::u16string text = Utf16(password);
  if (!protection.hash.empty()) {
    const nettle_hash* hash = protection.algorithm == "SHA-512"   ? &nettle_sha512
                              : protection.algorithm == "SHA-256" ? &nettle_sha256
                              : protection.algorithm == "SHA-1"   ? &nettle_sha1
                                                                  : nullptr;
    const std::optional<std::string> salt = Base64(protection.salt);
    const std::optional<std::string> expected = Base64(protection.hash);
    // An algorithm not known, or ten times the rounds Excel writes (100,000):
    // a hostile file may not keep the reader busy for long.
    if (hash == nullptr || !salt || !expected || protection.spinCount > 1'000'000) return false;
    std::string bytes = *salt;
    for (const char16_t c : text) {
      bytes += static_cast<char>(c & 0xFFU);
      bytes += static_cast<char>(c >> 8U);
    }
    std::string digest = Digest(*hash, bytes);
    for (std::uint32_t i = 0; i < protection.spinCount; ++i) {
      std::string round = digest;
      for (int k = 0; k < 4; ++k) round += static_cast<char>((i >> (8U * static_cast<unsigned>(k))) & 0xFFU);
      digest = Digest(*hash, round);
    }
    return digest == *expected;
  }
  if (protection.legacyHash.empty()) return password.empty();
  unsigned value = 0;
  const auto [end, error] = std::from_chars(
      protection.legacyHash.data(), protection.legacyHash.data() + protection.legacyHash.size(), value, 16);
  return error == std::errc() && end == protection.legacyHash.data() + protection.legacyHash.size() &&
         value == LegacyHash(text);
}

std::optional<json> ReadXlsxWorkbook(std::string_view bytes, const XlsxReading& reading) {
  const ZipArchive zip(bytes);
  const FileRecords records = ReadRecords(zip);
  if (NeedsCalculation(records)) return std::nullopt;
  json document = {{"sheets", json::array()}};
  for (const std::string& name : records.sheetNames) {
    json out = {{"name", name}};
    if (const auto hidden = records.hiddenSheets.find(name); hidden != records.hiddenSheets.end())
      out["visible"] = hidden->second == SheetState::kHidden ? "hidden" : "veryHidden";
    const auto partFound = records.sheetParts.find(name);
    if (records.chartSheets.contains(name) || partFound == records.sheetParts.end()) {
      out["type"] = "chart";
      document["sheets"].push_back(std::move(out));
      continue;
    }
    const std::string& part = partFound->second;
    static const std::map<CellPosition, StoredCell> kNoCells;
    const auto cells = records.cells.find(name);
    SheetCells sheetCells(cells == records.cells.end() ? kNoCells : cells->second, records.date1904);
    sheetCells.Write(out);
    if (sheetCells.FirstDropped() && reading.warn) {
      reading.warn("sheet \"" + name + "\": cell " + *sheetCells.FirstDropped() +
                   " and any others beyond Excel 2003's 256 columns and 65,536 rows are left out, as Excel "
                   "2003 leaves them out");
    }
    const std::map<std::string, Relationship> relationships = PartRelationships(zip, part);
    if (const auto commentsPart = RelatedPart(relationships, part, "/comments")) {
      if (const std::optional<std::string> xml = ReadPart(zip, *commentsPart)) {
        for (const auto& [cell, text] : ReadComments(*xml, *commentsPart)) {
          json& entry = out["cells"][cell];
          if (entry.is_null()) entry = json::object();
          if (!entry.is_object()) entry = json{{"value", entry}};
          entry["comment"] = text;
        }
      }
    }
    const std::optional<std::string> xml = ReadPart(zip, part);
    if (!xml) Fail(part + " is missing");
    const SheetExtras extras = ReadSheetExtras(*xml, part);
    if (json shapes = ReadShapes(zip, part, relationships, extras); !shapes.empty())
      out["shapes"] = std::move(shapes);
    if (json tables = ReadPivotTables(zip, part, relationships, name); !tables.empty())
      out["pivotTables"] = std::move(tables);
    if (!extras.scenarios.empty()) out["scenarios"] = extras.scenarios;
    if (const auto found = records.consolidations.find(name); found != records.consolidations.end())
      out["consolidation"] = ConsolidationJson(found->second);
    if (extras.protection) {
      out["protected"] = true;
      std::vector<std::string> candidates{""};
      candidates.insert(candidates.end(), reading.passwords.begin(), reading.passwords.end());
      const auto opens = std::find_if(candidates.begin(), candidates.end(), [&](const std::string& password) {
        return PasswordOpens(*extras.protection, password);
      });
      out["password"] = opens == candidates.end() ? kUnknownPassword : *opens;
    }
    document["sheets"].push_back(std::move(out));
  }
  if (records.activeSheet && *records.activeSheet < records.sheetNames.size()) {
    const std::string& active = records.sheetNames[*records.activeSheet];
    if (!records.hiddenSheets.contains(active)) document["activeSheet"] = active;
  }
  return document;
}

}  // namespace office
