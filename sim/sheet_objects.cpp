#include "sim/sheet_objects.h"

#include <algorithm>

#include "sim/sheet_features.h"

namespace sim {
namespace {

const char* const kWrongPassword =
    "The password you supplied is not correct. Verify that the CAPS LOCK key is off and be sure to use the "
    "correct capitalization.";

std::string CellFormula(const SheetModel& sheet, CellRef cell) {
  if (const ArrayModel* array = sheet.FindArray(cell)) return array->formula;
  const CellModel* model = sheet.FindCell(cell);
  if (model != nullptr && !model->formula.empty()) return model->formula;
  return ConstantText(CellValue(sheet, cell));
}

bool CellHasFormula(const SheetModel& sheet, CellRef cell) {
  if (sheet.FindArray(cell) != nullptr) return true;
  const CellModel* model = sheet.FindCell(cell);
  return model != nullptr && !model->formula.empty();
}

vb::Variant AreaValue(const SheetModel& sheet, const Area& area) {
  if (area.CellCount() == 1) return CellValue(sheet, area.TopLeft());
  std::vector<vb::Variant> rows;
  rows.reserve(static_cast<size_t>(area.Rows()));
  for (long row = area.top; row <= area.bottom; ++row) {
    std::vector<vb::Variant> items;
    items.reserve(static_cast<size_t>(area.Columns()));
    for (long column = area.left; column <= area.right; ++column)
      items.push_back(CellValue(sheet, {row, column}));
    rows.push_back(vb::Variant::Array(std::move(items)));
  }
  return vb::Variant::Array(std::move(rows));
}

vb::Variant TextArray(const std::vector<std::string>& texts) {
  std::vector<vb::Variant> items(texts.begin(), texts.end());
  return vb::Variant::Array(std::move(items));
}

}  // namespace

vb::Variant CellValue(const SheetModel& sheet, CellRef cell) {
  if (const ArrayModel* array = sheet.FindArray(cell)) {
    const auto row = static_cast<size_t>(cell.row - array->range.top);
    const auto column = static_cast<size_t>(cell.column - array->range.left);
    if (row < array->values.size() && column < array->values[row].size()) return array->values[row][column];
  }
  const CellModel* model = sheet.FindCell(cell);
  return model == nullptr ? vb::Variant() : model->value;
}

std::string ConstantText(const vb::Variant& value) {
  switch (value.Type()) {
    case vb::VarType::Long:
    case vb::VarType::Double:
      return vb::NumberText(value.AsDouble(), vb::EnglishLocale());
    case vb::VarType::Date:
      return vb::DateText(value.AsDouble(), vb::EnglishLocale());
    case vb::VarType::Boolean:
      return value.AsBoolean() ? "TRUE" : "FALSE";
    case vb::VarType::Error:
      return vb::CellErrorText(value.AsErrorCode());
    case vb::VarType::String:
      return value.AsString();
    default:
      return "";
  }
}

// ---- Worksheet ----

std::string SimWorksheet::Name() {
  Enter();
  return sheet_->name;
}

void SimWorksheet::MakeActive(const Model& model, std::string_view method) {
  // Excel neither activates nor selects a sheet of another workbook, or a
  // hidden one.
  if (model.ActiveWorkbook() != workbook_ || sheet_->visible != excel::xlSheetVisible) {
    const char* const classe = sheet_->type == SheetType::kChart ? "Chart" : "Worksheet";
    RaiseApplicationDefined(std::string(method) + " method of " + classe + " class failed");
  }
  const auto& sheets = workbook_->sheets;
  workbook_->activeSheet =
      static_cast<size_t>(std::find(sheets.begin(), sheets.end(), sheet_) - sheets.begin());
}

void SimWorksheet::Activate() { MakeActive(Enter(), "Activate"); }

void SimWorksheet::Select() { MakeActive(Enter(), "Select"); }

void SimWorksheet::Protect() {
  Enter();
  // Changing the protection of a sheet locked by a password needs it.
  if (sheet_->isProtected && !sheet_->password.empty()) RaiseApplicationDefined(kWrongPassword);
  sheet_->isProtected = true;
  sheet_->password.clear();
}

void SimWorksheet::Unprotect(std::optional<std::string> password) {
  Enter();
  if (!sheet_->isProtected) return;
  if (!sheet_->password.empty() && password.value_or("") != sheet_->password) {
    RaiseApplicationDefined(kWrongPassword);
  }
  sheet_->isProtected = false;
  sheet_->password.clear();
}

bool SimWorksheet::ProtectContents() {
  Enter();
  return sheet_->isProtected;
}

std::shared_ptr<excel::Range> SimWorksheet::Range(const std::string& address) {
  EnterWorksheet();
  auto areas = ParseA1(address);
  if (!areas) RaiseApplicationDefined("Method 'Range' of object '_Worksheet' failed");
  return std::make_shared<SimRange>(session_, workbook_, sheet_, std::move(*areas));
}

std::shared_ptr<excel::Range> SimWorksheet::Cells(long row, long column) {
  EnterWorksheet();
  if (!InSheet({row, column})) RaiseApplicationDefined("Application-defined or object-defined error");
  return std::make_shared<SimRange>(session_, workbook_, sheet_,
                                    std::vector<Area>{{row, column, row, column}});
}

std::shared_ptr<excel::Shapes> SimWorksheet::Shapes() {
  Enter();
  return std::make_shared<SimShapes>(session_, workbook_, sheet_);
}

std::shared_ptr<excel::PivotTable> SimWorksheet::PivotTables(const vb::Variant& index) {
  EnterWorksheet();
  const auto& tables = sheet_->pivotTables;
  const auto position = FindIndex(index, tables.size(), [&](size_t i) { return tables[i].name; });
  if (!position) RaiseApplicationDefined("Unable to get the PivotTables property of the Worksheet class");
  return std::make_shared<SimPivotTable>(session_, workbook_, sheet_, *position);
}

long SimWorksheet::PivotTableCount() {
  EnterWorksheet();
  return static_cast<long>(sheet_->pivotTables.size());
}

std::shared_ptr<excel::Scenarios> SimWorksheet::Scenarios() {
  EnterWorksheet();
  return std::make_shared<SimScenarios>(session_, workbook_, sheet_);
}

vb::Variant SimWorksheet::ConsolidationSources() {
  EnterWorksheet();
  if (!sheet_->consolidation || sheet_->consolidation->sources.empty()) return {};
  return TextArray(sheet_->consolidation->sources);
}

long SimWorksheet::ConsolidationFunction() {
  EnterWorksheet();
  return sheet_->consolidation ? sheet_->consolidation->function : excel::xlSum;
}

vb::Variant SimWorksheet::ConsolidationOptions() {
  EnterWorksheet();
  const std::array<bool, 3> options =
      sheet_->consolidation ? sheet_->consolidation->options : std::array<bool, 3>{};
  return vb::Variant::Array({options[0], options[1], options[2]});
}

// ---- Range ----

std::shared_ptr<excel::Range> SimRange::CellAt(CellRef cell) const {
  if (!InSheet(cell)) RaiseApplicationDefined("Application-defined or object-defined error");
  return std::make_shared<SimRange>(session_, workbook_, sheet_,
                                    std::vector<Area>{{cell.row, cell.column, cell.row, cell.column}});
}

std::string SimRange::Formula() {
  Enter();
  return CellFormula(*sheet_, areas_.front().TopLeft());
}

vb::Variant SimRange::Value() {
  Enter();
  return AreaValue(*sheet_, areas_.front());
}

std::string SimRange::NumberFormat() {
  Enter();
  const CellRef first = areas_.front().TopLeft();
  const CellModel* cell = sheet_->FindCell(first);
  if (cell != nullptr && !cell->numberFormat.empty()) return cell->numberFormat;
  return CellValue(*sheet_, first).Type() == vb::VarType::Date ? "m/d/yyyy" : "General";
}

bool SimRange::HasFormula() {
  Enter();
  for (const Area& area : areas_) {
    for (long row = area.top; row <= area.bottom; ++row) {
      for (long column = area.left; column <= area.right; ++column) {
        if (!CellHasFormula(*sheet_, {row, column})) return false;
      }
    }
  }
  return true;
}

std::shared_ptr<excel::Range> SimRange::CurrentArray() {
  Enter();
  const ArrayModel* array = sheet_->FindArray(areas_.front().TopLeft());
  if (array == nullptr) RaiseApplicationDefined("Unable to get the CurrentArray property of the Range class");
  return std::make_shared<SimRange>(session_, workbook_, sheet_, std::vector<Area>{array->range});
}

std::string SimRange::NoteText() {
  Enter();
  const CellModel* cell = sheet_->FindCell(areas_.front().TopLeft());
  return cell == nullptr ? "" : cell->comment;
}

std::shared_ptr<excel::Range> SimRange::Cells(long index) {
  Enter();
  if (index < 1) RaiseApplicationDefined("Application-defined or object-defined error");
  const Area& area = areas_.front();
  // Past the block's last cell Excel goes on below it, row by row.
  const long offset = index - 1;
  const long rowOffset = offset / area.Columns();
  if (rowOffset > kMaxRows) RaiseApplicationDefined("Application-defined or object-defined error");
  return CellAt({area.top + rowOffset, area.left + offset % area.Columns()});
}

std::shared_ptr<excel::Range> SimRange::Cells(long row, long column) {
  Enter();
  const Area& area = areas_.front();
  // Bounded first so that the sums below cannot overflow.
  if (row < -kMaxRows || row > kMaxRows || column < -kMaxColumns || column > kMaxColumns) {
    RaiseApplicationDefined("Application-defined or object-defined error");
  }
  return CellAt({area.top + row - 1, area.left + column - 1});
}

long SimRange::Count() {
  Enter();
  long count = 0;
  for (const Area& area : areas_) count += area.CellCount();
  return count;
}

std::string SimRange::Address() {
  Enter();
  return AbsoluteAddress(areas_);
}

void SimRange::Select() {
  const Model& model = Enter();
  if (!OnActiveSheet(model)) RaiseApplicationDefined("Select method of Range class failed");
  sheet_->selection = SelectionModel{SelectionModel::Kind::kRange, areas_, ""};
}

// ---- Selection ----

vb::Variant SimObjectSelection::Value() {
  Enter();
  for (const ShapeModel& shape : sheet_->shapes) {
    if (!shapeName_.empty() && shape.name == shapeName_ && shape.control != ControlType::kNone) {
      return vb::Variant(shape.value);
    }
  }
  RaiseNotSupported();
}

std::shared_ptr<excel::Selection> SheetSelection(const std::shared_ptr<Session>& session,
                                                 const std::shared_ptr<WorkbookModel>& workbook,
                                                 const std::shared_ptr<SheetModel>& sheet) {
  const SelectionModel& selection = sheet->selection;
  switch (selection.kind) {
    case SelectionModel::Kind::kRange:
      if (sheet->type == SheetType::kWorksheet && !selection.areas.empty()) {
        return std::make_shared<SimRange>(session, workbook, sheet, selection.areas);
      }
      return std::make_shared<SimObjectSelection>(session, workbook, sheet, "");
    case SelectionModel::Kind::kShape:
      return std::make_shared<SimObjectSelection>(session, workbook, sheet, selection.shapeName);
    case SelectionModel::Kind::kChart:
      break;
  }
  return std::make_shared<SimObjectSelection>(session, workbook, sheet, "");
}

}  // namespace sim
