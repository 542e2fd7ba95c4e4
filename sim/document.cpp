#include "sim/document.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <nlohmann/json.hpp>
#include <queue>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "sim/session.h"

namespace sim {
namespace {

using nlohmann::json;

// A fault of the document; its text says where ("sheet 2 ('Ondine'): cell
// 'ZZ0': ") and what.
class Fault : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& at, const std::string& what) { throw Fault(at + what); }

// The deepest nesting a document needs is 7 (document, sheets, sheet,
// arrays, array, values, row); anything much deeper is refused while
// parsing, before any recursive work on it.
constexpr int kMaxDepth = 32;
constexpr std::size_t kExcerptBytes = 40;
// The JSON library's own messages quote the token last read.
constexpr std::size_t kLibraryMessageBytes = 200;

// At most kExcerptBytes of `text`, cut on a character boundary, with "…"
// when cut: messages never quote more of the input than that.
std::string Excerpt(std::string_view text, std::size_t bytes = kExcerptBytes) {
  if (text.size() <= bytes) return std::string(text);
  std::size_t end = bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end)) + "\xE2\x80\xA6";
}

// A value as JSON text, cut as above; invalid UTF-8 is replaced.
std::string ExcerptOf(const json& j) {
  return Excerpt(j.dump(-1, ' ', false, json::error_handler_t::replace));
}

// Refuses fields that `allowed` does not list, so that a misspelt field is
// an error instead of a feature silently missing.
void CheckFields(const json& object, std::initializer_list<std::string_view> allowed, const std::string& at,
                 const char* what) {
  for (const auto& [key, value] : object.items()) {
    if (std::find(allowed.begin(), allowed.end(), key) != allowed.end()) continue;
    std::string list;
    for (const std::string_view name : allowed) list += (list.empty() ? "" : ", ") + std::string(name);
    Fail(at, "unknown field \"" + Excerpt(key) + "\" (" + what + " has " + list + ")");
  }
}

const char* const kValueForms =
    "a value is a text, a number, true or false, {\"date\": \"YYYY-MM-DD\"} or {\"error\": \"#N/A\"}";

const json* Field(const json& object, const char* key) {
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

std::string TextField(const json& object, const char* key, const std::string& at, std::string fallback = {}) {
  const json* field = Field(object, key);
  if (field == nullptr) return fallback;
  if (!field->is_string()) Fail(at, std::string("\"") + key + "\" must be a text");
  return field->get<std::string>();
}

bool TruthField(const json& object, const char* key, const std::string& at, bool fallback) {
  const json* field = Field(object, key);
  if (field == nullptr) return fallback;
  if (!field->is_boolean()) Fail(at, std::string("\"") + key + "\" must be true or false");
  return field->get<bool>();
}

const json& ListField(const json& object, const char* key, const std::string& at) {
  static const json kEmpty = json::array();
  const json* field = Field(object, key);
  if (field == nullptr) return kEmpty;
  if (!field->is_array()) Fail(at, std::string("\"") + key + "\" must be a list");
  return *field;
}

bool ReadIsoDate(const std::string& text, double& serial) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  int parts[3] = {0, 0, 0};
  const size_t starts[3] = {0, 5, 8};
  const size_t lengths[3] = {4, 2, 2};
  for (int p = 0; p < 3; ++p) {
    for (size_t i = starts[p]; i < starts[p] + lengths[p]; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      parts[p] = parts[p] * 10 + (text[i] - '0');
    }
  }
  const int year = parts[0];
  const int month = parts[1];
  const int day = parts[2];
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 100 || month < 1 || month > 12 || day < 1) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) return false;
  serial = vb::DateSerial(year, month, day);
  return true;
}

bool IsValueObject(const json& j) {
  return j.is_object() && j.size() == 1 && (j.contains("date") || j.contains("error"));
}

vb::Variant ReadValue(const json& j, const std::string& at) {
  if (j.is_null()) return {};
  if (j.is_string()) return vb::Variant(j.get<std::string>());
  if (j.is_boolean()) return vb::Variant(j.get<bool>());
  if (j.is_number()) return vb::Variant(j.get<double>());
  if (IsValueObject(j)) {
    if (const json* date = Field(j, "date")) {
      double serial = 0;
      if (!date->is_string() || !ReadIsoDate(date->get<std::string>(), serial)) {
        Fail(at, "a date is written {\"date\": \"YYYY-MM-DD\"}");
      }
      return vb::Variant::Date(serial);
    }
    const json& error = j["error"];
    const long code = error.is_string() ? vb::CellErrorCode(error.get<std::string>()) : 0;
    if (code == 0) Fail(at, "not one of Excel's error values: " + ExcerptOf(error));
    return vb::Variant::ErrorValue(code);
  }
  Fail(at, kValueForms);
}

std::string ReadFormula(const json& object, const std::string& at) {
  std::string formula = TextField(object, "formula", at);
  if (formula.empty() || formula.front() != '=') Fail(at, "a formula is a text that starts with \"=\"");
  return formula;
}

CellModel ReadCell(const json& j, const std::string& at) {
  CellModel cell;
  if (!j.is_object() || IsValueObject(j)) {
    cell.value = ReadValue(j, at);
    return cell;
  }
  for (const auto& [key, field] : j.items()) {
    if (key == "value") {
      cell.value = ReadValue(field, at);
    } else if (key == "formula") {
      cell.formula = ReadFormula(j, at);
    } else if (key == "numberFormat") {
      cell.numberFormat = TextField(j, "numberFormat", at);
    } else if (key == "comment") {
      cell.comment = TextField(j, "comment", at);
    } else {
      Fail(at,
           "unknown field \"" + Excerpt(key) + "\" (a cell has value, formula, numberFormat and comment)");
    }
  }
  return cell;
}

long ReadFunction(const json& j, const std::string& at) {
  static const std::pair<const char*, long> kFunctions[] = {
      {"sum", excel::xlSum}, {"count", excel::xlCount}, {"average", excel::xlAverage},
      {"max", excel::xlMax}, {"min", excel::xlMin},     {"product", excel::xlProduct}};
  for (const auto& [name, code] : kFunctions) {
    if ((j.is_string() && vb::LCase(j.get<std::string>()) == name) ||
        (j.is_number_integer() && j.get<long>() == code)) {
      return code;
    }
  }
  Fail(at, "unknown function " + ExcerptOf(j) + " (sum, count, average, max, min, product or Excel's code)");
}

std::string FunctionCaption(long function) {
  switch (function) {
    case excel::xlCount:
      return "Count";
    case excel::xlAverage:
      return "Average";
    case excel::xlMax:
      return "Max";
    case excel::xlMin:
      return "Min";
    case excel::xlProduct:
      return "Product";
    default:
      return "Sum";
  }
}

Area ReadArea(const json& j, const std::string& at) {
  const std::optional<Area> area = j.is_string() ? ParseA1Area(j.get<std::string>()) : std::nullopt;
  if (!area) Fail(at, "not a range address: " + ExcerptOf(j));
  return *area;
}

void ReadCells(const json& cells, SheetModel& sheet, const std::string& at) {
  if (!cells.is_object()) Fail(at, "\"cells\" must be an object from addresses to cells");
  for (const auto& [key, j] : cells.items()) {
    const std::string cellAt = at + "cell '" + Excerpt(key) + "': ";
    const std::optional<CellRef> ref = ParseA1Cell(key);
    if (!ref) Fail(cellAt, "not a cell address");
    if (sheet.cells.contains(*ref)) Fail(cellAt, "the same cell as another address");
    sheet.cells[*ref] = ReadCell(j, cellAt);
  }
}

// The position of an array that overlaps another, the later of the first
// pair found; none when they are all apart. A sweep from the top row down:
// the arrays that reach the current top row are apart from one another, so
// their column spans are disjoint and one look-up on each side of a new
// array's span tells whether it overlaps one of them. O(n log n).
std::optional<std::size_t> FirstOverlap(const std::vector<ArrayModel>& arrays) {
  std::vector<std::size_t> order(arrays.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return arrays[a].range.top < arrays[b].range.top; });
  std::map<long, std::size_t> reaching;         // by left column: the arrays reaching the current row
  using Ending = std::pair<long, std::size_t>;  // bottom row, array
  std::priority_queue<Ending, std::vector<Ending>, std::greater<>> endings;
  for (const std::size_t i : order) {
    const Area& area = arrays[i].range;
    while (!endings.empty() && endings.top().first < area.top) {
      reaching.erase(arrays[endings.top().second].range.left);
      endings.pop();
    }
    auto next = reaching.lower_bound(area.left);
    if (next != reaching.end() && next->first <= area.right) return std::max(i, next->second);
    if (next != reaching.begin() && arrays[std::prev(next)->second].range.right >= area.left) {
      return std::max(i, std::prev(next)->second);
    }
    reaching.emplace(area.left, i);
    endings.emplace(area.bottom, i);
  }
  return std::nullopt;
}

void ReadArrays(const json& arrays, SheetModel& sheet, const std::string& at) {
  for (size_t i = 0; i < arrays.size(); ++i) {
    const json& j = arrays[i];
    const std::string arrayAt = at + "array " + std::to_string(i + 1) + ": ";
    if (!j.is_object()) Fail(arrayAt, "an array is an object with range, formula and values");
    CheckFields(j, {"range", "formula", "values"}, arrayAt, "an array");
    ArrayModel array;
    const json* range = Field(j, "range");
    if (range == nullptr) Fail(arrayAt, "\"range\" is missing");
    array.range = ReadArea(*range, arrayAt);
    if (Field(j, "formula") == nullptr) Fail(arrayAt, "\"formula\" is missing");
    array.formula = ReadFormula(j, arrayAt);
    const json& rows = ListField(j, "values", arrayAt);
    if (static_cast<long>(rows.size()) > array.range.Rows())
      Fail(arrayAt, "more rows of values than the range has");
    for (const json& row : rows) {
      if (!row.is_array() || static_cast<long>(row.size()) > array.range.Columns()) {
        Fail(arrayAt, "\"values\" is a list of rows, each a list no longer than the range is wide");
      }
      std::vector<vb::Variant> values;
      for (const json& value : row) values.push_back(ReadValue(value, arrayAt));
      array.values.push_back(std::move(values));
    }
    sheet.arrays.push_back(std::move(array));
  }
  if (const auto overlapping = FirstOverlap(sheet.arrays)) {
    Fail(at + "array " + std::to_string(*overlapping + 1) + ": ", "overlaps another array");
  }
}

void ReadShapes(const json& shapes, SheetModel& sheet, const std::string& at) {
  for (size_t i = 0; i < shapes.size(); ++i) {
    const json& j = shapes[i];
    const std::string shapeAt = at + "shape " + std::to_string(i + 1) + ": ";
    if (!j.is_object()) Fail(shapeAt, "a shape is an object with name, control and value");
    CheckFields(j, {"name", "control", "value"}, shapeAt, "a shape");
    ShapeModel shape;
    shape.name = TextField(j, "name", shapeAt);
    if (shape.name.empty()) Fail(shapeAt, "\"name\" is missing");
    const std::string control = TextField(j, "control", shapeAt);
    if (control == "checkbox") {
      shape.control = ControlType::kCheckBox;
    } else if (control == "option") {
      shape.control = ControlType::kOptionButton;
    } else if (!control.empty()) {
      Fail(shapeAt, "\"control\" is \"checkbox\" or \"option\"");
    }
    if (const json* value = Field(j, "value")) {
      const bool valid = value->is_number_integer() &&
                         (value->get<long>() == excel::xlOn || value->get<long>() == excel::xlOff ||
                          value->get<long>() == excel::xlMixed);
      if (!valid) Fail(shapeAt, "\"value\" is 1 (on), -4146 (off) or 2 (mixed)");
      if (shape.control == ControlType::kNone) Fail(shapeAt, "only a control has a value");
      shape.value = value->get<long>();
    }
    sheet.shapes.push_back(std::move(shape));
  }
}

std::vector<PivotFieldModel> ReadPivotFields(const json& fields, bool data, const std::string& at) {
  std::vector<PivotFieldModel> result;
  for (const json& j : fields) {
    PivotFieldModel field;
    if (j.is_string()) {
      field.sourceName = j.get<std::string>();
    } else if (j.is_object()) {
      CheckFields(j, {"sourceName", "function", "name"}, at, "a pivot field");
      field.sourceName = TextField(j, "sourceName", at, TextField(j, "name", at));
      if (const json* function = Field(j, "function")) field.function = ReadFunction(*function, at);
      field.name = TextField(j, "name", at);
    } else {
      Fail(at, "a pivot field is a name or an object with sourceName, function and name");
    }
    if (field.sourceName.empty()) Fail(at, "a pivot field needs its source field's name");
    if (field.name.empty()) {
      field.name = data ? FunctionCaption(field.function) + " of " + field.sourceName : field.sourceName;
    }
    result.push_back(std::move(field));
  }
  return result;
}

void ReadPivotTables(const json& tables, SheetModel& sheet, const std::string& at) {
  for (size_t i = 0; i < tables.size(); ++i) {
    const json& j = tables[i];
    const std::string tableAt = at + "pivot table " + std::to_string(i + 1) + ": ";
    if (!j.is_object()) Fail(tableAt, "a pivot table is an object");
    CheckFields(j, {"name", "sourceData", "rowFields", "columnFields", "dataFields"}, tableAt,
                "a pivot table");
    PivotTableModel table;
    table.name = TextField(j, "name", tableAt, "PivotTable" + std::to_string(i + 1));
    table.sourceData = TextField(j, "sourceData", tableAt);
    table.rowFields = ReadPivotFields(ListField(j, "rowFields", tableAt), false, tableAt);
    table.columnFields = ReadPivotFields(ListField(j, "columnFields", tableAt), false, tableAt);
    table.dataFields = ReadPivotFields(ListField(j, "dataFields", tableAt), true, tableAt);
    sheet.pivotTables.push_back(std::move(table));
  }
}

// Excel's limit on a scenario's changing cells.
constexpr long kMaxChangingCells = 32;

void ReadScenarios(const json& scenarios, SheetModel& sheet, const std::string& at) {
  std::unordered_set<std::string> names;
  for (size_t i = 0; i < scenarios.size(); ++i) {
    const json& j = scenarios[i];
    const std::string scenarioAt = at + "scenario " + std::to_string(i + 1) + ": ";
    if (!j.is_object()) Fail(scenarioAt, "a scenario is an object");
    CheckFields(j, {"name", "changingCells", "values", "comment", "locked", "hidden"}, scenarioAt,
                "a scenario");
    ScenarioModel scenario;
    scenario.name = TextField(j, "name", scenarioAt);
    if (scenario.name.empty()) Fail(scenarioAt, "\"name\" is missing");
    if (!names.insert(vb::LCase(scenario.name)).second)
      Fail(scenarioAt, "another scenario has the same name");
    const std::string cells = TextField(j, "changingCells", scenarioAt);
    const auto areas = ParseA1OrR1C1(cells);
    if (!areas) {
      Fail(scenarioAt, "\"changingCells\" is not an A1 or R1C1 address: \"" + Excerpt(cells) + "\"");
    }
    scenario.changingCells = *areas;
    long cellCount = 0;
    for (const Area& area : *areas) {
      cellCount += area.CellCount();
      if (cellCount > kMaxChangingCells) {
        Fail(scenarioAt, "a scenario has at most " + std::to_string(kMaxChangingCells) + " changing cells");
      }
    }
    if (const json* values = Field(j, "values")) {
      if (values->is_array()) {
        for (const json& value : *values) scenario.values.push_back(ReadValue(value, scenarioAt));
      } else {
        scenario.values.push_back(ReadValue(*values, scenarioAt));
      }
    } else {
      scenario.values.resize(static_cast<size_t>(cellCount));
    }
    if (static_cast<long>(scenario.values.size()) != cellCount) {
      Fail(scenarioAt, "one value per changing cell is needed");
    }
    scenario.comment = TextField(j, "comment", scenarioAt);
    scenario.locked = TruthField(j, "locked", scenarioAt, true);
    scenario.hidden = TruthField(j, "hidden", scenarioAt, false);
    sheet.scenarios.push_back(std::move(scenario));
  }
}

ConsolidationModel ReadConsolidation(const json& j, const std::string& at) {
  const std::string consolidationAt = at + "consolidation: ";
  if (!j.is_object()) Fail(consolidationAt, "an object with sources, function and options is needed");
  CheckFields(j, {"sources", "function", "options"}, consolidationAt, "a consolidation");
  ConsolidationModel consolidation;
  for (const json& source : ListField(j, "sources", consolidationAt)) {
    if (!source.is_string()) Fail(consolidationAt, "a source is a reference text");
    consolidation.sources.push_back(source.get<std::string>());
  }
  if (const json* function = Field(j, "function")) {
    consolidation.function = ReadFunction(*function, consolidationAt);
  }
  if (const json* options = Field(j, "options")) {
    if (!options->is_array() || options->size() != 3) {
      Fail(consolidationAt, "\"options\" is a list of three truth values");
    }
    for (size_t i = 0; i < 3; ++i) {
      if (!(*options)[i].is_boolean()) Fail(consolidationAt, "\"options\" is a list of three truth values");
      consolidation.options[i] = (*options)[i].get<bool>();
    }
  }
  return consolidation;
}

void CheckSheetName(const std::string& name, const std::string& at) {
  if (name.empty()) Fail(at, "\"name\" is missing");
  if (vb::Len(name) > 31) Fail(at, "a sheet name has at most 31 characters");
  if (name.find_first_of(":\\/?*[]") != std::string::npos) {
    Fail(at, "a sheet name cannot hold any of : \\ / ? * [ ]");
  }
}

std::shared_ptr<SheetModel> ReadSheet(const json& j, size_t position) {
  std::string at = "sheet " + std::to_string(position) + ": ";
  if (!j.is_object()) Fail(at, "a sheet is an object");
  auto sheet = std::make_shared<SheetModel>();
  sheet->name = TextField(j, "name", at);
  CheckSheetName(sheet->name, at);
  CheckFields(j,
              {"name", "type", "visible", "protected", "password", "cells", "arrays", "shapes", "pivotTables",
               "scenarios", "consolidation"},
              at, "a sheet");
  at = "sheet " + std::to_string(position) + " ('" + sheet->name + "'): ";
  const std::string type = TextField(j, "type", at, "worksheet");
  if (type == "chart") {
    sheet->type = SheetType::kChart;
    sheet->selection.kind = SelectionModel::Kind::kChart;
    for (const char* key : {"cells", "arrays", "pivotTables", "scenarios", "consolidation"}) {
      if (Field(j, key) != nullptr) Fail(at, std::string("a chart sheet has no \"") + key + "\"");
    }
  } else if (type != "worksheet") {
    Fail(at, "\"type\" is \"worksheet\" or \"chart\"");
  }
  const std::string visible = TextField(j, "visible", at, "visible");
  if (visible == "hidden") {
    sheet->visible = excel::xlSheetHidden;
  } else if (visible == "veryHidden") {
    sheet->visible = excel::xlSheetVeryHidden;
  } else if (visible != "visible") {
    Fail(at, "\"visible\" is \"visible\", \"hidden\" or \"veryHidden\"");
  }
  sheet->isProtected = TruthField(j, "protected", at, false);
  sheet->password = TextField(j, "password", at);
  if (const json* cells = Field(j, "cells")) ReadCells(*cells, *sheet, at);
  ReadArrays(ListField(j, "arrays", at), *sheet, at);
  ReadShapes(ListField(j, "shapes", at), *sheet, at);
  ReadPivotTables(ListField(j, "pivotTables", at), *sheet, at);
  ReadScenarios(ListField(j, "scenarios", at), *sheet, at);
  if (const json* consolidation = Field(j, "consolidation")) {
    sheet->consolidation = ReadConsolidation(*consolidation, at);
  }
  return sheet;
}

WorkbookModel ReadWorkbook(const json& document) {
  if (!document.is_object()) Fail("", "the document is not a JSON object");
  CheckFields(document, {"sheets", "activeSheet"}, "", "a document");
  const json* sheets = Field(document, "sheets");
  if (sheets == nullptr) Fail("", "\"sheets\" is missing");
  if (!sheets->is_array() || sheets->empty()) Fail("", "\"sheets\" must be a list of at least one sheet");
  WorkbookModel workbook;
  std::map<std::string, std::string> names;  // lower-cased: as written
  for (size_t i = 0; i < sheets->size(); ++i) {
    auto sheet = ReadSheet((*sheets)[i], i + 1);
    const auto [other, added] = names.emplace(vb::LCase(sheet->name), sheet->name);
    if (!added)
      Fail("sheet " + std::to_string(i + 1) + ": ", "another sheet is named '" + other->second + "'");
    workbook.sheets.push_back(std::move(sheet));
  }
  // Excel keeps at least one sheet visible, and the active sheet is one:
  // by default the first visible sheet.
  const auto& all = workbook.sheets;
  const auto firstVisible = std::find_if(
      all.begin(), all.end(), [](const auto& sheet) { return sheet->visible == excel::xlSheetVisible; });
  if (firstVisible == all.end()) Fail("", "at least one sheet must be visible");
  workbook.activeSheet = static_cast<size_t>(firstVisible - all.begin());
  const std::string active = TextField(document, "activeSheet", "");
  if (!active.empty()) {
    const auto found = std::find_if(all.begin(), all.end(),
                                    [&](const auto& sheet) { return SameName(sheet->name, active); });
    if (found == all.end()) Fail("", "\"activeSheet\" names no sheet: '" + Excerpt(active) + "'");
    if ((*found)->visible != excel::xlSheetVisible)
      Fail("", "\"activeSheet\" names a hidden sheet: '" + Excerpt(active) + "'");
    workbook.activeSheet = static_cast<size_t>(found - all.begin());
  }
  return workbook;
}

// A JSON syntax error, with the JSON library's message.
struct NotJson {
  std::string message;
};

// A first pass over the text, in linear time and without building
// anything: refuses nesting deeper than kMaxDepth and a field written twice
// in one object (the JSON library would keep the last one silently). The
// document is built only once this pass has accepted the text, so no
// recursive work ever meets deep nesting.
class Screening final : public json::json_sax_t {
 public:
  bool null() override { return true; }
  bool boolean(bool /*value*/) override { return true; }
  bool number_integer(number_integer_t /*value*/) override { return true; }
  bool number_unsigned(number_unsigned_t /*value*/) override { return true; }
  bool number_float(number_float_t /*value*/, const string_t& /*text*/) override { return true; }
  bool string(string_t& /*value*/) override { return true; }
  bool binary(binary_t& /*value*/) override { return true; }
  bool start_object(std::size_t /*elements*/) override {
    Enter();
    keys_.emplace_back();
    return true;
  }
  bool key(string_t& name) override {
    if (!keys_.back().insert(name).second) {
      throw Fault("the field \"" + Excerpt(name) + "\" is written twice in one object");
    }
    return true;
  }
  bool end_object() override {
    keys_.pop_back();
    --depth_;
    return true;
  }
  bool start_array(std::size_t /*elements*/) override {
    Enter();
    return true;
  }
  bool end_array() override {
    --depth_;
    return true;
  }
  bool parse_error(std::size_t /*position*/, const std::string& /*token*/,
                   const nlohmann::detail::exception& error) override {
    throw NotJson{error.what()};
  }

 private:
  void Enter() {
    if (++depth_ > kMaxDepth) {
      throw Fault("values nested more than " + std::to_string(kMaxDepth) + " levels deep");
    }
  }
  int depth_ = 0;
  std::vector<std::unordered_set<std::string>> keys_;  // one set per open object
};

json Parse(const std::string& text) {
  Screening screening;
  json::sax_parse(text, &screening);
  return json::parse(text);
}

std::string FileNamePart(const std::string& path) {
  return std::filesystem::path(vb::Replace(path, "\\", "/")).filename().string();
}

}  // namespace

WorkbookModel ParseWorkbookDocument(const std::string& text, const std::string& fileNameForMessages) {
  const std::string fileName = FileNamePart(fileNameForMessages);
  if (const auto nul = text.find('\0'); nul != std::string::npos) {
    RaiseApplicationDefined(fileName + ": not a JSON document: a NUL byte at offset " + std::to_string(nul));
  }
  json document;
  try {
    document = Parse(text);
  } catch (const Fault& fault) {
    RaiseApplicationDefined(fileName + ": " + fault.what());
  } catch (const NotJson& error) {
    RaiseApplicationDefined(fileName +
                            ": not a JSON document: " + Excerpt(error.message, kLibraryMessageBytes));
  } catch (const json::exception& e) {
    RaiseApplicationDefined(fileName + ": not a JSON document: " + Excerpt(e.what(), kLibraryMessageBytes));
  }
  try {
    WorkbookModel workbook = ReadWorkbook(document);
    workbook.name = fileName;
    workbook.fullName = vb::Replace(fileNameForMessages, "\\", "/");
    return workbook;
  } catch (const Fault& fault) {
    RaiseApplicationDefined(fileName + ": " + fault.what());
  } catch (const json::exception& e) {
    RaiseApplicationDefined(fileName + ": " + Excerpt(e.what(), kLibraryMessageBytes));
  }
}

WorkbookModel ReadWorkbookDocument(const std::string& path) {
  const std::string posixPath = vb::Replace(path, "\\", "/");
  std::error_code error;
  // Not through a symbolic link: the file must be the one in the folder.
  if (std::filesystem::symlink_status(posixPath, error).type() != std::filesystem::file_type::regular) {
    RaiseApplicationDefined("'" + path +
                            "' could not be found. Check the spelling of the file name, and verify that the "
                            "file location is correct.");
  }
  if (std::filesystem::file_size(posixPath, error) > kMaxDocumentBytes) {
    RaiseApplicationDefined(FileNamePart(path) + ": larger than " + std::to_string(kMaxDocumentBytes >> 20) +
                            " MB, the most a workbook document may be");
  }
  std::ifstream file(posixPath, std::ios::binary);
  if (!file.is_open()) RaiseApplicationDefined(FileNamePart(path) + ": the file cannot be read");
  std::ostringstream text;
  text << file.rdbuf();
  return ParseWorkbookDocument(text.str(), posixPath);
}

}  // namespace sim
